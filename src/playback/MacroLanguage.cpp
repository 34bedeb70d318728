// The advanced macro language: the scan loop, the token table and the commands.
//
// The text is decoded once into code points; every step works on a view into that buffer,
// so "delete the front" is moving the view's start and the run stays linear in the text.

#include "common/Error.h"
#include "common/Text.h"
#include "playback/MacroRunner.h"
#include "triggers/TitleSearch.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>

namespace quorvel {

namespace {

using View = std::u32string_view;

enum class Action {
    Modifier,
    Key,
    Secs,
    Mins,
    Rep,
    ShortDate,
    LongDate,
    ShortTime,
    LongTime,
    Input,
    WriteValue,
    Run,
    LookFor,
    Focus,
    Execute,
};

struct TokenRow
{
    View token;
    Action action;
    int mode; // modifier rows
    View keys; // key rows: the keystroke string sent
};

// Recognition order matters: the first row whose text equals the front wins.
constexpr TokenRow kTokens[] = {
    { U"<<CTRL>>", Action::Modifier, 1, {} },
    { U"<<ALT>>", Action::Modifier, 2, {} },
    { U"<<SHIFT>>", Action::Modifier, 3, {} },
    { U"<<CTRL+ALT>>", Action::Modifier, 4, {} },
    { U"<<CTRL+SHIFT>>", Action::Modifier, 5, {} },
    { U"<<SHIFT+ALT>>", Action::Modifier, 6, {} },
    { U"<<ENTER>>", Action::Key, 0, U"{ENTER}" },
    { U"<<F1>>", Action::Key, 0, U"{F1}" },
    { U"<<F2>>", Action::Key, 0, U"{F2}" },
    { U"<<F3>>", Action::Key, 0, U"{F3}" },
    { U"<<F4>>", Action::Key, 0, U"{F4}" },
    { U"<<F5>>", Action::Key, 0, U"{F5}" },
    { U"<<F6>>", Action::Key, 0, U"{F6}" },
    { U"<<F7>>", Action::Key, 0, U"{F7}" },
    { U"<<F8>>", Action::Key, 0, U"{F8}" },
    { U"<<F9>>", Action::Key, 0, U"{F9}" },
    { U"<<F10>>", Action::Key, 0, U"{F10}" },
    { U"<<F11>>", Action::Key, 0, U"{F11}" },
    { U"<<F12>>", Action::Key, 0, U"{F12}" },
    { U"<<TAB>>", Action::Key, 0, U"{TAB}" },
    { U"<<BACKSPACE>>", Action::Key, 0, U"{BKSP}" },
    { U"<<INSERT>>", Action::Key, 0, U"{INSERT}" },
    { U"<<DELETE>>", Action::Key, 0, U"{DELETE}" },
    { U"<<HOME>>", Action::Key, 0, U"{HOME}" },
    { U"<<END>>", Action::Key, 0, U"{END}" },
    { U"<<PAGEUP>>", Action::Key, 0, U"{PGUP}" },
    { U"<<PAGEDOWN>>", Action::Key, 0, U"{PGDN}" },
    { U"<<PRINTSCREEN>>", Action::Key, 0, U"{PRTSC}" },
    { U"<<UP>>", Action::Key, 0, U"{UP}" },
    { U"<<DOWN>>", Action::Key, 0, U"{DOWN}" },
    { U"<<LEFT>>", Action::Key, 0, U"{LEFT}" },
    { U"<<RIGHT>>", Action::Key, 0, U"{RIGHT}" },
    { U"<<ESC>>", Action::Key, 0, U"{ESC}" },
    { U"<<SECS", Action::Secs, 0, {} },
    { U"<<MINS", Action::Mins, 0, {} },
    { U"<<REP", Action::Rep, 0, {} },
    { U"<<SHORTDATE>>", Action::ShortDate, 0, {} },
    { U"<<LONGDATE>>", Action::LongDate, 0, {} },
    { U"<<SHORTTIME>>", Action::ShortTime, 0, {} },
    { U"<<LONGTIME>>", Action::LongTime, 0, {} },
    { U"<<INPUT:", Action::Input, 0, {} },
    { U"<<WRITEVALUE>>", Action::WriteValue, 0, {} },
    { U"<<RUN:", Action::Run, 0, {} },
    { U"<<LOOKFOR:", Action::LookFor, 0, {} },
    { U"<<FOCUS:", Action::Focus, 0, {} },
    { U"<<EXECUTE:", Action::Execute, 0, {} },
};
static_assert(std::size(kTokens) == 46);

struct KeyToken
{
    View token;
    View braceName;
};

// The keys a modifier token combines with, in their search order.
constexpr KeyToken kModifiableKeys[] = {
    { U"<<ENTER>>", U"{ENTER}" },
    { U"<<F1>>", U"{F1}" },
    { U"<<F2>>", U"{F2}" },
    { U"<<F3>>", U"{F3}" },
    { U"<<F4>>", U"{F4}" },
    { U"<<F5>>", U"{F5}" },
    { U"<<F6>>", U"{F6}" },
    { U"<<F7>>", U"{F7}" },
    { U"<<F8>>", U"{F8}" },
    { U"<<F9>>", U"{F9}" },
    { U"<<F10>>", U"{F10}" },
    { U"<<F11>>", U"{F11}" },
    { U"<<F12>>", U"{F12}" },
    { U"<<ESC>>", U"{ESC}" },
    { U"<<TAB>>", U"{TAB}" },
    { U"<<BACKSPACE>>", U"{BKSP}" },
    { U"<<INSERT>>", U"{INSERT}" },
    { U"<<DELETE>>", U"{DELETE}" },
    { U"<<HOME>>", U"{HOME}" },
    { U"<<END>>", U"{END}" },
    { U"<<PAGEUP>>", U"{PGUP}" },
    { U"<<PAGEDOWN>>", U"{PGDN}" },
    { U"<<PRINTSCREEN>>", U"{PRTSC}" },
    { U"<<UP>>", U"{UP}" },
    { U"<<DOWN>>", U"{DOWN}" },
    { U"<<LEFT>>", U"{LEFT}" },
    { U"<<RIGHT>>", U"{RIGHT}" },
};

constexpr View kModifierPrefix[] = { U"", U"^", U"@", U"~", U"^@", U"^~", U"~@" };

// The first N characters, ASCII letters upper-cased, equal the token.
bool startsWithToken(View text, View token)
{
    if (text.size() < token.size())
        return false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        char32_t c = text[i];
        if (c >= U'a' && c <= U'z')
            c = c - U'a' + U'A';
        if (c != token[i])
            return false;
    }
    return true;
}

bool startsWithMarker(View text)
{
    return text.size() >= 2 && text[0] == U'<' && text[1] == U'<';
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
    const std::string written = utf8(argument);
    std::string_view digits = written;
    // Leading blanks are skipped, as the platform's integer conversion does.
    while (!digits.empty() && digits.front() == ' ')
        digits.remove_prefix(1);
    if (const auto value = text::parseInteger(digits))
        return *value;
    throw Error(formatMessage("'%s' is not a valid integer value", written));
}

// Lines as the platform's text list reads them: CR, LF or CR LF end a line, a NUL ends the
// text; each line is then followed by CR LF.
std::string joinLines(std::string_view bytes)
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

std::string readMacroFile(const std::string &path)
{
    struct stat info
    {
    };
    std::ifstream in;
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        in.open(path, std::ios::binary);
    if (!in.is_open())
        throw Error(formatMessage("Cannot open file %s", path));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        throw Error(formatMessage("Cannot open file %s", path));
    return content.str();
}

// TokensOnly is on for one literal send and off again afterwards, also when it fails.
class TokensOnlyScope
{
public:
    TokensOnlyScope() { TSendKey::setTokensOnly(true); }
    ~TokensOnlyScope() { TSendKey::setTokensOnly(false); }
    TokensOnlyScope(const TokensOnlyScope &) = delete;
    TokensOnlyScope &operator=(const TokensOnlyScope &) = delete;
};

} // namespace

