// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace quorvel {

// Records and replays keyboard and mouse input into data files of its own format.
// Setting properties never fails; a replay that starts ends with exactly one OnFinished.
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
    // Ends a recording without writing anything; nothing when none runs.
    virtual void discardRecording() = 0;
    // Returns at once; the replay ends with OnFinished. Throws Error, and nothing follows,
    // when the file cannot be replayed.
    virtual void StartPlayBack() = 0;

    // Raised on the application's thread when a replay ends; never for a recording.
    std::function<void(bool userCancel)> OnFinished;
};

} // namespace quorvel
