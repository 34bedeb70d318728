#pragma once

#include <functional>
#include <string>

namespace quorvel {

// Records and replays keyboard and mouse input into data files of its own format.
// Setting properties never fails; a replay always ends with exactly one OnFinished.
class Journal
{
public:
    virtual ~Journal() = default;

    std::string RecordFileName;
    std::string PlayBackFileName;
    bool HiSpeedPlayBack = false;
    bool KeyStrokesOnly = false;

    virtual void StartRecording() = 0;
    virtual void StopRecording() = 0;
    // Returns at once; the replay ends with OnFinished.
    virtual void StartPlayBack() = 0;

    // Raised on the application's thread when a replay (or a recording) ends.
    std::function<void(bool userCancel)> OnFinished;
};

} // namespace quorvel
