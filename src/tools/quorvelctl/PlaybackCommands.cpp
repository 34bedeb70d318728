// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/quorvelctl/PlaybackCommands.h"

#include "catalogue/Catalogue.h"
#include "catalogue/MacroList.h"
#include "catalogue/Paths.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "platform/NullPlatform.h"
#include "platform/posix/PosixDateTime.h"
#include "playback/MacroRunner.h"
#include "playback/SendKey.h"
#include "playback/Tracing.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::ctl {

namespace {

constexpr const char *kKeysHelp =
    "Usage: quorvelctl keys [--tokens-only] STRING...\n"
    "Sends each STRING as one keystroke string into a tracing sink (US layout) and prints\n"
    "every key event as \"down XX\" or \"up XX\" (XX the virtual-key code in hex), a\n"
    "character without a key as \"char U+XXXX\", then \"= RESULT\" or \"error: MESSAGE\".\n"
    "Modifiers left pending by one STRING apply to the next. Exit status 1 if any failed.\n"
    "  --tokens-only  type ^ @ ~ as characters; braces keep their meaning\n";

constexpr const char *kTraceHelp =
    "Usage: quorvelctl trace [--catalogue FILE] [--answer TEXT]... [--window TITLE]... FILE\n"
    "Runs the advanced macro FILE without typing, waiting, launching or touching windows,\n"
    "and prints one line per key event (\"down XX\", \"up XX\", \"char U+XXXX\") and per\n"
    "effect: \"wait N s\", \"wait N min\", \"prompt TEXT\", \"run N\", \"launch "
    "FILE|PARAMS|DIR\",\n"
    "\"replay NAME fast|recorded\", \"lookfor TITLE POLLS found|timeout\" (POLLS the wait's\n"
    "poll limit), \"focus TITLE found|none\", \"status S\"; \"error: MESSAGE\" ends the run.\n"
    "Date and time tokens type the present date and time as the locale (LC_TIME) writes them.\n"
    "  --catalogue FILE  take records from FILE, data files from its folder\n"
    "                    (default: the user's catalogue)\n"
    "  --answer TEXT     the next answer of the value prompt (empty when none is left)\n"
    "  --window TITLE    a top-level window with this title exists (topmost first)\n";

constexpr const char *kListHelp =
    "Usage: quorvelctl list [--catalogue FILE]\n"
    "Prints the macro list, one record per line: image index, caption, hot-key text and\n"
    "trigger, separated by tabs.\n"
    "  --catalogue FILE  read FILE instead of the user's catalogue\n";

bool isHelp(const char *arg)
{
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
}

int usageError(const char *command, const std::string &message)
{
    std::fprintf(stderr, "quorvelctl %s: %s\nTry 'quorvelctl %s --help'.\n", command,
        message.c_str(), command);
    return 2;
}

// Writes one item per line.
class TraceOutput
{
public:
    explicit TraceOutput(std::FILE *out)
        : m_out(out)
    {
    }
    void line(const std::string &text)
    {
        std::fwrite(text.data(), 1, text.size(), m_out);
        std::fputc('\n', m_out);
    }

private:
    std::FILE *m_out;
};

Paths pathsFor(const std::optional<std::string> &catalogue)
{
    return catalogue ? Paths::forCatalogue(*catalogue) : Paths::fromEnvironment();
}

} // namespace

