// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/quorvelctl/CheckCommand.h"

#include "catalogue/Catalogue.h"
#include "catalogue/MacroFiles.h"
#include "catalogue/Paths.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "playback/MacroCheck.h"
#include "triggers/HotKeyConflicts.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quorvel::ctl {

namespace {

constexpr const char *kCheckHelp =
    "Usage: quorvelctl check [--catalogue FILE] [MACRO.key]...\n"
    "Reads advanced macros the way a run does, without running them, and prints one line\n"
    "per finding: \"FILE:LINE:COLUMN: KIND: MESSAGE\" (COLUMN counts characters).\n"
    "KIND is one of unknown-token, unclosed-repeat, stray-endrep, nested-repeat,\n"
    "unterminated, bad-count, unknown-macro, run-cycle, modifier-command,\n"
    "lookfor-no-limit, brace, cut.\n"
    "Given MACRO.key files, checks those; \"<<RUN:\" names are looked up in the catalogue.\n"
    "Given only --catalogue, checks every advanced macro of that catalogue (its files\n"
    "beside it), lists the hot keys that will not start their macros and the records whose\n"
    "data file is found only by ignoring letter case (\"letter-case\").\n"
    "  --catalogue FILE  the catalogue (default: the user's)\n"
    "Exit status: 0 nothing found, 1 findings, 2 usage error or unreadable input.\n";

int usageError(const std::string &message)
{
    std::fprintf(stderr, "quorvelctl check: %s\nTry 'quorvelctl check --help'.\n", message.c_str());
    return 2;
}

// The file's characters, decoded piece by piece: a large macro is never held both as bytes
// and as characters.
std::optional<std::u32string> readText(const std::string &path)
{
    std::u32string text;
    std::string bytes;
    const bool read = readFilePieces(path, [&](std::string_view piece) {
        bytes += piece;
        const std::size_t whole = text::wholeUtf8Length(bytes);
        text += text::decode(std::string_view(bytes).substr(0, whole));
        bytes.erase(0, whole);
    });
    if (!read)
        return std::nullopt;
    return text + text::decode(bytes);
}

std::string sameFileKey(const std::string &path)
{
    std::error_code error;
    const auto canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

struct Checker
{
    ProfileStore &store;
    Catalogue &catalogue;
    std::string dataFolder;
    bool knowsCatalogue;
    int status = 0;

    // The record whose data file path is, or 0.
    int recordOf(const std::string &path) const
    {
        const std::string key = sameFileKey(path);
        for (int i = 1; i <= catalogue.recordCount(); ++i) {
            const auto record = catalogue.record(i);
            if (record.type != macrokind::Advanced)
                continue;
            const auto file = findDataFile(dataFolder, record.fileName);
            if (file && sameFileKey(file->path) == key)
                return i;
        }
        return 0;
    }

    void check(const std::string &path, int self)
    {
        auto text = readText(path);
        if (!text) {
            std::fprintf(stderr, "quorvelctl check: Cannot open file %s\n", path.c_str());
            status = 2;
            return;
        }
        const CatalogueDirectory directory(catalogue, dataFolder);
        MacroCheckContext context;
        context.macros = knowsCatalogue ? &directory : nullptr;
        context.self = self;
        if (self > 0)
            context.selfName = catalogue.record(self).name;
        context.separator = store.readString(
            settings::Main, settings::WaitForSeparator, settings::WaitForSeparatorDefault);
        context.spans = false;
        for (const MacroFinding &f : checkMacroText(std::move(*text), context).findings) {
            std::printf("%s:%d:%d: %s: %s\n", path.c_str(), f.line, f.column,
                std::string(findingKindName(f.kind)).c_str(), f.message.c_str());
            if (status == 0)
                status = 1;
        }
    }
};

} // namespace

int checkCommand(int argc, char **argv)
{
    std::optional<std::string> catalogueFile;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            std::fputs(kCheckHelp, stdout);
            return 0;
        }
        if (!optionsEnded && arg == "--catalogue") {
            if (i + 1 >= argc)
                return usageError("--catalogue needs a FILE");
            catalogueFile = argv[++i];
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty() && !catalogueFile)
        return usageError("no FILE given");

    const Paths paths =
        catalogueFile ? Paths::forCatalogue(*catalogueFile) : Paths::fromEnvironment();
    struct stat info
    {
    };
    const bool catalogueExists =
        ::stat(paths.catalogueFile.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    if (catalogueFile && !catalogueExists) {
        std::fprintf(stderr, "quorvelctl check: Cannot open file %s\n", catalogueFile->c_str());
        return 2;
    }
    try {
        ProfileStore store(paths.catalogueFile);
        Catalogue catalogue(store);
        Checker checker { store, catalogue, paths.dataFolder, catalogueExists };
        if (!files.empty()) {
            for (const auto &file : files)
                checker.check(file, checker.recordOf(file));
        } else {
            for (int i = 1; i <= catalogue.recordCount(); ++i) {
                const auto record = catalogue.record(i);
                if (record.type != macrokind::Advanced)
                    continue;
                const std::string &name = record.fileName;
                if (const auto match = findDataFile(paths.dataFolder, name)) {
                    checker.check(match->path, i);
                } else {
                    std::fprintf(stderr, "quorvelctl check: Cannot open file %s\n",
                        (paths.dataFolder + name).c_str());
                    checker.status = 2;
                }
            }
            // Such a record breaks once a second file of that name in another case appears.
            for (int i = 1; i <= catalogue.recordCount(); ++i) {
                const auto record = catalogue.record(i);
                if (record.type < macrokind::Keystrokes || record.type > macrokind::Advanced)
                    continue;
                const auto match = findDataFile(paths.dataFolder, record.fileName);
                if (!match || !match->caseIgnored)
                    continue;
                const std::string found = match->path.substr(paths.dataFolder.size());
                std::printf("%s: letter-case: %s (macro %d): its file %s is missing; runs read "
                            "%s, whose name differs only in letter case.\n",
                    catalogueFile->c_str(), record.name.c_str(), i, record.fileName.c_str(),
                    found.c_str());
                if (checker.status == 0)
                    checker.status = 1;
            }
            for (const HotKeyConflict &conflict : catalogueHotKeyConflicts(catalogue)) {
                std::printf("%s: hot-key: %s\n", catalogueFile->c_str(), conflict.text.c_str());
                if (checker.status == 0)
                    checker.status = 1;
            }
        }
        std::fflush(stdout);
        return checker.status;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorvelctl check: %s\n", e.what());
        return 2;
    }
}

} // namespace quorvel::ctl
