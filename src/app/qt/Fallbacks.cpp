#include "qt/Fallbacks.h"

#include <QTimer>

namespace quorvel {

void NullJournal::StopRecording()
{
    QTimer::singleShot(0, [this] {
        if (OnFinished)
            OnFinished(false);
    });
}

void NullJournal::StartPlayBack()
{
    // Raised from the event loop, as a real replay's end would be.
    QTimer::singleShot(0, [this] {
        if (OnFinished)
            OnFinished(false);
    });
}

} // namespace quorvel