int keysCommand(int argc, char **argv)
{
    bool tokensOnly = false;
    int first = 0;
    for (; first < argc; ++first) {
        const char *arg = argv[first];
        if (isHelp(arg)) {
            std::fputs(kKeysHelp, stdout);
            return 0;
        }
        if (std::strcmp(arg, "--tokens-only") == 0) {
            tokensOnly = true;
        } else if (std::strcmp(arg, "--") == 0) {
            ++first;
            break;
        } else if (arg[0] == '-' && arg[1] == '-') {
            return usageError("keys", std::string("unknown option ") + arg);
        } else {
            break;
        }
    }

    if (first >= argc)
        return usageError("keys", "no STRING given");

    TraceOutput out(stdout);
    RawTrace trace([&out](const std::string &line) { out.line(line); });
    TracingKeySink sink(trace);
    NullEventPump pump;
    TSendKey sender(sink, pump);
    sender.setTokensOnly(tokensOnly);
    bool failed = false;
    for (int i = first; i < argc; ++i) {
        try {
            const int result = sender.SendString(std::string_view(argv[i]));
            out.line("= " + std::to_string(result));
        } catch (const Error &e) {
            out.line(std::string("error: ") + e.what());
            failed = true;
        }
    }
    return failed ? 1 : 0;
}

int traceCommand(int argc, char **argv)
{
    std::optional<std::string> catalogueFile;
    std::vector<std::string> answers;
    std::vector<std::string> windows;
    std::optional<std::string> file;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        if (!optionsEnded && isHelp(argv[i])) {
            std::fputs(kTraceHelp, stdout);
            return 0;
        }
        std::string v;
        if (!optionsEnded && arg == "--catalogue") {
            if (!value(v))
                return usageError("trace", "--catalogue needs a FILE");
            catalogueFile = v;
        } else if (!optionsEnded && arg == "--answer") {
            if (!value(v))
                return usageError("trace", "--answer needs a TEXT");
            answers.push_back(v);
        } else if (!optionsEnded && arg == "--window") {
            if (!value(v))
                return usageError("trace", "--window needs a TITLE");
            windows.push_back(v);
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            return usageError("trace", "unknown option " + arg);
        } else if (file) {
            return usageError("trace", "only one FILE may be given");
        } else {
            file = arg;
        }
    }
    if (!file)
        return usageError("trace", "no FILE given");

    TraceOutput out(stdout);
    try {
        const Paths paths = pathsFor(catalogueFile);
        ProfileStore store(paths.catalogueFile);
        Catalogue catalogue(store);
        RawTrace trace([&out](const std::string &line) { out.line(line); });
        TracingKeySink keys(trace);
        NullKeySink keyboard;
        NullEventPump pump;
        TracingWindows windowSystem(windows);
        TracingLauncher launcher(trace);
        TracingJournal journal(trace, paths.dataFolder);
        TracingPrompt prompt(trace, answers);
        PosixDateTimeFormatter dateTime;
        NullTimers timers;
        MacroRunner runner(PlaybackServices { keys, keyboard, pump, windowSystem, launcher, journal,
            prompt, dateTime, timers, catalogue, paths.dataFolder, &trace, true });
        journal.OnFinished = [&runner](bool) { runner.journalFinished(); };
        runner.RunAdvancedMacroFile(*file);
    } catch (const std::exception &e) {
        out.line(std::string("error: ") + e.what());
        return 1;
    }
    return 0;
}

int listCommand(int argc, char **argv)
{
    std::optional<std::string> catalogueFile;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (isHelp(argv[i])) {
            std::fputs(kListHelp, stdout);
            return 0;
        }
        if (arg == "--catalogue") {
            if (i + 1 >= argc)
                return usageError("list", "--catalogue needs a FILE");
            catalogueFile = argv[++i];
        } else {
            return usageError("list", "unexpected argument " + arg);
        }
    }
    TraceOutput out(stdout);
    try {
        const Paths paths = pathsFor(catalogueFile);
        ProfileStore store(paths.catalogueFile);
        Catalogue catalogue(store);
        for (const MacroListRow &row : LoadMacroList(catalogue)) {
            out.line(std::to_string(row.imageIndex) + "\t" + row.caption + "\t" + row.hotKeyText
                + "\t" + row.trigger);
        }
    } catch (const std::exception &e) {
        out.line(std::string("error: ") + e.what());
        return 1;
    }
    return 0;
}

} // namespace quorvel::ctl