// Entry points clear the memo on the way in and out, as do the owners of text buffers when
// they free them, so it never speaks of memory that has been released.
class MacroRunner::SearchScope
{
public:
    explicit SearchScope(MacroRunner &runner)
        : m_runner(runner)
    {
        m_runner.m_absent.clear();
    }
    ~SearchScope() { m_runner.m_absent.clear(); }
    SearchScope(const SearchScope &) = delete;
    SearchScope &operator=(const SearchScope &) = delete;

private:
    MacroRunner &m_runner;
};

std::size_t MacroRunner::find(View text, View needle)
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

void MacroRunner::sendTokens(View s)
{
    TSendKey::setTokensOnly(false);
    m_sendKey.SendString(s);
}

void MacroRunner::RunAdvancedMacroFile(const std::string &path)
{
    // Only the outermost run resets the flag: a nested one must not forget a replay that an
    // enclosing run started and still waits for.
    if (m_advancedRuns == 0)
        m_journalIdle = true;
    struct RunScope
    {
        MacroRunner &runner;
        explicit RunScope(MacroRunner &r)
            : runner(r)
        {
            ++runner.m_advancedRuns;
        }
        ~RunScope()
        {
            --runner.m_advancedRuns;
            try {
                runner.m_services.keys.releaseAll();
            } catch (...) {
            }
        }
    } scope(*this);
    SearchScope search(*this); // declared before the text: cleared after the text is freed

    const std::u32string text = text::decode(joinLines(readMacroFile(path)));
    m_storedValue.clear();
    scan(View(text));
    while (!m_journalIdle)
        pumpAndRest();
    RecordFinished("NoRecord");
}

