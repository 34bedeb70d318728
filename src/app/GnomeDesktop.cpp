// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopImpl.h"
#include "catalogue/Paths.h"
#include "common/Error.h"
#include "platform/NullPlatform.h"
#include "platform/SessionDoctor.h"
#include "platform/TypingPace.h"
#include "platform/dbus/Bus.h"
#include "platform/gnome/GnomeHotKeyRegistrar.h"
#include "platform/gnome/GnomeShell.h"
#include "platform/gnome/GnomeShellKeySink.h"
#include "platform/gnome/GnomeWindowSystem.h"
#include "platform/portal/GlobalShortcuts.h"
#include "platform/portal/PortalKeySink.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "platform/wayland/CompositorQueues.h"
#include "platform/x11/VirtualKeys.h"
#include "recording/gnome/GnomeJournal.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace quorvel {

namespace {

// A connection to the compositor's Wayland socket that sends nothing: it tells the queues of
// the compositor's clients apart from ours. -1 when there is no socket.
int connectToCompositor()
{
    const char *display = std::getenv("WAYLAND_DISPLAY");
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!display || !*display)
        return -1;
    std::string path =
        display[0] == '/' ? display : std::string(runtime ? runtime : "") + "/" + display;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return -1;
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// Typing, windows, hot keys and replay through Quorvel's GNOME Shell extension, each on a bus
// connection of its own, so that a typing wait never runs a hot key's handler. Recording says
// plainly that it needs an X server.
class GnomeDesktop final : public DesktopBackend::Impl
{
public:
    GnomeDesktop()
        : m_keys(dbus::Bus::session())
        , m_windows(dbus::Bus::session())
        , m_hotKeys(dbus::Bus::session())
        , m_journal(dbus::Bus::session())
    {
        SessionOffer offer = desktopOffer(WaylandDesktopKind::Gnome, false);
        offer.shellExtension = ShellExtension::Running;
        m_limits = desktopLimits(offer);
        m_limits.recording = DeviceJournal::kRecordingUnavailable;
        // The shell drops a program whose queue fills: typing waits for one that lags.
        if (m_compositor >= 0) {
            m_queues.emplace(m_compositor);
            m_keys.setPace(
                [this] { return m_pace.mustWait(m_queues->read(), TypingPace::Clock::now()); });
        }
    }
    ~GnomeDesktop() override
    {
        // The sink lets go of its keys as it ends, after the queues it would ask.
        m_keys.setPace({});
        if (m_compositor >= 0)
            close(m_compositor);
    }
    GnomeDesktop(const GnomeDesktop &) = delete;
    GnomeDesktop &operator=(const GnomeDesktop &) = delete;

