// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopImpl.h"
#include "catalogue/Paths.h"
#include "common/Error.h"
#include "platform/NullPlatform.h"
#include "platform/SessionDoctor.h"
#include "platform/kde/KwinFakeInput.h"
#include "platform/kde/KwinWindowSystem.h"
#include "platform/portal/Clipboard.h"
#include "platform/portal/GlobalShortcuts.h"
#include "platform/portal/KdeLayout.h"
#include "platform/portal/PortalKeySink.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "platform/x11/VirtualKeys.h"
#include "recording/portal/PortalJournal.h"
#include "recording/wayland/WaylandJournal.h"

#include <memory>
#include <optional>

namespace quorvel {

namespace {

constexpr const char *kKdePortalBackend = "org.freedesktop.impl.portal.desktop.kde";

// KDE Plasma: typing and replay through KWin's own input protocol where KWin lets us, else
// through the RemoteDesktop portal (what the layout lacks pasted through the compositor's data
// control); windows through a KWin script, hot keys through the
// GlobalShortcuts portal.
// What the desktop does not give is a stand-in that says why, as the windows and the doctor
// do.
class KdeDesktop final : public DesktopBackend::Impl
{
public:
    KdeDesktop()
    {
        // The doctor's verdicts, so the windows say what it says; then what failed here.
        const SessionOffer offer = desktopOffer(WaylandDesktopKind::Kde);
        m_limits = desktopLimits(offer);
        const std::string stateFolder = kde::KwinWindowSystem::defaultStateFolder();
        try {
            m_windows.emplace(stateFolder);
        } catch (const Error &e) {
            m_missingWindows.emplace(verdictOf(e));
            lack(feature::WindowTriggers, verdictOf(e));
            lack(feature::Focus, verdictOf(e));
        }
        try {
            m_hotKeys = std::make_unique<portal::GlobalShortcutsRegistrar>(stateFolder);
        } catch (const Error &e) {
            lack(feature::HotKeys, verdictOf(e));
        }
        m_limits.recording = WaylandJournal::kRecordingUnavailable;
        // The session is asked for at the first key, not here: a desktop that asks the user
        // asks when a macro first types.
        try {
            m_session.emplace(dbus::Bus::session(), Paths::fromEnvironment().dataFolder,
                portal::RemoteDesktopSession::Keyboard | portal::RemoteDesktopSession::Pointer,
                kKdePortalBackend);
        } catch (const Error &e) {
            m_missingKeys.emplace("the session bus does not answer: " + verdictOf(e));
            lack(feature::Typing, verdictOf(e));
            lack(feature::Replay, verdictOf(e));
            return;
        }
        try {
            m_clipboard.emplace();
            m_session->setCompositorRoundtrip([this] { m_clipboard->roundtrip(); });
        } catch (const Error &) {
            // Without data control, what the layout lacks cannot be typed: runs say so.
        }
        const xkb::LayoutNames layout = portal::readKdeLayoutNames();
        m_fakeInput = kde::KwinFakeInput::connect();
        portal::KeyInput &keys =
            m_fakeInput ? static_cast<portal::KeyInput &>(*m_fakeInput) : *m_session;
        try {
            m_keys.emplace(keys, layout, m_clipboard ? &*m_clipboard : nullptr,
                [this] { return m_windows ? m_windows->focusedAppId() : std::string(); });
        } catch (const Error &e) {
            m_missingKeys.emplace(verdictOf(e));
            lack(feature::Typing, verdictOf(e));
        }
        // The user's Ctrl and Alt of a hot key must be up before its macro types.
        if (m_hotKeys && m_keys)
            m_hotKeys->setOnShortcutHeld([this](bool held) { m_keys->userShortcutHeld(held); });
        m_journal.emplace(*m_session, layout, m_fakeInput.get());
        if (!m_journal->available())
            lack(feature::Replay, m_journal->unavailableReason());
    }

    ~KdeDesktop() override
    {
        // The sink goes before the registrar, which may still hear the desktop.
        if (m_hotKeys)
            m_hotKeys->setOnShortcutHeld({});
    }
    KdeDesktop(const KdeDesktop &) = delete;
    KdeDesktop &operator=(const KdeDesktop &) = delete;

    Backend backend() override
    {
        Backend b;
        useKeys(b, m_keys, m_missingKeys);
        b.windows = m_windows ? static_cast<WindowSystem *>(&*m_windows) : &*m_missingWindows;
        b.hotKeys = m_hotKeys.get();
        b.journal = m_journal && m_journal->available() ? &*m_journal : nullptr;
        b.journalUnavailable = WaylandJournal::kRecordingUnavailable;
        b.limits = m_limits;
        b.keyName = [](int key) { return x11::keyNameForVirtualKey(key); };
        if (m_windows)
            b.eventSources.push_back(
                { m_windows->fileDescriptor(), [this] { m_windows->processEvents(); } });
        if (m_hotKeys)
            b.eventSources.push_back(
                { m_hotKeys->fileDescriptor(), [this] { m_hotKeys->processEvents(); } });
        // A paste leaves the user's clipboard with us: its requests must be answered.
        if (m_clipboard)
            b.eventSources.push_back(
                { m_clipboard->fileDescriptor(), [this] { m_clipboard->processEvents(); } });
        if (m_journal)
            b.eventSources.push_back(
                { m_journal->fileDescriptor(), [this] { m_journal->processEvents(); } });
        b.processPending = [this] {
            // A lost session bus is reported by its descriptor's own handler.
            if (m_windows) {
                try {
                    m_windows->processEvents();
                } catch (const Error &) {
                }
            }
            if (m_hotKeys)
                m_hotKeys->processEvents();
            if (m_clipboard) {
                try {
                    m_clipboard->processEvents();
                } catch (const Error &) {
                }
            }
            if (m_journal)
                m_journal->processEvents();
        };
        b.setApplicationActiveQuery = [this](std::function<bool()> query) {
            if (m_hotKeys)
                m_hotKeys->setApplicationActiveQuery(std::move(query));
        };
        if (m_windows)
            b.setTitleChangeHandler = [this](std::function<void()> changed) {
                m_windows->setOnTitleChange(std::move(changed));
            };
        b.cancelPlayBacks = [this] {
            if (m_journal)
                m_journal->cancelPlayBack();
        };
        if (m_journal)
            m_journal->setCancelKeys(m_hotKeys.get());
        return b;
    }

private:
    void lack(const char *feature, const std::string &why)
    {
        quorvel::lack(m_limits, feature, why);
    }

    std::optional<kde::KwinWindowSystem> m_windows;
    std::optional<UnavailableWindowSystem> m_missingWindows;
    std::unique_ptr<portal::GlobalShortcutsRegistrar> m_hotKeys;
    // The clipboard outlives the sink and the session that paste through it.
    std::optional<portal::DataControlClipboard> m_clipboard;
    std::optional<portal::RemoteDesktopSession> m_session;
    std::unique_ptr<kde::KwinFakeInput> m_fakeInput;
    std::optional<portal::PortalKeySink> m_keys;
    std::optional<UnavailableKeySink> m_missingKeys;
    std::optional<PortalJournal> m_journal;
    DesktopLimits m_limits;
};

} // namespace

std::unique_ptr<DesktopBackend::Impl> makeKdeDesktop()
{
    return std::make_unique<KdeDesktop>();
}

} // namespace quorvel
