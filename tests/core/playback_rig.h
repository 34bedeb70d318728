#pragma once

// A macro runner over fakes and a catalogue in a fresh folder.

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeKeySink.h"
#include "fakes/FakeKeyboardState.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeTimers.h"
#include "fakes/FakeValuePrompt.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/TestSupport.h"
#include "playback/MacroRunner.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::testing {

// Every hook as a line: "run 3", "wait 5 s", "lookfor T 10 timeout", "focus T found",
// "status NoRecord".
class RecordingObserver : public PlaybackObserver
{
public:
    std::vector<std::string> log;
    void runStarted(int record) override { log.push_back("run " + std::to_string(record)); }
    void timedWait(int amount, int unit) override
    {
        log.push_back("wait " + std::to_string(amount) + (unit == 1 ? " s" : " min"));
    }
    void lookedFor(const std::string &title, std::int64_t polls, bool found) override
    {
        log.push_back(
            "lookfor " + title + " " + std::to_string(polls) + (found ? " found" : " timeout"));
    }
    void focused(const std::string &title, bool found) override
    {
        log.push_back("focus " + title + (found ? " found" : " none"));
    }
    void runStatus(const std::string &status) override { log.push_back("status " + status); }
};

struct PlaybackRig
{
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    FakeKeySink keys;
    FakeKeyboardState keyboard;
    FakeEventPump pump;
    FakeWindowSystem windows;
    FakeLauncher launcher;
    FakeJournal journal;
    FakeValuePrompt prompt;
    FakeDateTimeFormatter dateTime;
    FakeTimers timers;
    RecordingObserver observer;
    MacroRunner runner { PlaybackServices { keys, keyboard, pump, windows, launcher, journal,
        prompt, dateTime, timers, catalogue, dir.path() + "/", &observer, false } };
    int ticks = 0;

    PlaybackRig()
    {
        TSendKey::resetSharedState();
        journal.OnFinished = [this](bool) { runner.journalFinished(); };
        // The wait timer ticks once per pass while it is on; a runaway wait fails the test.
        pump.onProcess = [this] {
            if (pump.passes > 200000)
                throw std::runtime_error("the pump runs without end");
            if (timers.waitEnabled) {
                ++ticks;
                runner.tmr1Timer();
            }
        };
    }
    ~PlaybackRig() { TSendKey::resetSharedState(); }

    std::string folder() const { return dir.path() + "/"; }

    // Appends an advanced macro whose text file holds content; returns its number.
    int addAdvanced(const std::string &name, const std::string &content)
    {
        writeFile(dir.file(name + ".key"), content);
        return catalogue.append(MacroRecord { name, macrokind::Advanced, 0, name + ".key", "", 1 });
    }
    int addRecord(const std::string &name, int type, const std::string &fileName, int speed = 1)
    {
        return catalogue.append(MacroRecord { name, type, 0, fileName, "", speed });
    }
};

} // namespace quorvel::testing
