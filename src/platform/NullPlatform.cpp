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

KeyScan UnavailableKeySink::keyScan(char32_t)
{
    throw Error(m_error);
}

void UnavailableKeySink::keyEvent(KeyCode, unsigned, bool, bool)
{
    throw Error(m_error);
}

void UnavailableKeySink::typeCharacter(char32_t)
{
    throw Error(m_error);
}

void UnavailableWindowSystem::enumWindows(const std::function<bool(const WindowInfo &)> &)
{
    throw Error(m_error);
}

void UnavailableWindowSystem::setForegroundWindow(WindowHandle)
{
    throw Error(m_error);
}

WindowHandle UnavailableWindowSystem::findWindow(std::string_view)
{
    throw Error(m_error);
}

} // namespace quorvel
