#include "tools/quorvelctl/Tracing.h"

#include "common/Text.h"
#include "playback/UsKeyboardLayout.h"

namespace quorvel::ctl {

void TraceOutput::line(const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), m_out);
    std::fputc('\n', m_out);
}

KeyScan TracingKeySink::keyScan(char32_t ch)
{
    return usKeyScan(ch);
}

void TracingKeySink::keyEvent(KeyCode key, unsigned, bool, bool release)
{
    char buffer[32];
    std::snprintf(
        buffer, sizeof buffer, "%s %02X", release ? "up" : "down", static_cast<unsigned>(key));
    m_out.line(buffer);
}

void TracingKeySink::typeCharacter(char32_t ch)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "char U+%04X", static_cast<unsigned>(ch));
    m_out.line(buffer);
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
    m_out.line("launch " + file + "|" + parameters + "|" + folder);
}

void TracingJournal::StartPlayBack()
{
    std::string name = PlayBackFileName;
    if (name.compare(0, m_programFolder.size(), m_programFolder) == 0)
        name.erase(0, m_programFolder.size());
    m_out.line("replay " + name + (HiSpeedPlayBack ? " fast" : " recorded"));
    if (OnFinished)
        OnFinished(false);
}

std::string TracingPrompt::ask(const std::string &prompt)
{
    m_out.line("prompt " + prompt);
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

void TraceObserver::runStarted(int record)
{
    m_out.line("run " + std::to_string(record));
}

void TraceObserver::timedWait(int amount, WaitUnit unit)
{
    m_out.line("wait " + std::to_string(amount) + (unit == WaitUnit::Seconds ? " s" : " min"));
}

void TraceObserver::lookedFor(const std::string &title, std::int64_t polls, bool found)
{
    m_out.line("lookfor " + title + " " + std::to_string(polls) + (found ? " found" : " timeout"));
}

void TraceObserver::focused(const std::string &title, bool found)
{
    m_out.line("focus " + title + (found ? " found" : " none"));
}

void TraceObserver::runStatus(const std::string &status)
{
    m_out.line("status " + status);
}

} // namespace quorvel::ctl
