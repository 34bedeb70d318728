// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/Catalogue.h"
#include "editing/EditorModel.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class WizardModel;

namespace properties {

// The controls whose visibility follows the macro's kind; a label beside a control goes with it.
enum class Control {
    imgStart,
    imgKeys,
    imgRecorder,
    imgAdvanced,
    edtFileName,
    cmdBrowse,
    SpeedChoice,
    cmdEditManKeys,
    edtParameters,
    edtStartIn,
    cmdBrowseFolder,
    lblTriggers,
    RecordPanel
};
inline constexpr std::size_t ControlCount = 13;

enum class Button { cmdRecord, cmdStop, cmdPlay, cmdOK, cmdCancel };

enum class Focus { edtMacroName, cmdBrowse, mmoKeys };

// What the dialog shows for one kind.
struct KindLayout
{
    std::string_view typeText;
    std::array<bool, ControlCount> shown {};
    bool isShown(Control c) const { return shown[std::size_t(c)]; }
};

// By the catalogue's Type; anything but 1 to 4 shows none of the kind's controls.
KindLayout kindLayout(int kind);

inline constexpr int MaxNameLength = 50;
inline constexpr const char *TempFile = "~temp.dat";

inline constexpr const char *NameMissing = "Please enter a name for this macro.";
inline constexpr const char *CommandLineMissing =
    "Please specify an application or document to launch.  You can search for files by "
    "selecting 'Browse'.";
inline constexpr const char *LoadFailed =
    "Error: Quorvel could not load the macro file for this macro";
inline constexpr const char *NameTakesFile =
    "The data file \"%s\" already belongs to another macro or file.  Please type another name "
    "for this macro.";

} // namespace properties

// What the user has typed and chosen; the form writes each change here.
struct PropertiesFields
{
    std::string name;
    std::string fileName; // kind 1: the program or document
    std::string parameters;
    std::string startIn;
    unsigned hotKey = 0;
    std::string trigger;
    bool highSpeed = false; // optHighSpeed, else optNormalSpeed
    bool operator==(const PropertiesFields &) const = default;
};

// "Macro Properties" as its model drives it.
class PropertiesView : public virtual EditorWindowView
{
public:
    virtual void setTypeText(const std::string &text) = 0;
    virtual void setControlVisible(properties::Control control, bool visible) = 0;
    virtual void loadFields(const PropertiesFields &fields) = 0;
    virtual void setButtonEnabled(properties::Button button, bool enabled) = 0;
    virtual void setFocus(properties::Focus focus) = 0;
    virtual void clearPracticeKeys() = 0;
};

// The rest of the program as the dialog reaches it.
class PropertiesServices : public EditorServices
{
public:
    virtual void LoadMacroList() = 0;
    // The wizard, already in its edit mode, shown modally; returns when it closes.
    virtual void showWizard() = 0;
};

// The macro properties dialog: edits one existing macro, re-records it into "~temp.dat" and
// edits its advanced text through the wizard.
class PropertiesModel : public EditorModel
{
public:
    PropertiesModel(EditorDeps deps, PropertiesServices &services, WizardModel &wizard);
    void setView(PropertiesView &view)
    {
        m_view = &view;
        setWindow(view);
    }

    PropertiesFields &fields() { return m_fields; }
    const PropertiesFields &fields() const { return m_fields; }
    int kind() const { return m_kind; }
    int number() const { return m_number; }
    bool isOpen() const { return m_open; }
    bool reRecorded() const { return m_reRecorded; }
    // A recording of this dialog is running.
    bool recording() const { return m_session.capturing(); }

    // The hot-key box took value.
    void setHotKey(unsigned value);
    // Who holds the box's key if this macro gets it; empty for none.
    std::string hotKeyStatus() const;

    // Opening for record n, before the window is shown.
    void open(int n);
    // The window is hidden, by closing or for a recording.
    void FormHide();
    void FormClose() override;

    void cmdRecordClick();
    void cmdStopClick();
    void cmdPlayClick();
    void cmdEditManKeysClick();
    void cmdBrowseClick();
    void cmdBrowseFolderClick();
    void cmdOKClick();
    void cmdCancelClick() override;
    // Ctrl+Shift+F12 while no recording of the wizard runs.
    void stopRecordHotKey();
    // The journal's OnFinished while this dialog is open.
    void RecorderFinished();

private:
    PropertiesView &view();
    void setRecordingButtons(bool recording);
    void startRecording();
    void confirm();
    // Whether record m_number is still the macro this dialog opened: name, kind and data file.
    bool stillHolds(const IniDocument &doc) const;
    // Says so, shows the list as it is now and closes without writing.
    void recordChanged();
    bool dataFileTaken(const std::string &file) const;
    std::optional<std::string> storedDataPath() const;
    std::string tempPath() const;
    void setJournalForKind();

    PropertiesServices &m_services;
    WizardModel &m_wizard;
    PropertiesView *m_view = nullptr;
    PropertiesFields m_fields;
    int m_number = 0;
    int m_kind = 0;
    std::string m_storedName;
    std::string m_storedFileName;
    bool m_open = false;
    bool m_reRecorded = false;
};

// Renames a file without ever replacing another one; false, with both names as they were,
// when from is missing or to names another existing file.
bool renameWithoutReplacing(const std::string &from, const std::string &to);

} // namespace quorvel
