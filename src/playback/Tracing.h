// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Platform stand-ins that report what a run does instead of doing it: no display, no real
// windows, no waiting, nothing started.

#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/Journal.h"
#include "platform/KeySink.h"
#include "platform/Launcher.h"
#include "platform/WindowSystem.h"
#include "playback/PlaybackServices.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// Hears everything a traced run does.
class TraceListener : public PlaybackObserver
{
public:
    virtual void keyEvent(KeyCode key, bool release) = 0;
    // A character no key of the layout types.
    virtual void character(char32_t ch) = 0;
    virtual void launched(
        const std::string &file, const std::string &parameters, const std::string &folder) = 0;
    // name: the data file, relative to the data folder when inside it.
    virtual void replayed(const std::string &name, bool fast) = 0;
    virtual void prompted(const std::string &prompt) = 0;
};

// One line per item: "down XX" / "up XX" per key event, "char U+XXXX", "launch
// FILE|PARAMS|DIR", "replay NAME fast|recorded", "prompt TEXT", "run N", "wait N s",
// "wait N min", "lookfor TITLE POLLS found|timeout", "focus TITLE found|none", "status S".
class RawTrace : public TraceListener
{
public:
    using LineSink = std::function<void(const std::string &)>;
    explicit RawTrace(LineSink line)
        : m_line(std::move(line))
    {
    }

    void keyEvent(KeyCode key, bool release) override;
    void character(char32_t ch) override;
    void launched(
        const std::string &file, const std::string &parameters, const std::string &folder) override;
    void replayed(const std::string &name, bool fast) override;
    void prompted(const std::string &prompt) override;
    void runStarted(int record) override;
    void timedWait(int amount, WaitUnit unit) override;
    void lookedFor(const std::string &title, std::int64_t polls, bool found) override;
    void focused(const std::string &title, bool found) override;
    void runStatus(const std::string &status) override;

private:
    LineSink m_line;
};

// Windows' US English layout.
class TracingKeySink : public KeySink
{
public:
    explicit TracingKeySink(TraceListener &out)
        : m_out(out)
    {
    }
    KeyScan keyScan(char32_t ch) override;
    unsigned scanCode(KeyCode) override { return 0; }
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    void typeCharacter(char32_t ch) override;
    // A desktop's routes, so a trace stops where that desktop's run would.
    void setRoute(std::function<CharacterRoute(char32_t)> route) { m_route = std::move(route); }
    CharacterRoute routeOf(char32_t ch) override
    {
        return m_route ? m_route(ch) : KeySink::routeOf(ch);
    }

private:
    TraceListener &m_out;
    std::function<CharacterRoute(char32_t)> m_route;
};

// Windows with the given titles, topmost first, all visible; none is in the foreground.
class TracingWindows : public WindowSystem
{
public:
    explicit TracingWindows(std::vector<std::string> titles = {});
    void enumWindows(const std::function<bool(const WindowInfo &)> &visit) override;
    bool isWindowVisible(WindowHandle window) override;
    WindowHandle foregroundWindow() override { return 0; }
    void setForegroundWindow(WindowHandle) override { }
    WindowHandle findWindow(std::string_view title) override;

private:
    std::vector<WindowInfo> m_windows;
};

class TracingLauncher : public Launcher
{
public:
    explicit TracingLauncher(TraceListener &out)
        : m_out(out)
    {
    }
    void open(
        const std::string &file, const std::string &parameters, const std::string &folder) override;

private:
    TraceListener &m_out;
};

// The replay finishes at once.
class TracingJournal : public Journal
{
public:
    TracingJournal(TraceListener &out, std::string dataFolder)
        : m_out(out)
        , m_dataFolder(std::move(dataFolder))
    {
    }
    void StartRecording() override { }
    void StopRecording() override { }
    void discardRecording() override { }
    void StartPlayBack() override;

private:
    TraceListener &m_out;
    std::string m_dataFolder;
};

// Answers in the order given, then empty.
class TracingPrompt : public ValuePrompt
{
public:
    TracingPrompt(TraceListener &out, std::vector<std::string> answers = {})
        : m_out(out)
        , m_answers(answers.begin(), answers.end())
    {
    }
    std::string ask(const std::string &prompt) override;

private:
    TraceListener &m_out;
    std::deque<std::string> m_answers;
};

// A fixed moment, so that traces repeat: Friday 31 December 1999, 23:59:58, US formats.
class FixedDateTime : public DateTimeFormatter
{
public:
    std::string format(DateTimeFormat which) override;
};

} // namespace quorvel
