#pragma once

// Platform stand-ins that print what a run does instead of doing it: no display, no real
// windows, no waiting, nothing started.

#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/Journal.h"
#include "platform/KeySink.h"
#include "platform/Launcher.h"
#include "platform/Timers.h"
#include "platform/WindowSystem.h"
#include "playback/MacroRunner.h"

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace quorvel::ctl {

// Writes one item per line.
class TraceOutput
{
public:
    explicit TraceOutput(std::FILE *out)
        : m_out(out)
    {
    }
    void line(const std::string &text);

private:
    std::FILE *m_out;
};

// Windows' US English layout; "down XX" / "up XX" per key event, "char U+XXXX" for a
// character the layout has no key for.
class TracingKeySink : public KeySink
{
public:
    explicit TracingKeySink(TraceOutput &out)
        : m_out(out)
    {
    }
    KeyScan keyScan(char32_t ch) override;
    unsigned scanCode(KeyCode) override { return 0; }
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    void typeCharacter(char32_t ch) override;

private:
    TraceOutput &m_out;
};

// Windows with the given titles, topmost first, all visible; none is in the foreground.
class TracingWindows : public WindowSystem
{
public:
    explicit TracingWindows(std::vector<std::string> titles);
    void enumWindows(const std::function<bool(const WindowInfo &)> &visit) override;
    bool isWindowVisible(WindowHandle window) override;
    WindowHandle foregroundWindow() override { return 0; }
    void setForegroundWindow(WindowHandle) override { }
    WindowHandle findWindow(std::string_view title) override;

private:
    std::vector<WindowInfo> m_windows;
};

// "launch FILE|PARAMS|DIR"
class TracingLauncher : public Launcher
{
public:
    explicit TracingLauncher(TraceOutput &out)
        : m_out(out)
    {
    }
    void open(
        const std::string &file, const std::string &parameters, const std::string &folder) override;

private:
    TraceOutput &m_out;
};

// "replay NAME fast|recorded", then the replay finishes at once.
class TracingJournal : public Journal
{
public:
    TracingJournal(TraceOutput &out, std::string programFolder)
        : m_out(out)
        , m_programFolder(std::move(programFolder))
    {
    }
    void StartRecording() override { }
    void StopRecording() override { }
    void StartPlayBack() override;

private:
    TraceOutput &m_out;
    std::string m_programFolder;
};

// "prompt TEXT"; answers in the order given, then empty.
class TracingPrompt : public ValuePrompt
{
public:
    TracingPrompt(TraceOutput &out, std::vector<std::string> answers)
        : m_out(out)
        , m_answers(answers.begin(), answers.end())
    {
    }
    std::string ask(const std::string &prompt) override;

private:
    TraceOutput &m_out;
    std::deque<std::string> m_answers;
};

// A fixed moment, so that traces repeat: Friday 31 December 1999, 23:59:58, US formats.
class FixedDateTime : public DateTimeFormatter
{
public:
    std::string format(DateTimeFormat which) override;
};

// "run N", "wait N s", "wait N min", "lookfor TITLE POLLS found|timeout",
// "focus TITLE found|none", "status S".
class TraceObserver : public PlaybackObserver
{
public:
    explicit TraceObserver(TraceOutput &out)
        : m_out(out)
    {
    }
    void runStarted(int record) override;
    void timedWait(int amount, WaitUnit unit) override;
    void lookedFor(const std::string &title, std::int64_t polls, bool found) override;
    void focused(const std::string &title, bool found) override;
    void runStatus(const std::string &status) override;

private:
    TraceOutput &m_out;
};

} // namespace quorvel::ctl
