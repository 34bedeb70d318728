#pragma once

#include "platform/Journal.h"

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
    bool finishAtOnce = false;
    bool recording = false;

    void StartRecording() override
    {
        recordings.push_back(RecordFileName);
        recording = true;
    }
    void StopRecording() override
    {
        ++stops;
        recording = false;
    }
    void StartPlayBack() override
    {
        replays.push_back(Replay { PlayBackFileName, HiSpeedPlayBack, KeyStrokesOnly });
        if (finishAtOnce)
            finish();
    }
    void finish(bool userCancel = false)
    {
        if (OnFinished)
            OnFinished(userCancel);
    }
};

} // namespace quorvel::testing
