// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/RecordingSession.h"

#include "editing/EditorWindow.h"
#include "platform/Dialogs.h"
#include "platform/Journal.h"

namespace quorvel {

RecordingSession::RecordingSession(Journal &journal, ErrorDisplay &errors, EditorServices &services)
    : m_journal(journal)
    , m_errors(errors)
    , m_services(services)
{
}

bool RecordingSession::start(const std::string &file, bool keysOnly)
{
    if (m_capturing)
        return false;
    m_journal.RecordFileName = file;
    m_journal.KeyStrokesOnly = keysOnly;
    m_keysOnly = keysOnly;
    if (!keysOnly) {
        m_hidden = true;
        m_services.setMainWindowVisible(false);
        m_window->hideWindow();
    }
    m_capturing = true;
    if (runGuarded(m_errors, [this] { m_journal.StartRecording(); }))
        return true;
    m_capturing = false;
    if (m_hidden)
        comeBack();
    return false;
}

bool RecordingSession::stop(bool raise)
{
    if (!m_capturing)
        return false;
    m_capturing = false;
    // Only a recording that was saved can be replayed or stored.
    const bool saved = runGuarded(m_errors, [this] { m_journal.StopRecording(); });
    if (m_hidden || raise)
        comeBack();
    return saved;
}

void RecordingSession::discard()
{
    if (!m_capturing)
        return;
    // Left running, it would capture on with no stop key.
    m_capturing = false;
    m_hidden = false;
    runGuarded(m_errors, [this] { m_journal.discardRecording(); });
    m_services.setMainWindowVisible(true);
}

bool RecordingSession::play(const std::string &file, bool keysOnly, bool highSpeed)
{
    m_journal.PlayBackFileName = file;
    m_journal.KeyStrokesOnly = keysOnly;
    m_journal.HiSpeedPlayBack = highSpeed;
    return runGuarded(m_errors, [this] { m_journal.StartPlayBack(); });
}

void RecordingSession::finished()
{
    m_services.journalFinished();
}

void RecordingSession::comeBack()
{
    m_hidden = false;
    m_services.setMainWindowVisible(true);
    m_window->showWindow();
}

} // namespace quorvel
