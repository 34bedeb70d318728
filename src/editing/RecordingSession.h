// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

class EditorServices;
class EditorWindowView;
class ErrorDisplay;
class Journal;

// A recording into the journal and its replay, as both editors run them. A recording of mouse
// actions hides the editor and the main window until it stops, so they are not recorded; a
// failure is shown once and leaves the windows as they were before.
class RecordingSession
{
public:
    RecordingSession(Journal &journal, ErrorDisplay &errors, EditorServices &services);
    void setWindow(EditorWindowView &window) { m_window = &window; }

    bool capturing() const { return m_capturing; }
    bool keysOnly() const { return m_keysOnly; }
    // The windows stand aside for a mouse recording.
    bool hidden() const { return m_hidden; }

    // Records into file; false when the journal could not start.
    bool start(const std::string &file, bool keysOnly);
    // Stops the running recording; true when it was saved. The windows come back if they
    // stood aside, and are raised anyway with raise.
    bool stop(bool raise);
    // Ends a running recording without keeping it (Cancel, the close box).
    void discard();
    // Replays file; false when the journal could not start.
    bool play(const std::string &file, bool keysOnly, bool highSpeed);
    // The journal's OnFinished: the replay has ended.
    void finished();

private:
    void comeBack();

    Journal &m_journal;
    ErrorDisplay &m_errors;
    EditorServices &m_services;
    EditorWindowView *m_window = nullptr;
    bool m_capturing = false;
    bool m_keysOnly = true;
    bool m_hidden = false;
};

} // namespace quorvel
