// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/ProfileStore.h"

#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "common/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {
constexpr std::size_t kMaxReadChars = 1023;

struct FileStamp
{
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    long long ctimeNs = 0;
    bool operator==(const FileStamp &) const = default;
};

long long nanoseconds(const timespec &t)
{
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

// The clock file timestamps are taken from. While it still shows a file's modification time,
// another write within the same tick would leave every stat field as it was.
long long coarseNowNs()
{
    timespec t {};
    clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return nanoseconds(t);
}

FileStamp stampOf(const std::string &path)
{
    struct stat st
    {
    };
    FileStamp s;
    if (::stat(path.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = nanoseconds(st.st_mtim);
    s.ctimeNs = nanoseconds(st.st_ctim);
    return s;
}

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the file a write has to replace, so a linked catalogue stays
// linked. A missing file (or a dangling link's missing target) resolves to itself.
bool resolveLinks(const std::string &path, std::string &target)
{
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st
        {
        };
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return false;
            target = current;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            target = current;
            return true;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        for (;;) {
            const auto n = ::readlink(current.c_str(), link.data(), link.size());
            if (n < 0)
                return false;
            if (static_cast<std::size_t>(n) < link.size()) {
                link.resize(static_cast<std::size_t>(n));
                break;
            }
            link.resize(link.size() * 2);
        }
        if (link.empty())
            return false;
        if (link.front() == '/')
            current = link;
        else
            current = folderOf(current).append("/").append(link);
    }
    return false; // a loop
}

// Serialises writers of other processes; the lock file sits beside the file written.
class FileLock
{
public:
    explicit FileLock(const std::string &path)
    {
        m_fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) { }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    bool locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
} // namespace

struct ProfileStore::Cache
{
    std::mutex mutex;
    FileStamp stamp;
    long long readAtNs = 0;
    std::string bytes;
    std::shared_ptr<const IniDocument> doc = std::make_shared<IniDocument>();
    bool valid = false;

    std::shared_ptr<const IniDocument> load(const std::string &path)
    {
        std::lock_guard lock(mutex);
        const auto stamp = stampOf(path);
        if (valid && stamp == this->stamp) {
            if (!stamp.exists || readAtNs > std::max(stamp.mtimeNs, stamp.ctimeNs))
                return doc;
        }
        const long long readAt = coarseNowNs();
        std::string fresh = stamp.exists ? readWholeFile(path).value_or("") : "";
        if (!valid || fresh != bytes) {
            doc = std::make_shared<IniDocument>(IniDocument::parse(fresh));
            bytes = std::move(fresh);
        }
        this->stamp = stamp;
        readAtNs = readAt;
        valid = true;
        return doc;
    }

    void invalidate()
    {
        std::lock_guard lock(mutex);
        valid = false;
    }
};

ProfileStore::ProfileStore(std::string path)
    : m_path(std::move(path))
    , m_cache(std::make_unique<Cache>())
{
}

ProfileStore::~ProfileStore() = default;

std::shared_ptr<const IniDocument> ProfileStore::document() const
{
    return m_cache->load(m_path);
}

std::string profileString(
    const IniDocument &doc, std::string_view section, std::string_view key, std::string_view def)
{
    const auto v = doc.value(section, key);
    return std::string(text::leftChars(v ? *v : def, kMaxReadChars));
}

int profileInteger(const IniDocument &doc, std::string_view section, std::string_view key, int def)
{
    const auto v = doc.value(section, key);
    if (!v)
        return def;
    return text::parseInteger(*v).value_or(def);
}

std::string ProfileStore::readString(
    std::string_view section, std::string_view key, std::string_view def) const
{
    return profileString(*document(), section, key, def);
}

int ProfileStore::readInteger(std::string_view section, std::string_view key, int def) const
{
    return profileInteger(*document(), section, key, def);
}

bool ProfileStore::readBool(std::string_view section, std::string_view key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void ProfileStore::writeString(
    std::string_view section, std::string_view key, std::string_view value)
{
    edit([&](IniDocument &doc) { doc.setValue(section, key, value); });
}

void ProfileStore::writeInteger(std::string_view section, std::string_view key, int value)
{
    writeString(section, key, std::to_string(value));
}

void ProfileStore::writeBool(std::string_view section, std::string_view key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

void ProfileStore::eraseSection(std::string_view section)
{
    edit([&](IniDocument &doc) { doc.eraseSection(section); });
}

void ProfileStore::edit(const std::function<void(IniDocument &)> &change)
{
    const auto fail = [this]() { throw Error(formatMessage("Unable to write to %s", m_path)); };
    const auto folder = folderOf(m_path);
    if (!makeFolders(folder))
        fail();

    // The lock belongs to the file the links lead to, so writers through a link and writers
    // of the file itself share it. A link changed while we waited sends us round again.
    std::string target;
    std::unique_ptr<FileLock> lock;
    for (int attempt = 0; !lock; ++attempt) {
        std::string resolved;
        if (attempt == 8 || !resolveLinks(m_path, resolved))
            fail();
        if (resolved != m_path && !makeFolders(folderOf(resolved)))
            fail();
        auto held = std::make_unique<FileLock>(resolved);
        if (!held->locked())
            fail();
        if (!resolveLinks(m_path, target))
            fail();
        if (target == resolved)
            lock = std::move(held);
    }
    const auto targetFolder = folderOf(target);

    // Read under the lock, so a writer in another process cannot slip in between.
    sweepStaleTemporaries(
        targetFolder, [name = baseNameOf(target)](std::string_view t) { return t == name; });

    struct stat st
    {
    };
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        fail();
    // The owner's write bit, not access(2): root passes access() but protects files this way too.
    if (exists && (st.st_mode & S_IWUSR) == 0)
        fail();
    const auto read = exists ? readWholeFile(target) : std::string();
    if (!read)
        fail(); // never replace a file we could not read
    const std::string &bytes = *read;
    IniDocument doc = IniDocument::parse(bytes);
    change(doc);
    const std::string out = doc.serialize();
    if (exists && out == bytes)
        return;

    if (replaceFile(target, out) != 0)
        fail();
    m_cache->invalidate();
}

} // namespace quorvel
