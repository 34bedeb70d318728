// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopBackend.h"

#include "app/DesktopImpl.h"
#include "common/Error.h"
#include "platform/Journal.h"
#include "platform/NullPlatform.h"
#include "platform/SessionDoctor.h"
#include "platform/dbus/DesktopProbe.h"
#include "platform/wayland/SwayHotKeyRegistrar.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeySink.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "platform/x11/VirtualKeys.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11Probe.h"
#include "platform/x11/X11WindowSystem.h"
#include "recording/wayland/WaylandJournal.h"
#include "recording/x11/X11Journal.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>

namespace quorvel {

namespace {

// Keeps our own typing out of a recording in progress: the sender's keys are bracketed, and
// the bracket closes only once they have reached the server.
class RecordingAwareKeySink : public KeySink
{
public:
    RecordingAwareKeySink(x11::X11Backend &x11, X11Journal &recorder)
        : m_x11(x11)
        , m_sink(x11.keySink())
        , m_recorder(recorder)
    {
    }

    KeyScan keyScan(char32_t ch) override { return m_sink.keyScan(ch); }
    unsigned scanCode(KeyCode key) override { return m_sink.scanCode(key); }
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override
    {
        suspend();
        m_sink.keyEvent(key, scan, extended, release);
    }
    void typeCharacter(char32_t ch) override
    {
        suspend();
        m_sink.typeCharacter(ch);
    }
    void expectText(std::u32string_view text) override { m_sink.expectText(text); }
    void flush() override
    {
        m_sink.flush();
        resume();
    }
    void releaseAll() override
    {
        suspend();
        m_sink.releaseAll();
        resume();
    }

private:
    void suspend()
    {
        if (!m_suspended && m_recorder.isRecording()) {
            m_recorder.suspendCapture();
            m_suspended = true;
        }
    }
    void resume()
    {
        if (!m_suspended)
            return;
        m_x11.connection().sync();
        m_recorder.resumeCapture();
        m_suspended = false;
    }

    x11::X11Backend &m_x11;
    KeySink &m_sink;
    X11Journal &m_recorder;
    bool m_suspended = false;
};

} // namespace

namespace {

class X11Desktop final : public DesktopBackend::Impl
{
public:
    Backend backend() override
    {
        Backend b;
        b.keys = &m_keys;
        b.keyboard = &m_x11.keyboardState();
        b.windows = &m_x11.windowSystem();
        b.hotKeys = &m_x11.hotKeyRegistrar();
        // Without the record extension replays end at once instead of hanging a run.
        b.journal = m_recorder.available() ? static_cast<Journal *>(&m_recorder) : nullptr;
        b.journalUnavailable = m_recorder.unavailableReason();
        b.limits = m_limits;
        b.keyName = [](int key) { return x11::keyNameForVirtualKey(key); };
        b.virtualKeyOfKeycode = [this](unsigned keycode) {
            return m_x11.keyboard().virtualKeyOf(keycode);
        };
        b.eventSources.push_back({ m_x11.fileDescriptor(), [this] { m_x11.processEvents(); } });
        if (m_recorder.available())
            b.eventSources.push_back(
                { m_recorder.fileDescriptor(), [this] { m_recorder.processEvents(); } });
        b.processPending = [this] {
            m_x11.processEvents();
            if (m_recorder.available())
                m_recorder.processEvents();
        };
        b.setApplicationActiveQuery = [this](std::function<bool()> query) {
            m_x11.x11HotKeys().setApplicationActiveQuery(std::move(query));
        };
        b.cancelPlayBacks = [this] {
            if (m_recorder.available())
                m_recorder.cancelPlayBack();
        };
        b.setTitleChangeHandler = [this](std::function<void()> changed) {
            m_x11.x11Windows().setOnWindowsChange(std::move(changed));
        };
        return b;
    }

private:
    x11::X11Backend m_x11;
    X11Journal m_recorder;
    RecordingAwareKeySink m_keys { m_x11, m_recorder };
    DesktopLimits m_limits = limitsOfServer();

    // The doctor's rule on the server's extensions, so the windows say what it says.
    static DesktopLimits limitsOfServer()
    {
        SessionOffer offer;
        offer.kind = SessionKind::X11;
        if (const auto server = x11::probeX11Server()) {
            offer.reachable = true;
            offer.xtest = server->xtest;
            offer.record = server->record;
        }
        return desktopLimits(offer);
    }
};

// Typing, windows and replay through the compositor's protocols, hot keys through sway's IPC
// where sway runs; recording says plainly that it needs an X server. Whatever the compositor
// lacks is a stand-in that says so when a macro needs it.
class WaylandDesktop final : public DesktopBackend::Impl
{
public:
    WaylandDesktop()
    {
        if (const std::string socket = wayland::SwayIpc::socketPath(); !socket.empty()) {
            try {
                m_hotKeys = std::make_unique<wayland::SwayHotKeyRegistrar>(
                    socket, wayland::SwayHotKeyRegistrar::defaultStateFolder());
            } catch (const Error &) {
                // Another compositor, or sway gone: no hot keys, as on a desktop without them.
            }
        }
        SessionOffer offer;
        offer.kind = SessionKind::Wayland;
        offer.reachable = true;
        for (const auto &global : m_connection.globals())
            offer.waylandGlobals.push_back(global.interface);
        offer.swayIpc = m_hotKeys != nullptr;
        offer.swayConfigTrouble = m_hotKeys ? m_hotKeys->configTrouble() : std::string();
        m_limits = desktopLimits(offer);

        if (m_connection.version(wayland_global::VirtualKeyboard) == 0)
            m_missingKeys.emplace(m_limits.why(feature::Typing));
        else if (!m_connection.seat())
            m_missingKeys.emplace("the compositor offers no seat");
        else
            m_keys.emplace(m_connection);
        if (m_connection.version(wayland_global::Toplevels) == 0)
            m_missingWindows.emplace(m_limits.why(feature::WindowTriggers));
        else
            m_windows.emplace(m_connection);
    }

