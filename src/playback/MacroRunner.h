#pragma once

#include "catalogue/Catalogue.h"
#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/Journal.h"
#include "platform/KeySink.h"
#include "platform/Launcher.h"
#include "platform/Timers.h"
#include "platform/WindowSystem.h"
#include "playback/SendKey.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Hooks for a tracer; every default does nothing.
class PlaybackObserver
{
public:
    virtual ~PlaybackObserver() = default;
    // ProcessHotKey was given this record.
    virtual void runStarted(int /*record*/) { }
    // A timed wait; unit 1 seconds, 2 minutes.
    virtual void timedWait(int /*amount*/, int /*unit*/) { }
    // A window wait ended; polls is its limit (0 when the amount allows none).
    virtual void lookedFor(const std::string & /*title*/, std::int64_t /*polls*/, bool /*found*/) {
    }
    virtual void focused(const std::string & /*title*/, bool /*found*/) { }
    // RecordFinished was called.
    virtual void runStatus(const std::string & /*status*/) { }
};

// What a runner works with. The references must outlive the runner.
struct PlaybackServices
{
    KeySink &keys;
    KeyboardState &keyboard;
    EventPump &pump;
    WindowSystem &windows;
    Launcher &launcher;
    Journal &journal;
    ValuePrompt &prompt;
    DateTimeFormatter &dateTime;
    Timers &timers;
    Catalogue &catalogue;
    std::string programFolder; // with its trailing separator; data file = folder + FileName
    PlaybackObserver *observer = nullptr;
    // No real time passes: a timed wait pumps once, a window wait looks once (nothing can
    // change without time).
    bool simulatedTime = false;
};

// Runs catalogue records of every kind and the advanced macro language. One per process;
// everything happens on the caller's thread, and the pumps inside may re-enter it.
class MacroRunner
{
public:
    static constexpr int MaxRunNesting = 16;
    static constexpr std::size_t ModifiedKeyCut = 10000;

    explicit MacroRunner(const PlaybackServices &services);
    MacroRunner(const MacroRunner &) = delete;
    MacroRunner &operator=(const MacroRunner &) = delete;

    // Runs record n by its kind. Errors of the run propagate as quorvel::Error.
    void ProcessHotKey(int n);
    // The hot-key handler for slot 0..100 (0 runs nothing). Dropped while editing or busy;
    // waits until Ctrl, Alt and Shift are up, and the hot key's own key when given: while it
    // is held the keyboard is grabbed, and what the macro types would go to the grabber.
    // The busy flag is cleared also when the run fails; the error is rethrown for the caller.
    void EPHotKey0HotKey(int slot, KeyCode hotKeyKey = 0);

    void setEditing(bool editing) { m_editing = editing; }
    bool editing() const { return m_editing; }
    bool hotKeyBusy() const { return m_hotKeyBusy; }
    bool journalIdle() const { return m_journalIdle; }

    // The journal's OnFinished handler: sets the journal-idle flag and RecordFinished("True").
    void journalFinished();
    void RecordFinished(const std::string &status);
    const std::string &lastRunStatus() const { return m_lastRunStatus; }

    // A tick of the wait timer (tmr1).
    void tmr1Timer();

    TSendKey &SendKey1() { return m_sendKey; }

    // The advanced macro language. Text is UTF-8 at the edges and code points inside.
    void RunAdvancedMacroFile(const std::string &path);
    void SendKeys(std::string_view utf8);
    void SendKeys(std::u32string_view text);
    // Performs the token at the front of text (which starts with "<<"); returns the rest.
    std::u32string_view InterpretToken(std::u32string_view text);
    std::u32string_view SendModifiedKey(std::u32string_view text, int mode);
    void RepMac(int count, std::u32string_view body);
    void WaitForWindow(const std::string &title, bool inSeconds, int amount);
    // unit 1 seconds, 2 minutes; any other unit returns at once.
    void TimedWait(int amount, int unit);

    const std::u32string &storedValue() const { return m_storedValue; }

private:
    // A range of a live text known not to hold needle; lets repeated searches for a missing
    // terminator stay linear. Cleared whenever a text buffer may have gone away.
    struct AbsentNeedle
    {
        std::u32string needle;
        const char32_t *from = nullptr;
        const char32_t *end = nullptr;
    };
    class SearchScope;

    struct ActiveWait
    {
        int intervalMs;
        std::int64_t neededMs;
        std::int64_t elapsedMs = 0;
    };

    void scan(std::u32string_view text);
    std::u32string_view interpret(std::u32string_view text);
    std::u32string_view modifiedKey(std::u32string_view text, int mode);
    void repeat(int count, std::u32string_view body);
    // Position of needle counted from 1, 0 when absent.
    std::size_t find(std::u32string_view text, std::u32string_view needle);

    std::u32string_view timedWaitCommand(std::u32string_view text, int unit);
    std::u32string_view repeatCommand(std::u32string_view text);
    std::u32string_view dateTimeCommand(
        std::u32string_view text, std::size_t tokenLength, DateTimeFormat format);
    std::u32string_view inputCommand(std::u32string_view text);
    std::u32string_view writeValueCommand(std::u32string_view text);
    std::u32string_view runCommand(std::u32string_view text);
    std::u32string_view lookForCommand(std::u32string_view text);
    std::u32string_view focusCommand(std::u32string_view text);
    std::u32string_view executeCommand(std::u32string_view text);
    std::u32string_view modifierToken(std::u32string_view text, std::size_t tokenLength, int mode);

    // Sends one keystroke string with the sender's syntax in force.
    void sendTokens(std::u32string_view s);
    void pumpAndRest();

    PlaybackServices m_services;
    TSendKey m_sendKey;
    bool m_editing = false;
    bool m_hotKeyBusy = false;
    bool m_journalIdle = true;
    std::string m_lastRunStatus;
    std::u32string m_storedValue;
    std::vector<ActiveWait> m_waits; // innermost last
    int m_runNesting = 0; // <<RUN: levels in progress
    int m_advancedRuns = 0; // advanced runs in progress, nested or re-entered
    std::vector<AbsentNeedle> m_absent;
};

} // namespace quorvel