    Backend backend() override
    {
        Backend b;
        b.keys = &m_keys;
        b.keyboard = &m_keys;
        b.windows = &m_windows;
        b.hotKeys = &m_hotKeys;
        b.journal = &m_journal;
        b.journalUnavailable = DeviceJournal::kRecordingUnavailable;
        b.limits = m_limits;
        b.keyName = [](int key) { return x11::keyNameForVirtualKey(key); };
        b.eventSources.push_back(
            { m_windows.fileDescriptor(), [this] { m_windows.processEvents(); } });
        b.eventSources.push_back(
            { m_hotKeys.fileDescriptor(), [this] { m_hotKeys.processEvents(); } });
        b.eventSources.push_back(
            { m_journal.fileDescriptor(), [this] { m_journal.processEvents(); } });
        b.cancelPlayBacks = [this] { m_journal.cancelPlayBack(); };
        m_journal.setCancelKeys(&m_hotKeys);
        b.processPending = [this] {
            // Outside the guarded event handlers: a lost bus is reported by its own handler.
            try {
                m_windows.processEvents();
                m_hotKeys.processEvents();
            } catch (const Error &) {
            }
            m_journal.processEvents();
        };
        b.setApplicationActiveQuery = [this](std::function<bool()> query) {
            m_hotKeys.setApplicationActiveQuery(std::move(query));
        };
        b.setTitleChangeHandler = [this](std::function<void()> changed) {
            m_windows.setOnTitleChange(std::move(changed));
        };
        return b;
    }

private:
    gnome::GnomeShellKeySink m_keys;
    gnome::GnomeWindowSystem m_windows;
    gnome::GnomeHotKeyRegistrar m_hotKeys;
    GnomeJournal m_journal;
    DesktopLimits m_limits;
    int m_compositor = connectToCompositor();
    std::optional<wayland::CompositorQueues> m_queues;
    TypingPace m_pace;
};

constexpr unsigned kLeftShift = 42; // evdev

// GNOME without Quorvel's extension: typing through the RemoteDesktop portal, which shows
// its "Remote desktop" dialog when a macro first types, keys of the default layout only; hot
// keys through GNOME's GlobalShortcuts portal where there is one (GNOME 48 and later), which
// asks the user once for each new key; the windows and the status bar say how to turn the
// extension on for the rest.
class GnomePortalDesktop final : public DesktopBackend::Impl
{
public:
    GnomePortalDesktop()
    {
        const SessionOffer offer = desktopOffer(WaylandDesktopKind::Gnome);
        m_limits = desktopLimits(offer);
        m_limits.recording = DeviceJournal::kRecordingUnavailable;
        const std::string advice = shellExtensionAdvice(offer.shellExtension);
        m_windows.emplace(advice);
        if (offer.gnomeGlobalShortcuts) {
            try {
                m_hotKeys = std::make_unique<portal::GlobalShortcutsRegistrar>(std::string(),
                    portal::GlobalShortcutsRegistrar::Desktop::Gnome, kDesktopEntryId);
            } catch (const Error &e) {
                lack(m_limits, feature::HotKeys, verdictOf(e) + "; or " + advice);
            }
        }
        if (offer.remoteDesktopPortal == 0) {
            m_missingKeys.emplace(m_limits.why(feature::Typing));
            return;
        }
        try {
            // Through the portal one call at a time: GNOME's backend is not known to keep
            // the order of calls sent at once.
            m_session.emplace(dbus::Bus::session(), Paths::fromEnvironment().dataFolder,
                portal::RemoteDesktopSession::Keyboard);
            m_session->setPrimingKey(kLeftShift);
            m_keys.emplace(*m_session, xkb::LayoutNames {});
        } catch (const Error &e) {
            m_missingKeys.emplace(e.what());
        }
        // The user's Ctrl and Alt of a hot key must be up before its macro types.
        if (m_hotKeys && m_keys)
            m_hotKeys->setOnShortcutHeld([this](bool held) { m_keys->userShortcutHeld(held); });
    }
    ~GnomePortalDesktop() override
    {
        if (m_hotKeys)
            m_hotKeys->setOnShortcutHeld({});
    }
    GnomePortalDesktop(const GnomePortalDesktop &) = delete;
    GnomePortalDesktop &operator=(const GnomePortalDesktop &) = delete;

    Backend backend() override
    {
        Backend b;
        useKeys(b, m_keys, m_missingKeys);
        b.windows = &*m_windows;
        b.journalUnavailable = DeviceJournal::kRecordingUnavailable;
        b.limits = m_limits;
        b.keyName = [](int key) { return x11::keyNameForVirtualKey(key); };
        if (m_hotKeys) {
            b.hotKeys = m_hotKeys.get();
            b.eventSources.push_back(
                { m_hotKeys->fileDescriptor(), [this] { m_hotKeys->processEvents(); } });
            b.processPending = [this] { m_hotKeys->processEvents(); };
            b.setApplicationActiveQuery = [this](std::function<bool()> query) {
                m_hotKeys->setApplicationActiveQuery(std::move(query));
            };
        }
        return b;
    }

private:
    std::unique_ptr<portal::GlobalShortcutsRegistrar> m_hotKeys;
    std::optional<portal::RemoteDesktopSession> m_session;
    std::optional<portal::PortalKeySink> m_keys;
    std::optional<UnavailableKeySink> m_missingKeys;
    std::optional<UnavailableWindowSystem> m_windows;
    DesktopLimits m_limits;
};

} // namespace

std::unique_ptr<DesktopBackend::Impl> makeGnomeDesktop()
{
    try {
        auto bus = dbus::Bus::session();
        // Started with the session, we may come before the shell has loaded its extensions.
        for (int tries = 0; tries < 30; ++tries) {
            const gnome::ExtensionState state = gnome::extensionState(bus);
            if (state == gnome::ExtensionState::Running)
                return std::make_unique<GnomeDesktop>();
            if (state != gnome::ExtensionState::NotLoaded)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    } catch (const Error &) {
        // No session bus, or the extension went away while starting: as without it.
    }
    return std::make_unique<GnomePortalDesktop>();
}

} // namespace quorvel
