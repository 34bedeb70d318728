// SPDX-License-Identifier: GPL-3.0-or-later
// The advanced macro language: the scan loop, the token tables and the commands.
//
// The text is decoded once into code points; every step works on a view into that buffer,
// so "delete the front" is moving the view's start and the run stays linear in the text.

#include "playback/MacroInterpreter.h"

#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "common/ScopeGuard.h"
#include "common/Text.h"
#include "playback/MacroCheck.h"
#include "triggers/TitleSearch.h"

#include <algorithm>
#include <functional>
#include <sstream>

namespace quorvel {

using namespace tokens;

namespace {

View prefixOf(ModifierMode mode)
{
    for (const ModifierToken &row : kModifierTokens) {
        if (row.mode == mode)
            return row.prefix;
    }
    return {};
}

// The text before a position from find(): empty when the search failed.
View before(View text, std::size_t position)
{
    return text.substr(0, position > 0 ? position - 1 : 0);
}

View dropFront(View text, std::size_t count)
{
    return text.substr(std::min(count, text.size()));
}

std::string utf8(View text)
{
    return text::encode(text);
}

int toInteger(View argument)
{
    if (const auto value = parseCount(argument))
        return *value;
    throw Error(formatMessage("'%s' is not a valid integer value", utf8(argument)));
}

} // namespace

std::string advancedMacroText(std::string_view bytes)
{
    const auto nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16 + 2);
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t end = i;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        out.append(bytes.substr(i, end - i));
        out += "\r\n";
        i = end;
        if (i < bytes.size() && bytes[i] == '\r')
            ++i;
        if (i < bytes.size() && bytes[i] == '\n')
            ++i;
    }
    return out;
}

namespace {

std::string readMacroFile(const std::string &path)
{
    auto text = readWholeFile(path);
    if (!text)
        throw Error(formatMessage("Cannot open file %s", path));
    return std::move(*text);
}

} // namespace

MacroInterpreter::MacroInterpreter(
    const PlaybackServices &services, MacroHost &host, TSendKey &sender)
    : m_services(services)
    , m_host(host)
    , m_sendKey(sender)
{
}

auto MacroInterpreter::absentMemoScope()
{
    m_absent.clear();
    return ScopeGuard([this] { m_absent.clear(); });
}

std::size_t MacroInterpreter::find(View text, View needle)
{
    if (needle.empty())
        return 0;
    const std::less_equal<const char32_t *> notAfter;
    const char32_t *begin = text.data();
    const char32_t *end = begin + text.size();
    for (const AbsentNeedle &absent : m_absent) {
        if (absent.needle == needle && notAfter(absent.from, begin) && notAfter(end, absent.end))
            return 0;
    }
    const auto at = text.find(needle);
    if (at != View::npos)
        return at + 1;
    for (AbsentNeedle &absent : m_absent) {
        if (absent.needle == needle) {
            absent.from = begin;
            absent.end = end;
            return 0;
        }
    }
    m_absent.push_back(AbsentNeedle { std::u32string(needle), begin, end });
    return 0;
}

void MacroInterpreter::sendTokens(View s)
{
    m_sendKey.setTokensOnly(false);
    m_sendKey.SendString(s);
}

void MacroInterpreter::sendLiterally(View s)
{
    m_sendKey.setTokensOnly(true);
    const ScopeGuard off([this] { m_sendKey.setTokensOnly(false); });
    m_sendKey.sendStringDeferred(s);
}

void MacroInterpreter::RunAdvancedMacroFile(const std::string &path)
{
    runAdvanced([&path] { return readMacroFile(path); });
}

void MacroInterpreter::runAdvancedMacroText(std::string_view fileBytes)
{
    runAdvanced([fileBytes] { return std::string(fileBytes); });
}