void MacroRunner::SendKeys(std::string_view utf8Text)
{
    SearchScope search(*this);
    const std::u32string text = text::decode(utf8Text);
    scan(View(text));
}

void MacroRunner::SendKeys(View text)
{
    SearchScope search(*this);
    scan(text);
}

View MacroRunner::InterpretToken(View text)
{
    SearchScope search(*this);
    return interpret(text);
}

View MacroRunner::SendModifiedKey(View text, int mode)
{
    SearchScope search(*this);
    return modifiedKey(text, mode);
}

void MacroRunner::RepMac(int count, View body)
{
    SearchScope search(*this);
    repeat(count, body);
}

void MacroRunner::scan(View text)
{
    while (!text.empty() && text.front() <= 32)
        text.remove_prefix(1);
    while (!text.empty() && text.back() <= 32)
        text.remove_suffix(1);
    while (!text.empty()) {
        if (startsWithMarker(text)) {
            text = interpret(text);
            continue;
        }
        const char32_t c = text.front();
        if (c == U'@' || c == U'~' || c == U'^') {
            TokensOnlyScope literal;
            m_sendKey.SendString(text.substr(0, 1));
        } else {
            m_sendKey.SendString(text.substr(0, 1));
        }
        text.remove_prefix(1);
    }
}

View MacroRunner::interpret(View text)
{
    for (const TokenRow &row : kTokens) {
        if (!startsWithToken(text, row.token))
            continue;
        const std::size_t n = row.token.size();
        switch (row.action) {
        case Action::Modifier:
            return modifierToken(text, n, row.mode);
        case Action::Key:
            sendTokens(row.keys);
            return text.substr(n);
        case Action::Secs:
            return timedWaitCommand(text.substr(n), 1);
        case Action::Mins:
            return timedWaitCommand(text.substr(n), 2);
        case Action::Rep:
            return repeatCommand(text.substr(n));
        case Action::ShortDate:
            return dateTimeCommand(text, n, DateTimeFormat::ShortDate);
        case Action::LongDate:
            return dateTimeCommand(text, n, DateTimeFormat::LongDate);
        case Action::ShortTime:
            return dateTimeCommand(text, n, DateTimeFormat::ShortTime);
        case Action::LongTime:
            return dateTimeCommand(text, n, DateTimeFormat::LongTime);
        case Action::Input:
            return inputCommand(text.substr(n));
        case Action::WriteValue:
            return writeValueCommand(text.substr(n));
        case Action::Run:
            return runCommand(text.substr(n));
        case Action::LookFor:
            return lookForCommand(text.substr(n));
        case Action::Focus:
            return focusCommand(text.substr(n));
        case Action::Execute:
            return executeCommand(text.substr(n));
        }
    }
    // Not a token: the "<<" goes and the rest is typed as it stands.
    return dropFront(text, 2);
}

View MacroRunner::modifierToken(View text, std::size_t tokenLength, int mode)
{
    const View rest = text.substr(tokenLength);
    if (startsWithMarker(rest))
        return modifiedKey(rest.substr(0, ModifiedKeyCut), mode);
    std::u32string keys(kModifierPrefix[mode]);
    if (!rest.empty())
        keys += rest.front();
    sendTokens(keys);
    return dropFront(rest, 1);
}

View MacroRunner::modifiedKey(View text, int mode)
{
    if (mode < 1 || mode > 6)
        return dropFront(text, 2);
    for (const KeyToken &key : kModifiableKeys) {
        if (startsWithToken(text, key.token)) {
            std::u32string keys(kModifierPrefix[mode]);
            keys += key.braceName;
            sendTokens(keys);
            return text.substr(key.token.size());
        }
    }
    return dropFront(text, 2);
}

View MacroRunner::timedWaitCommand(View text, int unit)
{
    const std::size_t p = find(text, U">");
    const int amount = toInteger(before(text, p));
    text = dropFront(text, p + 1);
    TimedWait(amount, unit);
    return text;
}

