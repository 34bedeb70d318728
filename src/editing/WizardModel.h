// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/MacroList.h"
#include "editing/EditorModel.h"
#include "shell/ShortcutMaker.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class EventPump;
class HintShower;

namespace wizard {

enum class Page {
    pnlStart,
    pnlName,
    pnlHotKey,
    pnlStartApp,
    pnlKeystype,
    pnlRecordKeys,
    pnlRecordMouse,
    pnlManualKeys,
    pnlFinished
};

enum class Button {
    cmdStepBack,
    cmdNext,
    cmdFinished,
    cmdSave,
    cmdCancel,
    cmdStartKeys,
    cmdStopKeys,
    cmdPlayKeys,
    cmdRecordMouse,
    cmdStopMouse,
    cmdPlayMouse
};

enum class Focus { edtMacroName, HotKey1, cmdBrowse, mmoManKeys, mmoKeys };

// The choice on pnlStart.
enum class Choice { optRecKeys, optRecMouse, optStartApp };

// Rows of cbShortCuts, in their order.
inline constexpr std::array<std::string_view, 7> ShortcutChoices = { "No Shortcut", "On Desktop",
    "On Start Menu", "On Programs Menu", "In StartUp Folder", "In Favorites Folder",
    "In Personal Folder" };
// The folder of each row after the first.
inline constexpr std::array<ShellFolder, 7> ShortcutFolders = { ShellFolder::sfNone,
    ShellFolder::sfDesktop, ShellFolder::sfStartMenu, ShellFolder::sfPrograms,
    ShellFolder::sfStartup, ShellFolder::sfFavorites, ShellFolder::sfPersonal };

inline constexpr int MaxNameLength = 30;

inline constexpr const char *NameTaken =
    "You have selected a name of an existing macro, please select another.";
inline constexpr const char *NameMissing = "Please type a name for this macro.";
inline constexpr const char *NameUnsafe =
    "A macro name may not contain \"/\", \"\\\" or control characters, and may not be \".\" "
    "or \"..\".  Please type another name.";
inline constexpr const char *CommandLineMissing =
    "Please specify an application or document to launch.  You can search for files by "
    "selecting 'Browse'.";
inline constexpr const char *CancelQuestion =
    "The Macro Setup Wizard has not finished creating your macro.  Are you sure you want to "
    "exit the wizard?";
inline constexpr const char *KeysHint =
    "When you close this box, Quorvel will start to record all of the keys that you press.  "
    "You do not need to use the space at the bottom to record your keystrokes - it is only "
    "there if you need it.  You may open the program that you intend this macro to be run "
    "within and begin typing in it.  When you are finished, simply use your maouse to click "
    "the Stop Recording button in Quorvel.";
inline constexpr const char *MouseHint =
    "When you close this box, Quorvel will disappear and start recording all of your "
    "keyboard and mouse actions.  To end recording type Shift+Ctrl+F12.";
inline constexpr const char *HotKeyHelpText =
    "If you would like to launch this macro using a set of keys, type them directly into "
    "this area.  You may use Alt, Ctrl, and or Shift together with other keys to create a "
    "valid shortcut combination.  It is important to choose a unique set of keys that are "
    "not globally assigned or used by the program that this macro is intended for.  For "
    "more information, see ";
inline constexpr const char *SupportAddress = "https://www.ostrin.example/support/";
inline constexpr const char *TriggerHelpText =
    "To have this macro run when a particular window appears, type the entire title (not "
    "case sensitive) of the window that you would like Quorvel to look for before running "
    "this macro.  To skip this option, leave the area blank.";

} // namespace wizard

// What the user has typed and chosen; the form writes each change here.
struct WizardFields
{
    wizard::Choice choice = wizard::Choice::optRecKeys;
    bool captureKeysOnly = true; // optCapture, else optManual
    std::string name;
    unsigned hotKey = 0;
    std::string trigger;
    int shortcut = 0; // row of cbShortCuts
    std::string commandLine;
    std::string parameters;
    std::string startIn;
    std::string advancedText; // lines separated by '\n'
    bool highSpeed = false; // optHighSpeed, else optNormalSpeed
    bool operator==(const WizardFields &) const = default;
};

// The four values of the summary page.
struct WizardSummary
{
    std::string macroName;
    std::string macroType;
    std::string shortcutKeys;
    std::string windowTrigger;
    bool operator==(const WizardSummary &) const = default;
};