void MacroInterpreter::runAdvanced(const std::function<std::string()> &readFile)
{
    // Only the outermost run resets the flag: a nested one must not forget a replay that an
    // enclosing run started and still waits for.
    if (m_advancedRuns == 0)
        m_host.resetJournalIdle();
    ++m_advancedRuns;
    const ScopeGuard endRun([this] {
        --m_advancedRuns;
        try {
            m_services.keys.releaseAll();
        } catch (...) {
        }
    });
    const auto memo = absentMemoScope(); // before the text: cleared after the text is freed

    const std::u32string text = text::decode(advancedMacroText(readFile()));
    // A character the desktop cannot type stops the run before its first key, not halfway.
    if (const std::u32string lacking = charactersRouted(
            text, [this](char32_t c) { return m_services.keys.routeOf(c); }, CharacterRoute::None);
        !lacking.empty())
        throw Error(untypableMessage(lacking));
    m_storedValue.clear();
    scan(View(text));
    while (!m_host.journalIdle())
        pumpAndRest();
    m_host.RecordFinished(RunStatus::NoRecord);
}

void MacroInterpreter::SendKeys(std::string_view utf8Text)
{
    const auto memo = absentMemoScope();
    const std::u32string text = text::decode(utf8Text);
    scan(View(text));
}

void MacroInterpreter::SendKeys(View text)
{
    const auto memo = absentMemoScope();
    scan(text);
}

View MacroInterpreter::InterpretToken(View text)
{
    const auto memo = absentMemoScope();
    const View rest = interpret(text);
    m_sendKey.deliverPending();
    return rest;
}

void MacroInterpreter::scan(View text)
{
    while (!text.empty() && text.front() <= 32)
        text.remove_prefix(1);
    while (!text.empty() && text.back() <= 32)
        text.remove_suffix(1);
    // The sink sees the text ahead in windows, again after every token (one may have typed
    // text of its own), so it can prepare keys for many characters at once.
    constexpr std::size_t lookAhead = 512;
    const char32_t *hintRenewal = text.data();
    while (!text.empty()) {
        if (text.data() >= hintRenewal) {
            m_services.keys.expectText(text.substr(0, lookAhead));
            hintRenewal = text.data() + std::min(text.size(), lookAhead / 2);
        }
        if (startsWithMarker(text)) {
            // A command may wait or look at windows: the characters before it go out first. A
            // key goes with them, as the sink may join it to them (a line end of a text).
            if (!recognize(text).key)
                m_sendKey.deliverPending();
            text = interpret(text);
            hintRenewal = text.data();
            continue;
        }
        const char32_t c = text.front();
        if (c == U'@' || c == U'~' || c == U'^')
            sendLiterally(text.substr(0, 1));
        else
            m_sendKey.sendStringDeferred(text.substr(0, 1));
        text.remove_prefix(1);
    }
    m_sendKey.deliverPending();
}

View MacroInterpreter::interpret(View text)
{
    if (m_services.observer)
        m_services.observer->tokenStarted();
    const Token token = recognize(text);
    if (token.modifier)
        return modifierToken(text, token.length(), token.modifier->mode);
    if (token.key) {
        m_sendKey.setTokensOnly(false);
        m_sendKey.sendStringDeferred(token.key->braceName);
        return text.substr(token.length());
    }
    const CommandToken *row = token.command;
    if (!row) // Not a token: the "<<" goes and the rest is typed as it stands.
        return dropFront(text, 2);
    const View rest = text.substr(row->token.size());
    switch (row->command) {
    case Command::Secs:
        return timedWaitCommand(rest, WaitUnit::Seconds);
    case Command::Mins:
        return timedWaitCommand(rest, WaitUnit::Minutes);
    case Command::Rep:
        return repeatCommand(rest);
    case Command::ShortDate:
        return dateTimeCommand(rest, DateTimeFormat::ShortDate);
    case Command::LongDate:
        return dateTimeCommand(rest, DateTimeFormat::LongDate);
    case Command::ShortTime:
        return dateTimeCommand(rest, DateTimeFormat::ShortTime);
    case Command::LongTime:
        return dateTimeCommand(rest, DateTimeFormat::LongTime);
    case Command::Input:
        return inputCommand(rest);
    case Command::WriteValue:
        return writeValueCommand(rest);
    case Command::Run:
        return runCommand(rest);
    case Command::LookFor:
        return lookForCommand(rest);
    case Command::Focus:
        return focusCommand(rest);
    case Command::Execute:
        return executeCommand(rest);
    }
    return rest;
}

