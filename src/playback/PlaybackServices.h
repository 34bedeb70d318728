// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <cstdint>
#include <string>

namespace quorvel {

// The last run status; its texts are what the program shows and compares.
enum class RunStatus {
    None, // ""
    NoRecord, // "NoRecord": a launch or an advanced macro ended
    True, // "True": the journal finished a replay
};
const char *runStatusText(RunStatus status);

enum class WaitUnit {
    Seconds = 1,
    Minutes = 2,
};

// Hooks for a tracer; every default does nothing.
class PlaybackObserver
{
public:
    virtual ~PlaybackObserver() = default;
    // A token is about to be performed.
    virtual void tokenStarted() { }
    // ProcessHotKey was given this record.
    virtual void runStarted(int /*record*/) { }
    virtual void timedWait(int /*amount*/, WaitUnit /*unit*/) { }
    // A window wait ended; polls is its limit (0 when the amount allows none).
    virtual void lookedFor(const std::string & /*title*/, std::int64_t /*polls*/, bool /*found*/) {
    }
    virtual void focused(const std::string & /*title*/, bool /*found*/) { }
    // "<<WRITEVALUE>>" is about to type the stored value.
    virtual void valueWritten(const std::string & /*value*/) { }
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
    std::string dataFolder; // with its trailing separator; data file = folder + FileName
    PlaybackObserver *observer = nullptr;
    // No real time passes: a timed wait pumps once, a window wait looks once (nothing can
    // change without time).
    bool simulatedTime = false;
};

} // namespace quorvel
