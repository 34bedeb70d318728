// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/DryRun.h"

#include "catalogue/Catalogue.h"
#include "common/Text.h"
#include "platform/NullPlatform.h"
#include "playback/MacroCheck.h"
#include "playback/MacroRunner.h"
#include "playback/SendKey.h"
#include "playback/Tracing.h"
#include "playback/UsKeyboardLayout.h"

#include <map>
#include <utility>

namespace quorvel {

namespace {

// Thrown by the listener to end a run whose telling has grown too long.
struct TooLong
{
};

// The key events of a keystroke string are far more than its lines; this bounds a run
// that types a great deal on one line.
constexpr std::size_t kMaxKeyEvents = 200000;
// Tokens that leave no trace ("<<RUN:" of no macro) are counted too.
constexpr std::size_t kMaxTokens = 200000;

const std::map<std::pair<KeyCode, bool>, char32_t> &charactersOfKeys()
{
    static const auto table = [] {
        std::map<std::pair<KeyCode, bool>, char32_t> keys;
        for (char32_t c = 0x20; c < 0x7F; ++c) {
            const KeyScan scan = usKeyScan(c);
            if (scan.valid() && (scan.shiftState & ~1) == 0)
                keys.emplace(std::make_pair(scan.key, scan.shiftState == 1), c);
        }
        return keys;
    }();
    return table;
}

std::string keyName(KeyCode key)
{
    static const std::map<KeyCode, const char *> names { { vk::Return, "Enter" },
        { vk::Tab, "Tab" }, { vk::Back, "Backspace" }, { vk::Insert, "Insert" },
        { vk::Delete, "Delete" }, { vk::Home, "Home" }, { vk::End, "End" },
        { vk::Prior, "Page Up" }, { vk::Next, "Page Down" }, { vk::Snapshot, "Print Screen" },
        { vk::Up, "Up" }, { vk::Down, "Down" }, { vk::Left, "Left" }, { vk::Right, "Right" },
        { vk::Escape, "Esc" }, { vk::Space, "Space" }, { 0x13, "Pause" }, { 0x14, "Caps Lock" },
        { 0x90, "Num Lock" }, { 0x91, "Scroll Lock" } };
    if (const auto it = names.find(key); it != names.end())
        return it->second;
    if (key >= vk::F1 && key <= vk::F24)
        return std::string("F").append(std::to_string(key - vk::F1 + 1));
    if (key >= vk::Numpad0 && key <= vk::Numpad0 + 9)
        return std::string("Num ").append(std::to_string(key - vk::Numpad0));
    const auto &chars = charactersOfKeys();
    if (const auto it = chars.find({ key, false }); it != chars.end()) {
        std::string name;
        text::appendUtf8(name, text::upperAscii(it->second));
        return name;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "key %02X", static_cast<unsigned>(key));
    return buffer;
}

std::string quoted(const std::string &s)
{
    return "\"" + s + "\"";
}

class ReadableTrace : public TraceListener
{
public:
    ReadableTrace(Catalogue &catalogue, std::vector<std::string> &lines)
        : m_catalogue(catalogue)
        , m_lines(lines)
    {
    }

    void keyEvent(KeyCode key, bool release) override
    {
        if (++m_events > kMaxKeyEvents)
            throw TooLong {};
        if (key == vk::Control || key == vk::Menu || key == vk::Shift) {
            (key == vk::Control ? m_ctrl : key == vk::Menu ? m_alt : m_shift) = !release;
            return;
        }
        if (release)
            return;
        if (!m_ctrl && !m_alt) {
            const auto &chars = charactersOfKeys();
            if (const auto it = chars.find({ key, m_shift }); it != chars.end()) {
                m_typing += it->second;
                return;
            }
        }
        line(chord() + keyName(key));
    }

    void character(char32_t ch) override
    {
        if (m_ctrl || m_alt) {
            std::string name;
            text::appendUtf8(name, ch);
            line(chord() + name);
        } else {
            m_typing += ch;
        }
    }

    void launched(
        const std::string &file, const std::string &parameters, const std::string &folder) override
    {
        line("start program " + quoted(file)
            + (parameters.empty() ? std::string() : " with " + quoted(parameters))
            + (folder.empty() ? std::string() : " in " + quoted(folder)));
    }

    void replayed(const std::string &name, bool fast) override
    {
        line("play back " + quoted(name) + (fast ? " at high speed" : " at its recorded speed"));
    }