void MacroRunner::TimedWait(int amount, int unit)
{
    if (unit != 1 && unit != 2)
        return;
    const int interval = unit == 1 ? 1000 : 60000;
    if (m_services.observer)
        m_services.observer->timedWait(amount, unit);

    // Waits nest when a macro started during a wait waits itself: each counts its own time
    // from the ticks it sees, and the timers go back only when the last one ends.
    const std::size_t index = m_waits.size();
    m_waits.push_back(ActiveWait { interval, static_cast<std::int64_t>(amount) * interval });
    Timers &timers = m_services.timers;
    timers.setWaitTimer(interval, true);
    timers.setScanTimerEnabled(false);
    struct Restore
    {
        MacroRunner &runner;
        int interval;
        ~Restore()
        {
            runner.m_waits.pop_back();
            Timers &timers = runner.m_services.timers;
            if (runner.m_waits.empty()) {
                timers.setWaitTimer(interval, false);
                timers.setScanTimerEnabled(true);
            } else {
                timers.setWaitTimer(runner.m_waits.back().intervalMs, true);
            }
        }
    } restore { *this, interval };

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

void MacroRunner::tmr1Timer()
{
    if (m_waits.empty())
        return;
    const int interval = m_waits.back().intervalMs;
    for (ActiveWait &wait : m_waits)
        wait.elapsedMs += interval;
}

View MacroRunner::repeatCommand(View text)
{
    const View copy = text;
    const std::size_t countEnd = find(text, U">");
    text = dropFront(text, countEnd + 1);
    const View body = before(text, find(text, U"<<ENDREP>>"));
    const int count = toInteger(before(copy, countEnd));
    repeat(count, body);
    // Without "<<ENDREP>>" this drops nine characters, the block's count and ">>" among them.
    return dropFront(copy, find(copy, U"<<ENDREP>>") + 9);
}

void MacroRunner::repeat(int count, View body)
{
    for (int i = 0; i < count; ++i)
        scan(body);
}

View MacroRunner::dateTimeCommand(View text, std::size_t tokenLength, DateTimeFormat format)
{
    const std::u32string value = text::decode(m_services.dateTime.format(format));
    sendTokens(View(value).substr(0, TSendKey::MaxChars));
    return text.substr(tokenLength);
}

View MacroRunner::inputCommand(View text)
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

View MacroRunner::writeValueCommand(View text)
{
    {
        TokensOnlyScope literal;
        m_sendKey.SendString(View(m_storedValue).substr(0, TSendKey::MaxChars));
        m_services.pump.processMessages();
    }
    return text;
}

View MacroRunner::runCommand(View text)
{
    const std::size_t end = find(text, U">");
    const std::string name = utf8(before(text, end));
    for (const int record : m_services.catalogue.findByName(name)) {
        if (m_runNesting >= MaxRunNesting)
            throw Error(formatMessage("Macro nesting is too deep (%s)", name));
        struct Level
        {
            int &depth;
            explicit Level(int &d)
                : depth(d)
            {
                ++depth;
            }
            ~Level() { --depth; }
        } level(m_runNesting);
        ProcessHotKey(record);
    }
    return dropFront(text, end + 1);
}

View MacroRunner::lookForCommand(View text)
{
    const std::u32string separator = text::decode(m_services.catalogue.store().readString(
        settings::Main, settings::WaitForSeparator, settings::WaitForSeparatorDefault));
    const std::size_t at = find(text, separator);
    const std::string title = utf8(before(text, at));
    // Exactly the separator goes, whatever its length; without one a single character.
    text = at > 0 ? dropFront(text, at - 1 + separator.size()) : dropFront(text, 1);
    if (startsWithToken(text, U"SECS:")) {
        text = text.substr(5);
        const std::size_t end = find(text, U">>");
        const int amount = toInteger(before(text, end));
        WaitForWindow(title, true, amount);
        text = dropFront(text, end + 1);
    }
    if (startsWithToken(text, U"MINS:")) {
        text = text.substr(5);
        const std::size_t end = find(text, U">>");
        const int amount = toInteger(before(text, end));
        WaitForWindow(title, false, amount);
        text = dropFront(text, end + 1);
    }
    return text;
}

void MacroRunner::WaitForWindow(const std::string &title, bool inSeconds, int amount)
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

View MacroRunner::focusCommand(View text)
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

View MacroRunner::executeCommand(View text)
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

} // namespace quorvel
