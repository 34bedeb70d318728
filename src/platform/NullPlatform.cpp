#include "platform/NullPlatform.h"

namespace quorvel {

void NullJournal::StopRecording()
{
    finish();
}

void NullJournal::StartPlayBack()
{
    finish();
}

void NullJournal::finish()
{
    const auto raise = [this] {
        if (OnFinished)
            OnFinished(false);
    };
    if (m_post)
        m_post(raise);
    else
        raise();
}

} // namespace quorvel