View MacroInterpreter::modifierToken(View text, std::size_t tokenLength, ModifierMode mode)
{
    const View rest = text.substr(tokenLength);
    if (startsWithMarker(rest))
        return SendModifiedKey(rest.substr(0, ModifiedKeyCut), mode);
    std::u32string keys(prefixOf(mode));
    if (!rest.empty())
        keys += rest.front();
    sendTokens(keys);
    return dropFront(rest, 1);
}

View MacroInterpreter::SendModifiedKey(View text, ModifierMode mode)
{
    const KeyToken *key = matchToken(text, kKeyTokens);
    if (!key)
        return dropFront(text, 2);
    std::u32string keys(prefixOf(mode));
    keys += key->braceName;
    sendTokens(keys);
    return text.substr(key->token.size());
}

View MacroInterpreter::timedWaitCommand(View text, WaitUnit unit)
{
    const std::size_t p = find(text, U">");
    const int amount = toInteger(before(text, p));
    text = dropFront(text, p + 1);
    TimedWait(amount, unit);
    return text;
}

void MacroInterpreter::TimedWait(int amount, WaitUnit unit)
{
    int interval = 0;
    switch (unit) {
    case WaitUnit::Seconds:
        interval = 1000;
        break;
    case WaitUnit::Minutes:
        interval = 60000;
        break;
    }
    if (interval == 0)
        return;
    if (m_services.observer)
        m_services.observer->timedWait(amount, unit);

    // Waits nest when a macro started during a wait waits itself: each counts its own time
    // from the ticks it sees, and the timers go back only when the last one ends.
    const std::size_t index = m_waits.size();
    m_waits.push_back(ActiveWait { interval, static_cast<std::int64_t>(amount) * interval });
    Timers &timers = m_services.timers;
    timers.setWaitTimer(interval, true);
    timers.setScanTimerEnabled(false);
    const ScopeGuard restore([this, interval] {
        m_waits.pop_back();
        Timers &timers = m_services.timers;
        if (m_waits.empty()) {
            timers.setWaitTimer(interval, false);
            timers.setScanTimerEnabled(true);
        } else {
            timers.setWaitTimer(m_waits.back().intervalMs, true);
        }
    });

    if (m_services.simulatedTime) {
        m_services.pump.processMessages();
        return;
    }
    for (;;) {
        m_services.pump.processMessages();
        if (m_waits[index].elapsedMs >= m_waits[index].neededMs)
            break;
        m_services.pump.sleep(10);
    }
}

void MacroInterpreter::tmr1Timer()
{
    if (m_waits.empty())
        return;
    const int interval = m_waits.back().intervalMs;
    for (ActiveWait &wait : m_waits)
        wait.elapsedMs += interval;
}

View MacroInterpreter::repeatCommand(View text)
{
    const View copy = text;
    const std::size_t countEnd = find(text, U">");
    text = dropFront(text, countEnd + 1);
    const View body = before(text, find(text, kEndRep));
    const int count = toInteger(before(copy, countEnd));
    // A body that the trim leaves empty does nothing however often it runs, and the count
    // may be in the billions.
    const bool doesNothing =
        std::all_of(body.begin(), body.end(), [](char32_t c) { return c <= 32; });
    for (int i = 0; i < count && !doesNothing; ++i)
        scan(body);
    // Without "<<ENDREP>>" this drops nine characters, the block's count and ">>" among them.
    return dropFront(copy, find(copy, kEndRep) + 9);
}

View MacroInterpreter::dateTimeCommand(View text, DateTimeFormat format)
{
    const std::u32string value = text::decode(m_services.dateTime.format(format));
    sendTokens(View(value).substr(0, TSendKey::MaxChars));
    return text;
}

View MacroInterpreter::inputCommand(View text)
{
    WindowSystem &windows = m_services.windows;
    const WindowHandle previous = windows.foregroundWindow();
    const std::size_t end = find(text, U">>");
    const std::string answer = m_services.prompt.ask(utf8(before(text, end)));
    m_storedValue = text::decode(answer);
    if (previous != 0)
        windows.setForegroundWindow(previous);
    return dropFront(text, end + 1);
}

