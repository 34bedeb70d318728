// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

// What the wizard and the properties dialog ask of their windows alike.
class EditorWindowView
{
public:
    virtual ~EditorWindowView() = default;
    // An error box with one OK button.
    virtual void showError(const std::string &text) = 0;
    // Empty when the user cancels.
    virtual std::string chooseFile(const std::string &filter) = 0;
    virtual std::string chooseFolder(const std::string &prompt) = 0;
    virtual void hideWindow() = 0;
    // Shown again and raised to the top.
    virtual void showWindow() = 0;
    // Ends the modal showing; the model has run the closing steps.
    virtual void closeWindow() = 0;
    // The line under the hot-key box: who holds the key it shows.
    virtual void showHotKeyStatus(const std::string &text) { (void)text; }
    // Beside the recording controls: why recording is not possible here; empty where it is.
    virtual void showRecordingNote(const std::string &text) { (void)text; }
    // Beside the hot-key box: the way to the help page on where Quorvel works.
    virtual void setDesktopsHelpVisible(bool visible) { (void)visible; }
};

// What both reach of the rest of the program.
class EditorServices
{
public:
    virtual ~EditorServices() = default;
    // The main window's editing flag: hot keys are inert while set.
    virtual void setEditing(bool editing) = 0;
    virtual void setStopHotKeyEnabled(bool enabled) = 0;
    virtual void setMainWindowVisible(bool visible) = 0;
    // The runner's part of a replay's or recording's end: the last run status "True"
    // (RecordFinished) and the journal-idle flag.
    virtual void journalFinished() = 0;
    virtual void BindHotKeys() = 0;
};

} // namespace quorvel
