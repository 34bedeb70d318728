// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NullPlatform.h"

#include "common/Error.h"

namespace quorvel {

void NullJournal::StartRecording()
{
    if (!m_unavailable.empty())
        throw Error(m_unavailable);
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
