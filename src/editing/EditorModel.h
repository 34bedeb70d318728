// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/HotKeyValue.h"
#include "editing/EditorWindow.h"
#include "editing/RecordingSession.h"
#include "platform/SessionDoctor.h"

#include <string>

namespace quorvel {

class Catalogue;
class ErrorDisplay;
class HelpViewer;
class HotKeyRegistrar;
class Journal;

namespace editor {

inline constexpr const char *FileFilter =
    "All Files (*.*)|*.*|Executables (*.exe)|*.exe|Batch Files (*.bat)|*.bat|PIF Files "
    "(*.pif)|*.pif|Com Files (*.com)|*.com";
inline constexpr const char *FolderPrompt = "Choose a folder below:";
inline constexpr int KeyF1 = 112;

} // namespace editor

// What both editors are built over.
struct EditorDeps
{
    Catalogue &catalogue;
    Journal &journal;
    ErrorDisplay &errors;
    std::string dataFolder; // with its trailing separator
    HelpViewer *help = nullptr;
    // Asked whether another program holds a key typed into the hot-key box.
    HotKeyRegistrar *hotKeys = nullptr;
    KeyNameLookup keyName = {};
    // What the desktop cannot do; the editors say it where it matters.
    DesktopLimits limits = {};
};

// What the wizard and the properties dialog share: their recording session, the hot-key
// line, Browse and F1.
class EditorModel
{
public:
    EditorModel(const EditorModel &) = delete;
    EditorModel &operator=(const EditorModel &) = delete;
    virtual ~EditorModel() = default;

    // The window closes, by any path.
    virtual void FormClose() = 0;
    // Cancel, Esc.
    virtual void cmdCancelClick() = 0;
    // key is the released key's code.
    void FormKeyUp(int key);
    // The help page on where Quorvel works, from beside the hot-key box.
    void cmdDesktopsHelpClick();
    // Why recording is not possible on this desktop; empty where it is.
    const std::string &recordingUnavailable() const { return m_d.limits.recording; }

protected:
    EditorModel(EditorDeps deps, EditorServices &services);
    void setWindow(EditorWindowView &window);
    // Who holds key if macro self (0: one stored after every other) gets it; empty for none.
    // Where no hot key can be bound, that instead.
    std::string hotKeyHolder(unsigned key, int self) const;
    // The window says what the desktop cannot do: recording, hot keys.
    void showDesktopLimits();
    enum class Browse { File, Folder };
    // The chosen file or folder replaces field; false when the user cancelled.
    bool browse(Browse what, std::string &field);

    EditorDeps m_d;
    RecordingSession m_session;

private:
    EditorWindowView *m_window = nullptr;
};

} // namespace quorvel
