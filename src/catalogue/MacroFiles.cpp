// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/MacroFiles.h"

#include "catalogue/Catalogue.h"
#include "common/Error.h"
#include "common/Text.h"
#include "platform/FileRemover.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {
constexpr std::string_view kTemporaryMark = ".tmp-";

void splitPath(const std::string &path, std::string &folder, std::string &name)
{
    const auto slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

int writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// A temporary copy is ".<target>.tmp-<writer's pid>-XXXXXX", so one a killed writer left can
// be told from one another writer is still filling. The target name, or empty when name is
// not a temporary; pid is the writer's.
std::string_view temporaryTarget(std::string_view name, long long &pid)
{
    const auto mark = name.rfind(kTemporaryMark);
    if (name.size() < 2 || name.front() != '.' || mark == std::string_view::npos || mark < 2)
        return {};
    const auto rest = name.substr(mark + kTemporaryMark.size());
    const auto dash = rest.find('-');
    if (dash == 0 || dash > 10 || dash == std::string_view::npos || rest.size() != dash + 7)
        return {};
    pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9')
            return {};
        pid = pid * 10 + (rest[i] - '0');
    }
    if (pid <= 0 || pid > 0x7FFFFFFF)
        return {};
    return name.substr(1, mark - 1);
}

bool isDataFileName(std::string_view name)
{
    return name.ends_with(".dat") || name.ends_with(".key");
}
} // namespace

std::string dataFileName(std::string_view macroName, std::string_view extension)
{
    return storedMacroName(macroName) + std::string(extension);
}

bool isSafeDataFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::optional<std::string> dataFilePath(const std::string &folder, std::string_view name)
{
    if (!isSafeDataFileName(name))
        return std::nullopt;
    return folder + std::string(name);
}

bool makeFolders(const std::string &folder)
{
    if (folder.empty())
        return true;
    struct stat st
    {
    };
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const auto part = folder.substr(0, at);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (at == std::string::npos)
            break;
    }
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<DataFileMatch> findDataFile(const std::string &folder, std::string_view name)
{
    auto exact = dataFilePath(folder, name);
    if (!exact)
        return std::nullopt;
    struct stat st
    {
    };
    if (::lstat(exact->c_str(), &st) == 0 || errno != ENOENT)
        return DataFileMatch { std::move(*exact), false };
    DIR *dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return DataFileMatch { std::move(*exact), false };
    std::optional<std::string> only;
    bool several = false;
    while (const dirent *entry = ::readdir(dir)) {
        if (!text::equalsIgnoreAsciiCase(entry->d_name, name))
            continue;
        several = only.has_value();
        only = entry->d_name;
        if (several)
            break;
    }
    ::closedir(dir);
    // Two candidates: neither is more the catalogue's file than the other.
    if (!only || several)
        return DataFileMatch { std::move(*exact), false };
    return DataFileMatch { folder + *only, true };
}

std::string recordDataFile(const std::string &dataFolder, const MacroRecord &record)
{
    // The catalogue is data: a name must not lead the run to a file outside the folder.
    if (auto match = findDataFile(dataFolder, record.fileName))
        return std::move(match->path);
    throw Error(formatMessage("Cannot open file %s", dataFolder + record.fileName));
}

bool readFilePieces(const std::string &path, const std::function<void(std::string_view)> &piece)
{
    struct stat st
    {
    };
    // Checked before opening too: opening a FIFO would wait for a writer.
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::string buffer(std::size_t { 1 } << 16, '\0');
    while (ok) {
        const auto n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        piece(std::string_view(buffer).substr(0, static_cast<std::size_t>(n)));
    }
    ::close(fd);
    return ok;
}

std::optional<std::string> readWholeFile(const std::string &path)
{
    std::string content;
    if (!readFilePieces(path, [&](std::string_view bytes) { content += bytes; }))
        return std::nullopt;
    return content;
}

int replaceFile(const std::string &path, std::string_view bytes)
{
    std::string folder, name;
    splitPath(path, folder, name);
    errno = 0;
    if (!makeFolders(folder))
        return errno ? errno : ENOTDIR;
    std::string temp =
        folder + "/." + name + std::string(kTemporaryMark) + std::to_string(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    // mkostemp's mode is subject to the umask; a replaced file's mode is not carried over.
    int error = ::fchmod(fd, 0600) == 0 ? 0 : errno;
    if (!error)
        error = writeAll(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself must reach the disk too.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

void sweepStaleTemporaries(
    const std::string &folder, const std::function<bool(std::string_view target)> &owned)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        long long pid = 0;
        const auto target = temporaryTarget(entry->d_name, pid);
        if (target.empty() || !owned(target))
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void sweepStaleDataTemporaries(const std::string &folder)
{
    sweepStaleTemporaries(folder, isDataFileName);
}

int writeDataFile(const std::string &path, std::string_view bytes)
{
    std::string folder, name;
    splitPath(path, folder, name);
    sweepStaleDataTemporaries(folder);
    return replaceFile(path, bytes);
}

void writeFileAtomically(const std::string &path, std::string_view text)
{
    if (writeDataFile(path, text) != 0)
        throw Error(formatMessage("Unable to write to %s", path));
}

void removeMacroFiles(FileRemover &files, const std::string &dataFolder, std::string_view name)
{
    if (dataFolder.empty() || !isSafeDataFileName(name))
        return;
    for (const char *extension : { ".key", ".dat" }) {
        if (const auto path = dataFilePath(dataFolder, dataFileName(name, extension)))
            files.removeFile(*path);
    }
}

} // namespace quorvel