// The wizard window as its model drives it.
class WizardView : public virtual EditorWindowView
{
public:
    virtual void showPage(wizard::Page page) = 0;
    virtual void setButtonEnabled(wizard::Button button, bool enabled) = 0;
    virtual void setButtonVisible(wizard::Button button, bool visible) = 0;
    virtual void setFocus(wizard::Focus focus) = 0;
    // The controls take these values.
    virtual void loadFields(const WizardFields &fields) = 0;
    virtual void showSummary(const WizardSummary &summary) = 0;
    // The picture of the advanced-text edit mode.
    virtual void setEditPictureVisible(bool visible) = 0;
    // A plain message box.
    virtual void showMessage(const std::string &text) = 0;
    // A warning box with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string &text) = 0;
};

// The rest of the program as the wizard reaches it.
class WizardServices : public EditorServices
{
public:
    virtual void addListRow(const MacroListRow &row) = 0;
    // The stop key while the recording belongs to the properties dialog.
    virtual void stopPropertiesRecording() = 0;
};

// The macro wizard: pages, navigation, recording over the journal and storing a new macro.
class WizardModel : public EditorModel
{
public:
    WizardModel(EditorDeps deps, WizardServices &services, HintShower &hints, EventPump &pump,
        ShortcutMaker *shortcuts = nullptr);
    void setView(WizardView &view)
    {
        m_view = &view;
        setWindow(view);
    }

    WizardFields &fields() { return m_fields; }
    const WizardFields &fields() const { return m_fields; }
    wizard::Page page() const { return m_page; }
    bool recording() const { return m_recording; }
    // A recording of the wizard runs on the journal.
    bool capturing() const { return m_session.capturing(); }
    bool editMode() const { return m_editMode; }
    void setEditMode(bool on)
    {
        m_editMode = on;
        if (!on)
            m_editSaver = nullptr;
    }
    // Writes the edited advanced text; throws Error when it cannot.
    using EditSaver = std::function<void(const std::string &text)>;
    // The advanced page alone, with Save, holding text; edit mode on until the window closes.
    // record: the catalogue record whose text it is.
    void openForEdit(const std::string &text, EditSaver save, int record = 0);
    // The record whose text edit mode holds; 0 outside edit mode.
    int editRecord() const { return m_editMode ? m_editRecord : 0; }
    // The text to edit could not be read: back to the fresh state, edit mode off.
    void editLoadFailed();
    int kind() const;
    // The hot-key box took value.
    void setHotKey(unsigned value);
    // Who holds the box's key, for a macro stored after every existing one; empty for none.
    std::string hotKeyStatus() const;

    // Every showing of the window.
    void FormShow();
    void FormClose() override;

    void cmdNextClick();
    void cmdStepBackClick();
    void cmdCancelClick() override;
    void cmdFinishedClick();
    // Edit mode only: saves the text and closes.
    void cmdSaveClick();
    void cmdBrowseClick();
    void cmdBrowseFolderClick();
    void cmdHotKeyHelpClick();
    void cmdTriggerHelpClick();

    void cmdStartKeysClick();
    void cmdStopKeysClick();
    void cmdPlayKeysClick();
    void cmdRecordMouseClick();
    void cmdStopMouseClick();
    void cmdPlayMouseClick();
    // The journal's OnFinished.
    void RecorderFinished();
    // Ctrl+Shift+F12 from anywhere.
    void stopRecordHotKey();

    WizardSummary summary() const;
    static std::string typeText(int kind);
    // Whether the trimmed name can name a data file inside the data folder.
    static bool isUsableName(std::string_view name);
    // The text box's lines, each ended by CR LF.
    static std::string keyFileText(std::string_view text);
    // The record Finished stores.
    MacroRecord record() const;

private:
    WizardView &view();
    void show(wizard::Page page);
    // Every page but pnlStart hidden, the per-use fields emptied, the fresh button row.
    void resetToFresh();
    void leaveEditButtons();
    void goToSummary();
    bool validateName();
    void store();
    std::string dataFile() const;
    void startRecording(bool keysOnly);
    // Stops the running recording and sets the page's buttons by whether it was saved.
    void stopRecording(bool raise);
    void playRecording(wizard::Button play, bool highSpeed);

    WizardServices &m_services;
    HintShower &m_hints;
    EventPump &m_pump;
    ShortcutMaker *m_shortcuts;
    WizardView *m_view = nullptr;
    WizardFields m_fields;
    wizard::Page m_page = wizard::Page::pnlStart;
    bool m_recording = false;
    bool m_editMode = false;
    int m_editRecord = 0;
    EditSaver m_editSaver;
};

} // namespace quorvel
