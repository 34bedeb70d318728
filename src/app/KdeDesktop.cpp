// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopImpl.h"
#include "common/Error.h"
#include "platform/NullPlatform.h"
#include "platform/SessionDoctor.h"
#include "platform/kde/KdeHotKeyRegistrar.h"
#include "platform/kde/KwinWindowSystem.h"
#include "platform/x11/VirtualKeys.h"
#include "recording/wayland/WaylandJournal.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>

namespace quorvel {

namespace {

// KDE Plasma: windows through a KWin script, hot keys through the GlobalShortcuts portal.
// What the desktop does not give is a stand-in that says why, as the windows and the doctor
// do.
class KdeDesktop final : public DesktopBackend::Impl
{
public:
    KdeDesktop()
    {
        const std::string stateFolder = kde::KwinWindowSystem::defaultStateFolder();
        try {
            m_windows.emplace(stateFolder);
        } catch (const Error &e) {
            m_missingWindows.emplace(e.what());
            lack(feature::WindowTriggers, e.what());
            lack(feature::Focus, e.what());
        }
        try {
            m_hotKeys = std::make_unique<kde::KdeHotKeyRegistrar>(stateFolder);
        } catch (const Error &e) {
            lack(feature::HotKeys, e.what());
        }
        // TODO(lead): the RemoteDesktop portal's PortalKeySink (src/platform/portal/) types
        // here once it is merged, given [this] { return m_windows->focusedAppId(); } to tell
        // terminals apart for its clipboard route. Until then typing says it cannot.
        lack(feature::Typing, kTypingPending);
        if (!m_journal.available())
            lack(feature::Replay, m_journal.unavailableReason());
        lack(feature::Recording, "recording needs an X11 session");
        m_limits.recording = WaylandJournal::kRecordingUnavailable;
        m_journal.setCancelKeys(m_hotKeys.get());
        // In the doctor's order.
        const auto rank = [](const FeatureVerdict &v) {
            const char *const order[] = { feature::Typing, feature::HotKeys,
                feature::WindowTriggers, feature::Focus, feature::Replay, feature::Recording };
            return std::find(std::begin(order), std::end(order), v.feature) - std::begin(order);
        };
        std::stable_sort(m_limits.lacking.begin(), m_limits.lacking.end(),
            [&](const FeatureVerdict &a, const FeatureVerdict &b) { return rank(a) < rank(b); });
    }

    Backend backend() override
    {
        Backend b;
        b.keys = &m_missingKeys;
        b.keyboard = &m_missingKeys;
        b.windows = m_windows ? static_cast<WindowSystem *>(&*m_windows) : &*m_missingWindows;
        b.hotKeys = m_hotKeys.get();
        b.journal = &m_journal;
        b.journalUnavailable = WaylandJournal::kRecordingUnavailable;
        b.limits = m_limits;
        b.keyName = [](int key) { return x11::keyNameForVirtualKey(key); };
        if (m_windows)
            b.eventSources.push_back(
                { m_windows->fileDescriptor(), [this] { m_windows->processEvents(); } });
        if (m_hotKeys)
            b.eventSources.push_back(
                { m_hotKeys->fileDescriptor(), [this] { m_hotKeys->processEvents(); } });
        b.eventSources.push_back(
            { m_journal.fileDescriptor(), [this] { m_journal.processEvents(); } });
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
            m_journal.processEvents();
        };
        b.setApplicationActiveQuery = [this](std::function<bool()> query) {
            if (m_hotKeys)
                m_hotKeys->setApplicationActiveQuery(std::move(query));
        };
        if (m_windows)
            b.setTitleChangeHandler = [this](std::function<void()> changed) {
                m_windows->setOnTitleChange(std::move(changed));
            };
        b.cancelPlayBacks = [this] { m_journal.cancelPlayBack(); };
        return b;
    }

private:
    static constexpr const char *kTypingPending =
        "typing on KDE Plasma through the RemoteDesktop portal is not part of this build";

    void lack(const char *feature, const std::string &why)
    {
        m_limits.lacking.push_back({ feature, why });
    }

    std::optional<kde::KwinWindowSystem> m_windows;
    std::optional<UnavailableWindowSystem> m_missingWindows;
    std::unique_ptr<kde::KdeHotKeyRegistrar> m_hotKeys;
    // Stand-in until the portal's typing is merged.
    UnavailableKeySink m_missingKeys { kTypingPending };
    WaylandJournal m_journal;
    DesktopLimits m_limits;
};

} // namespace

std::unique_ptr<DesktopBackend::Impl> makeKdeDesktop()
{
    return std::make_unique<KdeDesktop>();
}

} // namespace quorvel
