// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/Tracing.h"

#include "common/Text.h"
#include "playback/UsKeyboardLayout.h"

#include <cstdio>

namespace quorvel {

void RawTrace::keyEvent(KeyCode key, bool release)
{
    char buffer[32];
    std::snprintf(
        buffer, sizeof buffer, "%s %02X", release ? "up" : "down", static_cast<unsigned>(key));
    m_line(buffer);
}

void RawTrace::character(char32_t ch)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "char U+%04X", static_cast<unsigned>(ch));
    m_line(buffer);
}

void RawTrace::launched(
    const std::string &file, const std::string &parameters, const std::string &folder)
{
    m_line("launch " + file + "|" + parameters + "|" + folder);
}

void RawTrace::replayed(const std::string &name, bool fast)
{
    m_line("replay " + name + (fast ? " fast" : " recorded"));
}

void RawTrace::prompted(const std::string &prompt)
{
    m_line("prompt " + prompt);
}

void RawTrace::runStarted(int record)
{
    m_line("run " + std::to_string(record));
}

void RawTrace::timedWait(int amount, WaitUnit unit)
{
    m_line("wait " + std::to_string(amount) + (unit == WaitUnit::Seconds ? " s" : " min"));
}

void RawTrace::lookedFor(const std::string &title, std::int64_t polls, bool found)
{
    m_line("lookfor " + title + " " + std::to_string(polls) + (found ? " found" : " timeout"));
}

void RawTrace::focused(const std::string &title, bool found)
{
    m_line("focus " + title + (found ? " found" : " none"));
}

void RawTrace::runStatus(const std::string &status)
{
    m_line("status " + status);
}

KeyScan TracingKeySink::keyScan(char32_t ch)
{
    return usKeyScan(ch);
}

void TracingKeySink::keyEvent(KeyCode key, unsigned, bool, bool release)
{
    m_out.keyEvent(key, release);
}

void TracingKeySink::typeCharacter(char32_t ch)
{
    m_out.character(ch);
}

TracingWindows::TracingWindows(std::vector<std::string> titles)
{
    WindowHandle next = 1;
    for (auto &title : titles)
        m_windows.push_back(WindowInfo { next++, std::move(title), true });
}

void TracingWindows::enumWindows(const std::function<bool(const WindowInfo &)> &visit)
{
    for (const auto &w : m_windows) {
        if (!visit(w))
            return;
    }
}

bool TracingWindows::isWindowVisible(WindowHandle window)
{
    return window >= 1 && window <= m_windows.size();
}

WindowHandle TracingWindows::findWindow(std::string_view title)
{
    for (const auto &w : m_windows) {
        if (text::equalsIgnoreAsciiCase(w.title, title))
            return w.handle;
    }
    return 0;
}

void TracingLauncher::open(
    const std::string &file, const std::string &parameters, const std::string &folder)
{
    m_out.launched(file, parameters, folder);
}

void TracingJournal::StartPlayBack()
{
    std::string name = PlayBackFileName;
    if (name.compare(0, m_dataFolder.size(), m_dataFolder) == 0)
        name.erase(0, m_dataFolder.size());
    m_out.replayed(name, HiSpeedPlayBack);
    if (OnFinished)
        OnFinished(false);
}

std::string TracingPrompt::ask(const std::string &prompt)
{
    m_out.prompted(prompt);
    if (m_answers.empty())
        return {};
    std::string answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

std::string FixedDateTime::format(DateTimeFormat which)
{
    switch (which) {
    case DateTimeFormat::ShortDate:
        return "12/31/1999";
    case DateTimeFormat::LongDate:
        return "Friday, December 31, 1999";
    case DateTimeFormat::ShortTime:
        return "11:59 PM";
    case DateTimeFormat::LongTime:
        return "11:59:58 PM";
    }
    return {};
}

} // namespace quorvel
