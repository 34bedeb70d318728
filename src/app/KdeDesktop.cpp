// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopImpl.h"
#include "common/Error.h"
#include "platform/NullPlatform.h"
#include "platform/SessionDoctor.h"
#include "platform/dbus/DesktopProbe.h"
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

// An error's message as a verdict reads: "KWin is not on the session bus." gives "KWin is not
// on the session bus"; a sentence's "The" is lowered.
std::string verdictOf(const Error &e)
{
    std::string why = e.what();
    if (!why.empty() && why.back() == '.')
        why.pop_back();
    if (why.rfind("The ", 0) == 0)
        why[0] = 't';
    return why;
}

// KDE Plasma: windows through a KWin script, hot keys through the GlobalShortcuts portal.
// What the desktop does not give is a stand-in that says why, as the windows and the doctor
// do.
class KdeDesktop final : public DesktopBackend::Impl
{
public:
    KdeDesktop()
    {
        // The doctor's verdicts, so the windows say what it says; then what failed here.
        SessionOffer offer;
        offer.kind = SessionKind::Wayland;
        offer.reachable = true;
        offer.desktop = WaylandDesktopKind::Kde;
        dbus::probeDesktopServices(offer);
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
            m_hotKeys = std::make_unique<kde::KdeHotKeyRegistrar>(stateFolder);
        } catch (const Error &e) {
            lack(feature::HotKeys, verdictOf(e));
        }
        // TODO(lead): the RemoteDesktop portal's PortalKeySink (src/platform/portal/) types
        // here once it is merged, given [this] { return m_windows->focusedAppId(); } to tell
        // terminals apart for its clipboard route. Until then typing says it cannot.
        lack(feature::Typing, kTypingPending);
        // The wlroots journal finds no virtual pointer on KWin; replay through the portal
        // takes its place when it comes.
        if (!m_journal.available())
            lack(feature::Replay, m_journal.unavailableReason());
        m_limits.recording = WaylandJournal::kRecordingUnavailable;
        m_journal.setCancelKeys(m_hotKeys.get());
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

    // Says why the feature does not work here, in the doctor's order.
    void lack(const char *name, const std::string &why)
    {
        auto &lacking = m_limits.lacking;
        lacking.erase(std::remove_if(lacking.begin(), lacking.end(),
                          [&](const FeatureVerdict &v) { return v.feature == name; }),
            lacking.end());
        lacking.push_back({ name, why });
        const auto rank = [](const FeatureVerdict &v) {
            const char *const order[] = { feature::Typing, feature::HotKeys,
                feature::WindowTriggers, feature::Focus, feature::Replay, feature::Recording };
            return std::find(std::begin(order), std::end(order), v.feature) - std::begin(order);
        };
        std::stable_sort(lacking.begin(), lacking.end(),
            [&](const FeatureVerdict &a, const FeatureVerdict &b) { return rank(a) < rank(b); });
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
