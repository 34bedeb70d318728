// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Error.h"
#include "platform/Journal.h"

#include <set>
#include <string>
#include <vector>

namespace quorvel::testing {

// Records recordings and replays; a replay ends when finish() is called, or at once with
// finishAtOnce.
class FakeJournal : public Journal
{
public:
    struct Replay
    {
        std::string file;
        bool hiSpeed = false;
        bool keyStrokesOnly = false;
    };
    std::vector<Replay> replays;
    std::vector<std::string> recordings; // RecordFileName at each StartRecording
    int stops = 0;
    int discards = 0;
    // Calls named here ("record", "stop", "play") throw, as a journal that cannot do them.
    std::set<std::string> failing;
    bool finishAtOnce = false;
    bool recording = false;

    void StartRecording() override
    {
        failIf("record");
        recordings.push_back(RecordFileName);
        recording = true;
    }
    void StopRecording() override
    {
        ++stops;
        recording = false;
        failIf("stop");
    }
    void discardRecording() override
    {
        if (recording)
            ++discards;
        recording = false;
    }
    void StartPlayBack() override
    {
        failIf("play");
        replays.push_back(Replay { PlayBackFileName, HiSpeedPlayBack, KeyStrokesOnly });
        if (finishAtOnce)
            finish();
    }
    void failIf(const std::string &call) const
    {
        if (failing.count(call))
            throw Error("Cannot " + call);
    }
    void finish(bool userCancel = false)
    {
        if (OnFinished)
            OnFinished(userCancel);
    }
};

} // namespace quorvel::testing