    Backend backend() override
    {
        Backend b;
        useKeys(b, m_keys, m_missingKeys);
        b.windows = m_windows ? static_cast<WindowSystem *>(&*m_windows) : &*m_missingWindows;
        b.hotKeys = m_hotKeys.get();
        b.journal = &m_journal;
        b.journalUnavailable = WaylandJournal::kRecordingUnavailable;
        b.limits = m_limits;
        // Virtual keys name the same characters whatever the display server.
        b.keyName = [](int key) { return x11::keyNameForVirtualKey(key); };
        b.eventSources.push_back(
            { m_connection.fileDescriptor(), [this] { m_connection.processEvents(); } });
        if (m_hotKeys)
            b.eventSources.push_back(
                { m_hotKeys->fileDescriptor(), [this] { m_hotKeys->processEvents(); } });
        b.eventSources.push_back(
            { m_journal.fileDescriptor(), [this] { m_journal.processEvents(); } });
        b.cancelPlayBacks = [this] { m_journal.cancelPlayBack(); };
        m_journal.setCancelKeys(m_hotKeys.get());
        b.processPending = [this] {
            // Runs outside the guarded event handlers: a lost compositor is reported by the
            // socket's own handler.
            try {
                m_connection.processEvents();
            } catch (const Error &) {
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
        return b;
    }

private:
    wayland::WaylandConnection m_connection;
    std::optional<wayland::WaylandKeySink> m_keys;
    std::optional<UnavailableKeySink> m_missingKeys;
    std::optional<wayland::WaylandWindowSystem> m_windows;
    std::optional<UnavailableWindowSystem> m_missingWindows;
    std::unique_ptr<wayland::SwayHotKeyRegistrar> m_hotKeys;
    WaylandJournal m_journal;
    DesktopLimits m_limits;
};

std::unique_ptr<DesktopBackend::Impl> desktopOfSession()
{
    if (sessionKindOf(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"))
        != SessionKind::Wayland)
        return std::make_unique<X11Desktop>();
    switch (dbus::sessionDesktop()) {
    case WaylandDesktopKind::Kde:
        return makeKdeDesktop();
    case WaylandDesktopKind::Gnome:
        return makeGnomeDesktop();
    case WaylandDesktopKind::Other:
        break;
    }
    return makeWlrootsDesktop();
}

} // namespace

SessionOffer desktopOffer(WaylandDesktopKind desktop, bool probe)
{
    SessionOffer offer;
    offer.kind = SessionKind::Wayland;
    offer.reachable = true;
    offer.desktop = desktop;
    if (probe)
        dbus::probeDesktopServices(offer);
    return offer;
}

std::string verdictOf(const Error &e)
{
    std::string why = e.what();
    if (!why.empty() && why.back() == '.')
        why.pop_back();
    if (why.rfind("The ", 0) == 0)
        why[0] = 't';
    return why;
}

void lack(DesktopLimits &limits, const char *feature, const std::string &why)
{
    auto &lacking = limits.lacking;
    lacking.erase(std::remove_if(lacking.begin(), lacking.end(),
                      [&](const FeatureVerdict &v) { return v.feature == feature; }),
        lacking.end());
    lacking.push_back({ feature, why });
    const auto rank = [](const FeatureVerdict &v) {
        const char *const order[] = { feature::Typing, feature::HotKeys, feature::WindowTriggers,
            feature::Focus, feature::Replay, feature::Recording };
        return std::find(std::begin(order), std::end(order), v.feature) - std::begin(order);
    };
    std::stable_sort(lacking.begin(), lacking.end(),
        [&](const FeatureVerdict &a, const FeatureVerdict &b) { return rank(a) < rank(b); });
}

std::unique_ptr<DesktopBackend::Impl> makeWlrootsDesktop()
{
    return std::make_unique<WaylandDesktop>();
}

DesktopBackend::DesktopBackend()
    : m_impl(desktopOfSession())
{
}

DesktopBackend::~DesktopBackend() = default;

Backend DesktopBackend::backend()
{
    return m_impl->backend();
}

} // namespace quorvel
