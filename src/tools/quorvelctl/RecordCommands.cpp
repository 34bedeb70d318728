// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/quorvelctl/RecordCommands.h"

#include "catalogue/Paths.h"
#include "common/Error.h"
#include "platform/SessionDoctor.h"
#include "platform/dbus/Bus.h"
#include "platform/dbus/DesktopProbe.h"
#include "platform/gnome/GnomeHotKeyRegistrar.h"
#include "platform/kde/KwinWindowSystem.h"
#include "platform/portal/GlobalShortcuts.h"
#include "platform/portal/KdeLayout.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "platform/wayland/SwayHotKeyRegistrar.h"
#include "platform/wayland/SwayIpc.h"
#include "recording/JournalFile.h"
#include "recording/gnome/GnomeJournal.h"
#include "recording/portal/PortalJournal.h"
#include "recording/wayland/WaylandJournal.h"
#include "recording/x11/X11Journal.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

namespace quorvel::ctl {

namespace {

constexpr int kUsageError = 2;
constexpr int kCancelled = 3;
constexpr int kInterrupted = 130;

const char kRecordUsage[] =
    "Usage: quorvelctl record [--keys-only] FILE\n"
    "\n"
    "Records keyboard and mouse input of the whole X desktop into FILE until\n"
    "Ctrl+Shift+F12 is pressed (the combination itself is left out).\n"
    "\n"
    "  --keys-only   record the keyboard only, not the mouse\n"
    "  --help        show this text\n"
    "\n"
    "FILE is replaced only when the recording ends. Interrupting the command\n"
    "(Ctrl+C, SIGTERM) abandons the recording and leaves FILE as it was.\n";

const char kReplayUsage[] =
    "Usage: quorvelctl replay [--fast] FILE\n"
    "\n"
    "Replays a recording into the desktop at its recorded speed: the X desktop,\n"
    "a Wayland compositor with a virtual keyboard and pointer, KDE Plasma through\n"
    "its remote desktop portal, or GNOME with Quorvel's GNOME Shell extension.\n"
    "\n"
    "  --fast        replay at high speed, without the recorded delays\n"
    "  --help        show this text\n"
    "\n"
    "Esc cancels the replay where the desktop lets it be bound. Exit status: 0\n"
    "replayed to the end,\n"
    "1 error (also the display gone during the replay), 2 bad arguments, 3 cancelled\n"
    "with Esc, 130 interrupted.\n";

volatile std::sig_atomic_t g_signal = 0;

void onSignal(int signal)
{
    g_signal = signal;
}

// Blocks SIGINT and SIGTERM except while waiting, so a signal always ends the wait.
class SignalGuard
{
public:
    SignalGuard()
    {
        g_signal = 0;
        struct sigaction action
        {
        };
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
        sigset_t block;
        sigemptyset(&block);
        sigaddset(&block, SIGINT);
        sigaddset(&block, SIGTERM);
        sigprocmask(SIG_BLOCK, &block, &m_waitMask);
    }
    ~SignalGuard()
    {
        sigprocmask(SIG_SETMASK, &m_waitMask, nullptr);
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    // Waits for any of the descriptors; false when a signal came. A signal that is pending
    // while a descriptor is ready is not delivered by ppoll, so it is looked for after each
    // wait: a replay that keeps its descriptor busy could not be stopped otherwise.
    bool wait(const std::vector<int> &fds)
    {
        std::vector<pollfd> polled;
        polled.reserve(fds.size());
        for (const int fd : fds)
            polled.push_back({ fd, POLLIN, 0 });
        ppoll(polled.data(), polled.size(), nullptr, &m_waitMask);
        sigset_t pending;
        sigpending(&pending);
        for (const int signal : { SIGINT, SIGTERM }) {
            if (sigismember(&pending, signal)) {
                sigset_t one;
                sigemptyset(&one);
                sigaddset(&one, signal);
                const timespec now {};
                sigtimedwait(&one, nullptr, &now);
                g_signal = signal;
            }
        }
        return g_signal == 0;
    }
    bool wait(int fd) { return wait(std::vector<int> { fd }); }

private:
    struct sigaction m_oldInt
    {
    };
    struct sigaction m_oldTerm
    {
    };
    sigset_t m_waitMask {};
};

struct Arguments
{
    bool flag = false;
    bool help = false;
    std::string file;
    std::string error;
};

Arguments parseArguments(int argc, char **argv, const char *flagName)
{
    Arguments out;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            out.help = true;
        } else if (options && arg == flagName) {
            out.flag = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            out.error = "unknown option " + arg;
        } else if (out.file.empty()) {
            out.file = arg;
        } else {
            out.error = "more than one FILE given";
        }
    }
    if (out.error.empty() && !out.help && out.file.empty())
        out.error = "no FILE given";
    return out;
}

int usageError(const char *command, const std::string &what)
{
    std::fprintf(
        stderr, "quorvelctl %s: %s\nTry 'quorvelctl %s --help'.\n", command, what.c_str(), command);
    return kUsageError;
}

bool waylandSession()
{
    return sessionKindOf(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"))
        == SessionKind::Wayland;
}

std::string absolutePath(const std::string &file)
{
    std::error_code ec;
    const auto path = std::filesystem::absolute(file, ec);
    return ec ? file : path.string();
}

template <typename ReplayJournal, typename CancelKeys = wayland::SwayHotKeyRegistrar>
int replay(
    ReplayJournal &journal, const std::string &file, bool fast, CancelKeys *hotKeys = nullptr)
{
    if (!journal.available()) {
        std::fprintf(stderr, "quorvelctl replay: %s\n", journal.unavailableReason().c_str());
        return 1;
    }
    bool finished = false;
    bool cancelled = false;
    journal.OnFinished = [&](bool userCancel) {
        finished = true;
        cancelled = userCancel;
    };
    journal.PlayBackFileName = file;
    journal.HiSpeedPlayBack = fast;

    SignalGuard signals;
    try {
        journal.StartPlayBack();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorvelctl replay: %s\n", e.what());
        return 1;
    }
    std::vector<int> watched { journal.fileDescriptor() };
    if (hotKeys)
        watched.push_back(hotKeys->fileDescriptor());
    bool interrupted = false;
    // OnFinished, raised from processEvents, ends the loop.
    while (!finished) { // NOLINT(bugprone-infinite-loop)
        if (!signals.wait(watched) && !interrupted) {
            interrupted = true;
            journal.cancelPlayBack();
        }
        if (hotKeys)
            hotKeys->processEvents();
        journal.processEvents();
    }
    if (interrupted) {
        std::fputs("quorvelctl replay: interrupted\n", stderr);
        return kInterrupted;
    }
    // A display that went away ends the replay as a cancel does; it is no user's Esc.
    if (cancelled && !journal.available()) {
        std::fprintf(stderr, "quorvelctl replay: %s\n", journal.unavailableReason().c_str());
        return 1;
    }
    if (cancelled) {
        std::fputs("quorvelctl replay: cancelled with Esc\n", stderr);
        return kCancelled;
    }
    return 0;
}

// Esc through sway's IPC where sway runs; making the registrar also removes what a killed
// Quorvel left bound. Nothing where sway cannot be reached: the replay runs without Esc.
std::unique_ptr<wayland::SwayHotKeyRegistrar> swayCancelKeys()
{
    const std::string socket = wayland::SwayIpc::socketPath();
    if (socket.empty())
        return nullptr;
    try {
        return std::make_unique<wayland::SwayHotKeyRegistrar>(
            socket, wayland::SwayHotKeyRegistrar::defaultStateFolder());
    } catch (const Error &) {
        return nullptr;
    }
}

} // namespace

int recordCommand(int argc, char **argv)
{
    const Arguments args = parseArguments(argc, argv, "--keys-only");
    if (args.help) {
        std::fputs(kRecordUsage, stdout);
        return 0;
    }
    if (!args.error.empty())
        return usageError("record", args.error);
    if (waylandSession()) {
        std::fprintf(stderr, "quorvelctl record: %s\n", WaylandJournal::kRecordingUnavailable);
        return 1;
    }

    X11Journal journal;
    if (!journal.available()) {
        std::fprintf(stderr, "quorvelctl record: %s\n", journal.unavailableReason().c_str());
        return 1;
    }
    const std::string file = absolutePath(args.file);
    journal.RecordFileName = file;
    journal.KeyStrokesOnly = args.flag;
    bool stopKey = false;
    journal.OnStopKey = [&stopKey] { stopKey = true; };

    SignalGuard signals;
    try {
        journal.StartRecording();
    } catch (const Error &e) {
        std::fprintf(stderr, "quorvelctl record: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "Recording %s into %s; press Ctrl+Shift+F12 to stop.\n",
        args.flag ? "the keyboard" : "keyboard and mouse", file.c_str());
    while (!stopKey) {
        if (!signals.wait(journal.fileDescriptor())) {
            std::fputs("quorvelctl record: interrupted; the recording was abandoned\n", stderr);
            return kInterrupted; // the journal drops an unfinished recording
        }
        journal.processEvents();
    }
    try {
        journal.StopRecording();
    } catch (const Error &e) {
        std::fprintf(stderr, "quorvelctl record: %s\n", e.what());
        return 1;
    }
    const JournalParseResult saved = loadJournal(file);
    std::fprintf(stderr, "Saved %zu events to %s\n",
        saved.recording ? saved.recording->events.size() : std::size_t(0), file.c_str());
    return 0;
}

int replayCommand(int argc, char **argv)
{
    const Arguments args = parseArguments(argc, argv, "--fast");
    if (args.help) {
        std::fputs(kReplayUsage, stdout);
        return 0;
    }
    if (!args.error.empty())
        return usageError("replay", args.error);

    // The journal only says that a bad file finished; check it first to say why.
    const std::string file = absolutePath(args.file);
    const JournalParseResult parsed = loadJournal(file);
    if (!parsed.recording) {
        std::fprintf(stderr, "quorvelctl replay: %s\n", parsed.error.c_str());
        return 1;
    }
    if (waylandSession() && dbus::sessionDesktop() == WaylandDesktopKind::Gnome) {
        // Through Quorvel's GNOME Shell extension, which also binds Esc.
        try {
            gnome::GnomeHotKeyRegistrar hotKeys(dbus::Bus::session());
            GnomeJournal journal(dbus::Bus::session());
            journal.setCancelKeys(&hotKeys);
            return replay(journal, file, args.flag, &hotKeys);
        } catch (const Error &e) {
            std::fprintf(stderr, "quorvelctl replay: %s\n", e.what());
            return 1;
        }
    }
    if (waylandSession() && dbus::sessionDesktop() == WaylandDesktopKind::Kde) {
        // Through KDE's RemoteDesktop portal, as the program replays; Esc through its
        // GlobalShortcuts portal where that answers.
        try {
            portal::RemoteDesktopSession session(dbus::Bus::session(),
                Paths::fromEnvironment().dataFolder,
                portal::RemoteDesktopSession::Keyboard | portal::RemoteDesktopSession::Pointer,
                "org.freedesktop.impl.portal.desktop.kde");
            std::unique_ptr<portal::GlobalShortcutsRegistrar> hotKeys;
            try {
                hotKeys = std::make_unique<portal::GlobalShortcutsRegistrar>(
                    kde::KwinWindowSystem::defaultStateFolder());
            } catch (const Error &) {
                // No global shortcuts: the replay runs without Esc.
            }
            PortalJournal journal(session, portal::readKdeLayoutNames());
            journal.setCancelKeys(hotKeys.get());
            return replay(journal, file, args.flag, hotKeys.get());
        } catch (const Error &e) {
            std::fprintf(stderr, "quorvelctl replay: %s\n", e.what());
            return 1;
        }
    }
    if (waylandSession()) {
        // The registrar outlives the journal, which unbinds Esc through it.
        const auto hotKeys = swayCancelKeys();
        WaylandJournal journal;
        journal.setCancelKeys(hotKeys.get());
        return replay(journal, file, args.flag, hotKeys.get());
    }
    X11Journal journal;
    return replay(journal, file, args.flag);
}

} // namespace quorvel::ctl