View MacroInterpreter::writeValueCommand(View text)
{
    m_sendKey.setTokensOnly(true);
    const ScopeGuard off([this] { m_sendKey.setTokensOnly(false); });
    if (m_services.observer)
        m_services.observer->valueWritten(utf8(m_storedValue));
    m_sendKey.SendString(View(m_storedValue).substr(0, TSendKey::MaxChars));
    m_services.pump.processMessages();
    return text;
}

View MacroInterpreter::runCommand(View text)
{
    const std::size_t end = find(text, U">");
    const std::string name = utf8(before(text, end));
    for (const int record : m_services.catalogue.findByName(name)) {
        if (m_runNesting >= MaxRunNesting)
            throw Error(formatMessage("Macro nesting is too deep (%s)", name));
        ++m_runNesting;
        const ScopeGuard level([this] { --m_runNesting; });
        m_host.ProcessHotKey(record);
    }
    return dropFront(text, end + 1);
}

View MacroInterpreter::lookForCommand(View text)
{
    struct Limit
    {
        View label;
        bool inSeconds;
    };
    static constexpr Limit kLimits[] = { { U"SECS:", true }, { U"MINS:", false } };

    const std::u32string separator = text::decode(m_services.catalogue.store().readString(
        settings::Main, settings::WaitForSeparator, settings::WaitForSeparatorDefault));
    const std::size_t at = find(text, separator);
    const std::string title = utf8(before(text, at));
    // Exactly the separator goes, whatever its length; without one a single character.
    text = at > 0 ? dropFront(text, at - 1 + separator.size()) : dropFront(text, 1);
    // Seconds first, then minutes: a text may hold both, one after the other.
    for (const Limit &limit : kLimits) {
        if (!startsWithToken(text, limit.label))
            continue;
        text = text.substr(limit.label.size());
        const std::size_t end = find(text, U">>");
        const int amount = toInteger(before(text, end));
        WaitForWindow(title, limit.inSeconds, amount);
        text = dropFront(text, end + 1);
    }
    return text;
}

void MacroInterpreter::WaitForWindow(const std::string &title, bool inSeconds, int amount)
{
    const std::int64_t polls = amount <= 0 ? 0 : (inSeconds ? amount : amount * 60LL);
    // Without real time nothing changes between polls: one look decides.
    const std::int64_t looks = m_services.simulatedTime ? std::min<std::int64_t>(polls, 1) : polls;
    // Its own target and result: a trigger scan pumped in between cannot disturb them.
    TitleSearch search(title);
    bool found = false;
    for (std::int64_t poll = 0; poll < looks; ++poll) {
        found = search.run(m_services.windows);
        m_services.pump.processMessages();
        if (found)
            break;
        if (!m_services.simulatedTime)
            m_services.pump.sleep(1000);
    }
    if (m_services.observer)
        m_services.observer->lookedFor(title, polls, found);
}

View MacroInterpreter::focusCommand(View text)
{
    const std::string title = utf8(before(text, find(text, U">")));
    WindowSystem &windows = m_services.windows;
    const WindowHandle window = windows.findWindow(title);
    if (window != 0)
        windows.setForegroundWindow(window);
    if (m_services.observer)
        m_services.observer->focused(title, window != 0);
    return dropFront(text, find(text, U">>") + 1);
}

View MacroInterpreter::executeCommand(View text)
{
    std::size_t at = find(text, U"~~");
    const std::string file = utf8(before(text, at));
    text = dropFront(text, at + 1);
    at = find(text, U"~~");
    const std::string parameters = utf8(before(text, at));
    text = dropFront(text, at + 1);
    at = find(text, U">>");
    const std::string folder = utf8(before(text, at));
    m_services.launcher.open(file, parameters, folder);
    return dropFront(text, at + 1);
}

void MacroInterpreter::pumpAndRest()
{
    m_services.pump.processMessages();
    // The pump does not block; a short rest keeps a long wait from spinning the processor.
    m_services.pump.sleep(10);
}

} // namespace quorvel
