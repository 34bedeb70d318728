// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopImpl.h"
#include "common/Error.h"
#include "platform/SessionDoctor.h"
#include "platform/dbus/Bus.h"
#include "platform/gnome/GnomeHotKeyRegistrar.h"
#include "platform/gnome/GnomeShell.h"
#include "platform/gnome/GnomeShellKeySink.h"
#include "platform/gnome/GnomeWindowSystem.h"
#include "platform/x11/VirtualKeys.h"
#include "recording/wayland/WaylandJournal.h"

#include <chrono>
#include <thread>

namespace quorvel {

namespace {

// Typing, windows and hot keys through Quorvel's GNOME Shell extension, each on a bus
// connection of its own, so that a typing wait never runs a hot key's handler. Recording says
// plainly that it needs an X server; replay goes through the compositor's protocols where it
// offers them, and says why not where it does not.
class GnomeDesktop final : public DesktopBackend::Impl
{
public:
    GnomeDesktop()
        : m_keys(dbus::Bus::session())
        , m_windows(dbus::Bus::session())
        , m_hotKeys(dbus::Bus::session())
    {
        SessionOffer offer;
        offer.kind = SessionKind::Wayland;
        offer.reachable = true;
        offer.desktop = WaylandDesktopKind::Gnome;
        offer.shellExtension = ShellExtension::Running;
        m_limits = desktopLimits(offer);
        m_limits.recording = WaylandJournal::kRecordingUnavailable;
        // Replay goes through the compositor's protocols, which GNOME Shell does not offer.
        if (!m_journal.available() && m_limits.why(feature::Replay).empty())
            m_limits.lacking.push_back({ feature::Replay, m_journal.unavailableReason() });
    }

    Backend backend() override
    {
        Backend b;
        b.keys = &m_keys;
        b.keyboard = &m_keys;
        b.windows = &m_windows;
        b.hotKeys = &m_hotKeys;
        b.journal = &m_journal;
        b.journalUnavailable = WaylandJournal::kRecordingUnavailable;
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
    WaylandJournal m_journal;
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
    // Without the extension, what the compositor's protocols offer; the doctor says how to
    // turn the extension on (gnome::extensionAdvice).
    return makeWlrootsDesktop();
}

} // namespace quorvel
