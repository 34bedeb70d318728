// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopBackend.h"

#include "platform/x11/VirtualKeys.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11Keyboard.h"
#include "recording/x11/X11Journal.h"

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

struct DesktopBackend::Impl
{
    x11::X11Backend x11;
    X11Journal Recorder;
    RecordingAwareKeySink keys { x11, Recorder };
};

DesktopBackend::DesktopBackend()
    : m_impl(std::make_unique<Impl>())
{
}

DesktopBackend::~DesktopBackend() = default;

Backend DesktopBackend::backend()
{
    auto &p = *m_impl;
    Backend b;
    b.keys = &p.keys;
    b.keyboard = &p.x11.keyboardState();
    b.windows = &p.x11.windowSystem();
    b.hotKeys = &p.x11.hotKeyRegistrar();
    // Without the record extension replays end at once instead of hanging a run.
    b.journal = p.Recorder.available() ? static_cast<Journal *>(&p.Recorder) : nullptr;
    b.journalUnavailable = p.Recorder.unavailableReason();
    b.keyName = [](int key) { return x11::keyNameForVirtualKey(key); };
    b.virtualKeyOfKeycode = [&p](unsigned keycode) {
        return p.x11.keyboard().virtualKeyOf(keycode);
    };
    b.eventSources.push_back({ p.x11.fileDescriptor(), [&p] { p.x11.processEvents(); } });
    if (p.Recorder.available())
        b.eventSources.push_back(
            { p.Recorder.fileDescriptor(), [&p] { p.Recorder.processEvents(); } });
    b.processPending = [&p] {
        p.x11.processEvents();
        if (p.Recorder.available())
            p.Recorder.processEvents();
    };
    b.setApplicationActiveQuery = [&p](std::function<bool()> query) {
        p.x11.x11HotKeys().setApplicationActiveQuery(std::move(query));
    };
    b.cancelPlayBacks = [&p] {
        if (p.Recorder.available())
            p.Recorder.cancelPlayBack();
    };
    return b;
}

} // namespace quorvel
