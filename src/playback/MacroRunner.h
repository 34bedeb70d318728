// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/MacroInterpreter.h"
#include "playback/PlaybackServices.h"
#include "playback/SendKey.h"

#include <string>
#include <string_view>

namespace quorvel {

// Runs catalogue records of every kind: the dispatch by kind, the hot-key gate and the
// flags every run shares. Advanced macros go to its interpreter. One per process;
// everything happens on the caller's thread, and the pumps inside may re-enter it.
class MacroRunner final : public MacroHost
{
public:
    explicit MacroRunner(const PlaybackServices &services);
    MacroRunner(const MacroRunner &) = delete;
    MacroRunner &operator=(const MacroRunner &) = delete;

    // Runs record n by its kind. Errors of the run propagate as quorvel::Error; a data file
    // name that would leave the data folder fails with "Cannot open file".
    void ProcessHotKey(int n) override;
    // The hot-key handler for slot 0..100 (0 runs nothing). Dropped while editing or busy;
    // waits until Ctrl, Alt and Shift are up, and the hot key's own key when given: while it
    // is held the keyboard is grabbed, and what the macro types would go to the grabber.
    // The busy flag is cleared also when the run fails; the error is rethrown for the caller.
    void EPHotKey0HotKey(int slot, KeyCode hotKeyKey = 0);

    void setEditing(bool editing) { m_editing = editing; }
    bool editing() const { return m_editing; }
    bool hotKeyBusy() const { return m_hotKeyBusy; }
    bool journalIdle() const override { return m_journalIdle; }

    // The journal's OnFinished handler: sets the journal-idle flag and RecordFinished("True").
    void journalFinished();
    void RecordFinished(RunStatus status) override;
    RunStatus runStatus() const { return m_lastRunStatus; }
    // The status as the program shows and compares it: "", "NoRecord" or "True".
    std::string lastRunStatus() const { return runStatusText(m_lastRunStatus); }

    MacroInterpreter &interpreter() { return m_interpreter; }

    // The interpreter's entry points, for callers that hold only the runner.
    void tmr1Timer() { m_interpreter.tmr1Timer(); }
    void RunAdvancedMacroFile(const std::string &path) { m_interpreter.RunAdvancedMacroFile(path); }
    void SendKeys(std::string_view utf8) { m_interpreter.SendKeys(utf8); }
    void WaitForWindow(const std::string &title, bool inSeconds, int amount)
    {
        m_interpreter.WaitForWindow(title, inSeconds, amount);
    }
    TSendKey &SendKey1() { return m_sendKey; }

private:
    void resetJournalIdle() override { m_journalIdle = true; }
    void startReplay(const MacroRecord &record, bool hiSpeed);
    void playBack();

    PlaybackServices m_services;
    TSendKey m_sendKey;
    MacroInterpreter m_interpreter;
    bool m_editing = false;
    bool m_hotKeyBusy = false;
    bool m_journalIdle = true;
    RunStatus m_lastRunStatus = RunStatus::None;
};

} // namespace quorvel
