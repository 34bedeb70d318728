// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/Journal.h"
#include "platform/KeySink.h"
#include "platform/Launcher.h"
#include "platform/Timers.h"
#include "platform/WindowSystem.h"

#include <functional>
#include <string>

namespace quorvel {

// Stand-ins for platform parts a session cannot offer (no display, a benchmark, a dry run):
// the Null ones do nothing and say nothing, the Unavailable ones say why when used.

// Keys go nowhere and none is ever held. Without a layout no character has a key.
class NullKeySink : public KeySink, public KeyboardState
{
public:
    using Layout = KeyScan (*)(char32_t);
    explicit NullKeySink(Layout layout = nullptr)
        : m_layout(layout)
    {
    }

    KeyScan keyScan(char32_t ch) override { return m_layout ? m_layout(ch) : KeyScan { 0xFF, 0 }; }
    unsigned scanCode(KeyCode) override { return 0; }
    void keyEvent(KeyCode, unsigned, bool, bool) override { }
    void typeCharacter(char32_t) override { }
    bool isKeyDown(KeyCode) override { return false; }

private:
    Layout m_layout;
};

class NullEventPump : public EventPump
{
public:
    void processMessages() override { }
    void sleep(int) override { }
};

class NullTimers : public Timers
{
public:
    void setScanTimerEnabled(bool) override { }
    void setWaitTimer(int, bool) override { }
};

class NullWindowSystem : public WindowSystem
{
public:
    void enumWindows(const std::function<bool(const WindowInfo &)> &) override { }
    bool isWindowVisible(WindowHandle) override { return false; }
    WindowHandle foregroundWindow() override { return 0; }
    void setForegroundWindow(WindowHandle) override { }
    WindowHandle findWindow(std::string_view) override { return 0; }
};

// Stand-ins for a part the desktop lacks: a macro that needs it fails with why, while what
// merely looks (a held-key query, the end of a run) finds nothing.
class UnavailableKeySink : public KeySink, public KeyboardState
{
public:
    explicit UnavailableKeySink(const std::string &why)
        : m_error("Typing is not possible: " + why)
    {
    }

    KeyScan keyScan(char32_t) override;
    // Not asked ahead of a run: what the run does first says why it fails.
    CharacterRoute routeOf(char32_t) override { return CharacterRoute::Key; }
    unsigned scanCode(KeyCode) override { return 0; }
    void keyEvent(KeyCode, unsigned, bool, bool) override;
    void typeCharacter(char32_t) override;
    bool isKeyDown(KeyCode) override { return false; }

private:
    std::string m_error;
};

// Window triggers scan a NullWindowSystem instead, so that they simply never fire.
class UnavailableWindowSystem : public WindowSystem
{
public:
    explicit UnavailableWindowSystem(const std::string &why)
        : m_error("Window commands are not possible: " + why)
    {
    }

    void enumWindows(const std::function<bool(const WindowInfo &)> &) override;
    bool isWindowVisible(WindowHandle) override { return false; }
    // Asked around a value prompt, which needs no window of ours.
    WindowHandle foregroundWindow() override { return 0; }
    void setForegroundWindow(WindowHandle) override;
    WindowHandle findWindow(std::string_view) override;

private:
    std::string m_error;
};

class NullLauncher : public Launcher
{
public:
    void open(const std::string &, const std::string &, const std::string &) override { }
};

// Without a recorder a replay ends at once, so no run waits for it forever. post decides
// where the end is raised: an owner with an event loop posts it there, as a real replay's
// end would arrive; without one it is raised inside the call.
class NullJournal : public Journal
{
public:
    using Post = std::function<void(std::function<void()>)>;
    explicit NullJournal(Post post = {})
        : m_post(std::move(post))
    {
    }

    // Why there is no real journal; a recording then fails with it rather than record
    // nothing.
    void setUnavailable(std::string reason) { m_unavailable = std::move(reason); }

    void StartRecording() override;
    void StopRecording() override { }
    void discardRecording() override { }
    void StartPlayBack() override;

private:
    void finish();

    Post m_post;
    std::string m_unavailable;
};

class NullValuePrompt : public ValuePrompt
{
public:
    explicit NullValuePrompt(std::string answer = {})
        : m_answer(std::move(answer))
    {
    }
    std::string ask(const std::string &) override { return m_answer; }

private:
    std::string m_answer;
};

class NullDateTimeFormatter : public DateTimeFormatter
{
public:
    explicit NullDateTimeFormatter(std::string text = {})
        : m_text(std::move(text))
    {
    }
    std::string format(DateTimeFormat) override { return m_text; }

private:
    std::string m_text;
};

} // namespace quorvel