    void prompted(const std::string &prompt) override { line("ask: " + prompt); }

    void tokenStarted() override
    {
        if (++m_tokens > kMaxTokens)
            throw TooLong {};
    }

    void valueWritten(const std::string &) override { line("type the value asked for"); }

    void runStarted(int record) override
    {
        line("run: " + m_catalogue.record(record).name);
        ++m_level;
    }

    void runStatus(const std::string &) override
    {
        flush();
        if (m_level > 0)
            --m_level;
    }

    void timedWait(int amount, WaitUnit unit) override
    {
        line("wait " + std::to_string(amount) + (unit == WaitUnit::Seconds ? " s" : " min"));
    }

    void lookedFor(const std::string &title, std::int64_t polls, bool) override
    {
        std::string limit = "no time to wait";
        if (polls > 0 && polls % 60 == 0)
            limit = "up to " + std::to_string(polls / 60) + " min";
        else if (polls > 0)
            limit = "up to " + std::to_string(polls) + " s";
        line("look for window " + quoted(title) + ", " + limit);
    }

    void focused(const std::string &title, bool) override
    {
        line("bring window " + quoted(title) + " to the front");
    }

    void line(const std::string &text)
    {
        flush();
        add(text);
    }

    // The last line, past any limit.
    void finalLine(const std::string &text)
    {
        if (!m_typing.empty() && m_lines.size() < DryRunMaxLines)
            add("type: " + text::encode(m_typing));
        m_typing.clear();
        m_lines.push_back(std::string(std::size_t(m_level) * 2, ' ') + text);
    }

    void flush()
    {
        if (m_typing.empty())
            return;
        const std::string typed = text::encode(m_typing);
        m_typing.clear();
        add("type: " + typed);
    }

private:
    std::string chord() const
    {
        return std::string(m_ctrl ? "Ctrl+" : "") + (m_alt ? "Alt+" : "")
            + (m_shift ? "Shift+" : "");
    }

    void add(const std::string &text)
    {
        if (m_lines.size() >= DryRunMaxLines)
            throw TooLong {};
        m_lines.push_back(std::string(std::size_t(m_level) * 2, ' ') + text);
    }

    Catalogue &m_catalogue;
    std::vector<std::string> &m_lines;
    std::u32string m_typing;
    bool m_ctrl = false, m_alt = false, m_shift = false;
    int m_level = 0;
    std::size_t m_events = 0;
    std::size_t m_tokens = 0;
};

std::string heldModifiers(unsigned pending)
{
    std::string held;
    const std::pair<unsigned, const char *> bits[] = { { 2, "Ctrl" }, { 1, "Alt" },
        { 8, "Ctrl+Alt" }, { 4, "Shift" } };
    for (const auto &[bit, name] : bits) {
        if (pending & bit) {
            if (!held.empty())
                held += '+';
            held += name;
        }
    }
    return held;
}

} // namespace

std::vector<std::string> dryRunMacroText(std::string_view text, const DryRunSetup &setup)
{
    std::vector<std::string> lines;
    ReadableTrace trace(setup.catalogue, lines);
    TracingKeySink keys(trace);
    keys.setRoute(setup.route);
    NullKeySink keyboard;
    NullEventPump pump;
    TracingWindows windows;
    TracingLauncher launcher(trace);
    TracingJournal journal(trace, setup.dataFolder);
    TracingPrompt prompt(trace);
    NullTimers timers;
    MacroRunner runner(PlaybackServices { keys, keyboard, pump, windows, launcher, journal, prompt,
        setup.dateTime, timers, setup.catalogue, setup.dataFolder, &trace, true });
    journal.OnFinished = [&runner](bool) { runner.journalFinished(); };
    try {
        runner.interpreter().runAdvancedMacroText(text);
        trace.flush();
        if (const unsigned pending = runner.SendKey1().pendingModifiers())
            trace.line(heldModifiers(pending) + " stays held for the next key typed");
        if (setup.route) {
            const std::u32string pasted =
                charactersRouted(text::decode(text), setup.route, CharacterRoute::Pasted);
            if (!pasted.empty())
                trace.line("pasted through the clipboard on this desktop: "
                    + quoted(text::encode(pasted)));
        }
    } catch (const TooLong &) {
        trace.finalLine("... (cut short after " + std::to_string(lines.size()) + " lines)");
    } catch (const std::exception &e) {
        trace.finalLine(std::string("error: ") + e.what());
    }
    return lines;
}

} // namespace quorvel
