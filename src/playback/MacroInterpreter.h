// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DateTime.h"
#include "playback/MacroTokens.h"
#include "playback/PlaybackServices.h"
#include "playback/SendKey.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// A macro file's bytes as a run reads them: CR, LF or CR LF end a line, a NUL ends the text,
// a leading byte-order mark goes; each line is then followed by CR LF.
std::string advancedMacroText(std::string_view bytes);

// The runner, as the language sees it.
class MacroHost
{
public:
    // Runs catalogue record n ("<<RUN:").
    virtual void ProcessHotKey(int n) = 0;
    virtual bool journalIdle() const = 0;
    // The start of an advanced run that no other encloses: no replay is awaited yet.
    virtual void resetJournalIdle() = 0;
    // The last run status, which a /CLOSE run ends on.
    virtual void RecordFinished(RunStatus status) = 0;

protected:
    ~MacroHost() = default;
};

// The advanced macro language: the scan loop, its tokens and commands, and the waits.
// Text is UTF-8 at the edges and code points inside. Everything runs on the caller's
// thread; the pumps inside may re-enter it.
class MacroInterpreter
{
public:
    static constexpr int MaxRunNesting = 16;
    static constexpr std::size_t ModifiedKeyCut = 10000;

    // Types through sender, which the runner owns.
    MacroInterpreter(const PlaybackServices &services, MacroHost &host, TSendKey &sender);
    MacroInterpreter(const MacroInterpreter &) = delete;
    MacroInterpreter &operator=(const MacroInterpreter &) = delete;

    TSendKey &SendKey1() { return m_sendKey; }

    // Runs the text file at path to its end, then waits for any replay it started.
    void RunAdvancedMacroFile(const std::string &path);
    // The same for a file's bytes already read.
    void runAdvancedMacroText(std::string_view fileBytes);
    void SendKeys(std::string_view utf8);
    void SendKeys(std::u32string_view text);
    // Performs the token at the front of text (which starts with "<<"); returns the rest.
    std::u32string_view InterpretToken(std::u32string_view text);
    void WaitForWindow(const std::string &title, bool inSeconds, int amount);
    void TimedWait(int amount, WaitUnit unit);
    // A tick of the wait timer (tmr1).
    void tmr1Timer();

private:
    // A range of a live text known not to hold needle; lets repeated searches for a missing
    // terminator stay linear. Cleared whenever a text buffer may have gone away.
    struct AbsentNeedle
    {
        std::u32string needle;
        const char32_t *from = nullptr;
        const char32_t *end = nullptr;
    };

    struct ActiveWait
    {
        int intervalMs;
        std::int64_t neededMs;
        std::int64_t elapsedMs = 0;
    };

    // Held by every entry point: the memo of absent needles is forgotten on the way in and
    // out, so it never speaks of a text buffer that has been freed.
    [[nodiscard]] auto absentMemoScope();

    void runAdvanced(const std::function<std::string()> &readFile);
    void scan(std::u32string_view text);
    std::u32string_view interpret(std::u32string_view text);
    std::u32string_view modifierToken(
        std::u32string_view text, std::size_t tokenLength, ModifierMode mode);
    std::u32string_view SendModifiedKey(std::u32string_view text, ModifierMode mode);
    // Position of needle counted from 1, 0 when absent.
    std::size_t find(std::u32string_view text, std::u32string_view needle);

    std::u32string_view timedWaitCommand(std::u32string_view text, WaitUnit unit);
    std::u32string_view repeatCommand(std::u32string_view text);
    std::u32string_view dateTimeCommand(std::u32string_view text, DateTimeFormat format);
    std::u32string_view inputCommand(std::u32string_view text);
    std::u32string_view writeValueCommand(std::u32string_view text);
    std::u32string_view runCommand(std::u32string_view text);
    std::u32string_view lookForCommand(std::u32string_view text);
    std::u32string_view focusCommand(std::u32string_view text);
    std::u32string_view executeCommand(std::u32string_view text);

    // Sends one keystroke string with the sender's syntax in force.
    void sendTokens(std::u32string_view s);
    // Sends one character of the text, a modifier character typed as it stands; delivered
    // with the characters around it.
    void sendLiterally(std::u32string_view s);
    void pumpAndRest();

    PlaybackServices m_services;
    MacroHost &m_host;
    TSendKey &m_sendKey;
    std::u32string m_storedValue;
    std::vector<ActiveWait> m_waits; // innermost last
    int m_runNesting = 0; // <<RUN: levels in progress
    int m_advancedRuns = 0; // advanced runs in progress, nested or re-entered
    std::vector<AbsentNeedle> m_absent;
};

} // namespace quorvel
