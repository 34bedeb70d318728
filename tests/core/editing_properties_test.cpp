// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "common/Error.h"
#include "editing/HintShower.h"
#include "editing/PropertiesModel.h"
#include "editing/WizardModel.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeHotKeyRegistrar.h"
#include "fakes/FakeJournal.h"
#include "fakes/TestSupport.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>

using namespace quorvel;
using namespace quorvel::properties;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::catalogueIni;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeEventPump;
using quorvel::testing::FakeJournal;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

struct FakePropertiesView : PropertiesView
{
    std::string typeText;
    std::map<Control, bool> visible;
    PropertiesFields loaded;
    std::map<Button, bool> enabled;
    std::vector<Focus> focus;
    std::vector<std::string> errors;
    int practiceCleared = 0;
    bool shown = true;
    int closes = 0;
    std::string file, folder;

    void setTypeText(const std::string &t) override { typeText = t; }
    void setControlVisible(Control c, bool on) override { visible[c] = on; }
    void loadFields(const PropertiesFields &f) override { loaded = f; }
    void setButtonEnabled(Button b, bool on) override { enabled[b] = on; }
    void setFocus(Focus f) override { focus.push_back(f); }
    void clearPracticeKeys() override { ++practiceCleared; }
    void showError(const std::string &t) override { errors.push_back(t); }
    std::string chooseFile(const std::string &) override { return file; }
    std::string chooseFolder(const std::string &) override { return folder; }
    void hideWindow() override { shown = false; }
    void showWindow() override { shown = true; }
    void closeWindow() override { ++closes; }
    std::string hotKeyStatus = "<unset>";
    void showHotKeyStatus(const std::string &t) override { hotKeyStatus = t; }
    std::string recordingNote = "<unset>";
    void showRecordingNote(const std::string &t) override { recordingNote = t; }
};

// The wizard's window and services, enough to watch its edit mode.
struct WizardStub : WizardView, WizardServices, HintShower
{
    wizard::Page page = wizard::Page::pnlStart;
    std::map<wizard::Button, bool> visible;
    WizardFields loaded;
    bool editPicture = false;
    int closes = 0;
    bool editing = false;

    void showPage(wizard::Page p) override { page = p; }
    void setButtonEnabled(wizard::Button, bool) override { }
    void setButtonVisible(wizard::Button b, bool on) override { visible[b] = on; }
    void setFocus(wizard::Focus) override { }
    void loadFields(const WizardFields &f) override { loaded = f; }
    void showSummary(const WizardSummary &) override { }
    void setEditPictureVisible(bool on) override { editPicture = on; }
    void showError(const std::string &) override { }
    void showMessage(const std::string &) override { }
    bool askYesNo(const std::string &) override { return true; }
    std::string chooseFile(const std::string &) override { return {}; }
    std::string chooseFolder(const std::string &) override { return {}; }
    void hideWindow() override { }
    void showWindow() override { }
    void closeWindow() override { ++closes; }
    void setEditing(bool on) override { editing = on; }
    void setStopHotKeyEnabled(bool) override { }
    void addListRow(const MacroListRow &) override { }
    void setMainWindowVisible(bool) override { }
    void journalFinished() override { }
    void BindHotKeys() override { }
    void stopPropertiesRecording() override { }
    void ShowHint(const std::string &) override { }
};

struct FakePropertiesServices : PropertiesServices
{
    std::vector<std::string> log;
    bool editing = false, stopKey = false, mainVisible = true;
    std::function<void()> inWizard;

    void setEditing(bool on) override { editing = on; }
    void setStopHotKeyEnabled(bool on) override { stopKey = on; }
    void setMainWindowVisible(bool on) override { mainVisible = on; }
    void LoadMacroList() override { log.push_back("load"); }
    void BindHotKeys() override { log.push_back("bind"); }
    void journalFinished() override { log.push_back("finished"); }
    void showWizard() override
    {
        log.push_back("wizard");
        if (inWizard)
            inWizard();
    }
};

// Four macros, one of each kind, with their data files.
const std::string Catalogue4 = catalogueIni({
    "Name=Notes\nType=1\nHotKey=0\nFilename=/usr/bin/xterm~~-e vi~~/tmp\nTrigger=\n",
    "Name=Typing\nType=2\nHotKey=24692\nFileName=Typing.dat\nTrigger=\n",
    "Name=Replay\nType=3\nHotKey=0\nFileName=Replay.dat\nTrigger=Target\nSpeed=2\n",
    "Name=Mail\nType=4\nHotKey=49236\nFileName=Mail.key\nTrigger=\n",
});

class Properties : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override
    {
        writeFile(dir.file("macros.ini"), Catalogue4);
        writeFile(dir.file("Typing.dat"), "typing journal");
        writeFile(dir.file("Replay.dat"), "replay journal");
        writeFile(dir.file("Mail.key"), "\r\n  Dear <<ENTER>>\r\nRegards \r\n\r\n");
        model.setView(view);
        wizard.setView(wizardView);
    }

    std::string value(int n, const char *key) const
    {
        return store.readString(Catalogue::sectionName(n), key, "<none>");
    }
    // The data files in the folder.
    std::set<std::string> files() const
    {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
            const auto name = entry.path().filename().string();
            if (name.ends_with(".dat") || name.ends_with(".key"))
                names.insert(name);
        }
        return names;
    }
    void recordInto(const std::string &content)
    {
        model.cmdRecordClick();
        model.cmdStopClick();
        writeFile(dir.file(TempFile), content);
    }

    FakeJournal journal;
    FakeEventPump pump;
    FakeErrorDisplay errors;
    WizardStub wizardView;
    EditorDeps deps { catalogue, journal, errors, dir.path() + "/" };
    WizardModel wizard { deps, wizardView, wizardView, pump };
    FakePropertiesServices services;
    FakePropertiesView view;
    PropertiesModel model { deps, services, wizard };
};

TEST_F(Properties, VisibilityAndTypeTextPerKind)
{
    struct Case
    {
        int kind;
        const char *text;
        std::set<Control> shown;
    };
    const std::vector<Case> cases = {
        { 1, "Start an Application or Launch a Document",
            { Control::imgStart, Control::edtFileName, Control::cmdBrowse, Control::edtParameters,
                Control::edtStartIn, Control::cmdBrowseFolder } },
        { 2, "Playback Keystrokes",
            { Control::imgKeys, Control::RecordPanel, Control::lblTriggers } },
        { 3, "Playback Mouse and Keyboard",
            { Control::imgRecorder, Control::RecordPanel, Control::SpeedChoice,
                Control::lblTriggers } },
        { 4, "Playback Manually Created Keystrokes",
            { Control::imgAdvanced, Control::cmdEditManKeys, Control::lblTriggers } },
        { 0, "", {} },
        { 5, "", {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kind);
        store.writeInteger("Macro1", "Type", c.kind);
        view.visible.clear();
        model.open(1);
        EXPECT_EQ(model.kind(), c.kind);
        EXPECT_EQ(view.typeText, c.text);
        ASSERT_EQ(view.visible.size(), ControlCount);
        for (const auto &[control, on] : view.visible)
            EXPECT_EQ(on, c.shown.contains(control)) << int(control);
        model.cmdCancelClick();
    }
}

TEST_F(Properties, OpeningReadsTheRecordByKind)
{
    struct Case
    {
        int n;
        const char *fileName; // written over the record's, unless null
        const char *speed; // written, "-" removes it, null keeps it
        PropertiesFields expected;
    };
    const std::vector<Case> cases = {
        { 1, nullptr, nullptr, { "Notes", "/usr/bin/xterm", "-e vi", "/tmp", 0, "", false } },
        { 1, "notepad~~~~", nullptr, { "Notes", "notepad", "", "", 0, "", false } },
        { 1, "notepad", nullptr, { "Notes", "notepad", "", "", 0, "", false } },
        { 1, "a~~b~~c~~d", nullptr, { "Notes", "a", "b", "c~~d", 0, "", false } },
        { 2, nullptr, nullptr, { "Typing", "", "", "", 24692, "", false } },
        { 3, nullptr, nullptr, { "Replay", "", "", "", 0, "Target", true } },
        { 3, nullptr, "1", { "Replay", "", "", "", 0, "Target", false } },
        { 3, nullptr, "-", { "Replay", "", "", "", 0, "Target", false } },
        { 4, nullptr, nullptr, { "Mail", "", "", "", 49236, "", false } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " " + (c.fileName ? c.fileName : ""));
        std::string ini = Catalogue4;
        if (c.speed && std::string(c.speed) == "-")
            ini.erase(ini.find("Speed=2\n"), 8);
        writeFile(dir.file("macros.ini"), ini);
        if (c.fileName)
            store.writeString(Catalogue::sectionName(c.n), "FileName", c.fileName);
        if (c.speed && std::string(c.speed) != "-")
            store.writeString("Macro3", "Speed", c.speed);
        view.focus.clear();
        model.open(c.n);
        EXPECT_EQ(model.fields(), c.expected);
        EXPECT_EQ(view.loaded, c.expected);
        EXPECT_EQ(view.focus, std::vector<Focus> { Focus::edtMacroName });
        EXPECT_TRUE(services.editing && services.stopKey);
        EXPECT_FALSE(view.enabled[Button::cmdStop]);
        model.cmdCancelClick();
        EXPECT_FALSE(services.editing || services.stopKey);
    }
    EXPECT_EQ(view.practiceCleared, int(cases.size()));
}

TEST_F(Properties, OpeningARecordingSetsTheJournalForPlayback)
{
    model.open(2);
    EXPECT_EQ(journal.RecordFileName, dir.file(TempFile));
    EXPECT_TRUE(journal.HiSpeedPlayBack && journal.KeyStrokesOnly);
    model.cmdCancelClick();
    model.open(3);
    EXPECT_FALSE(journal.HiSpeedPlayBack || journal.KeyStrokesOnly);
    model.cmdPlayClick();
    ASSERT_EQ(journal.replays.size(), 1U);
    EXPECT_EQ(journal.replays[0].file, dir.file("Replay.dat"));
    EXPECT_TRUE(journal.replays[0].hiSpeed) << "Speed=2";
    EXPECT_EQ(view.focus.back(), Focus::mmoKeys);
}

TEST_F(Properties, OkWritesEachKindsKeys)
{
    struct Case
    {
        const char *label;
        int n;
        std::string name;
        std::map<std::string, std::string> keys; // expected afterwards
        std::set<std::string> files;
    };
    const std::set<std::string> unchanged = { "Typing.dat", "Replay.dat", "Mail.key" };
    const std::vector<Case> cases = {
        { "launch as it was", 1, "Notes",
            { { "Name", "Notes" }, { "FileName", "/usr/bin/xterm~~-e vi~~/tmp" } }, unchanged },
        { "launch renamed", 1, "Editor  ", { { "Name", "Editor" } }, unchanged },
        { "keys as they were", 2, "Typing",
            { { "Name", "Typing" }, { "FileName", "Typing.dat" }, { "HotKey", "24692" } },
            unchanged },
        { "keys renamed", 2, "\t Typed \t", { { "Name", "Typed" }, { "FileName", "Typed.dat" } },
            { "Typed.dat", "Replay.dat", "Mail.key" } },
        { "keys, case only", 2, "TYPING", { { "Name", "TYPING" }, { "FileName", "TYPING.dat" } },
            { "TYPING.dat", "Replay.dat", "Mail.key" } },
        { "mouse as it was", 3, "Replay",
            { { "Name", "Replay" }, { "FileName", "Replay.dat" }, { "Speed", "2" },
                { "Trigger", "Target" } },
            unchanged },
        { "mouse renamed", 3, "Again", { { "FileName", "Again.dat" }, { "Speed", "2" } },
            { "Typing.dat", "Again.dat", "Mail.key" } },
        { "advanced as it was", 4, "Mail",
            { { "Name", "Mail" }, { "FileName", "Mail.key" }, { "HotKey", "49236" } }, unchanged },
        { "advanced renamed", 4, "Post ", { { "Name", "Post" }, { "FileName", "Post.key" } },
            { "Typing.dat", "Replay.dat", "Post.key" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        services.log.clear();
        const auto before = readFile(dir.file(c.n == 4 ? "Mail.key" : "Typing.dat"));
        model.open(c.n);
        model.fields().name = c.name;
        model.cmdOKClick();
        EXPECT_TRUE(view.errors.empty() && errors.shown.empty());
        for (const auto &[key, expected] : c.keys)
            EXPECT_EQ(value(c.n, key.c_str()), expected) << key;
        EXPECT_EQ(files(), c.files);
        if (c.n == 2 || c.n == 4) {
            const auto now = value(c.n, "FileName");
            EXPECT_EQ(readFile(dir.file(now)), before) << "the data moved with the name";
        }
        EXPECT_EQ(services.log, (std::vector<std::string> { "load", "bind" }));
        EXPECT_EQ(view.closes, 1);
        EXPECT_FALSE(services.editing || services.stopKey || model.isOpen());
        view.closes = 0;
        for (const char *f : { "Typed.dat", "TYPING.dat", "Again.dat", "Post.key" })
            std::filesystem::remove(dir.file(f));
    }
}

TEST_F(Properties, OkWritesTheChangedFields)
{
    model.open(3);
    model.fields().hotKey = 0xC041;
    model.fields().trigger = "Other Window";
    model.fields().highSpeed = false;
    model.cmdOKClick();
    EXPECT_EQ(value(3, "HotKey"), "49217");
    EXPECT_EQ(value(3, "Trigger"), "Other Window");
    EXPECT_EQ(value(3, "Speed"), "1");

    model.open(1);
    model.fields().fileName = "/bin/true \t";
    model.fields().parameters = " -x ";
    model.fields().startIn = "";
    model.cmdOKClick();
    EXPECT_EQ(value(1, "FileName"), "/bin/true~~ -x ~~");
}

TEST_F(Properties, ValidationStopsBeforeAnythingIsWritten)
{
    struct Case
    {
        const char *label;
        int n;
        std::string name;
        std::string fileName; // kind 1 only
        std::string error;
        Focus focus;
    };
    writeFile(dir.file("Stray.dat"), "someone else's");
    const std::vector<Case> cases = {
        { "empty name", 2, "", "", NameMissing, Focus::edtMacroName },
        { "slash", 2, "a/b", "", wizard::NameUnsafe, Focus::edtMacroName },
        { "backslash", 4, "a\\b", "", wizard::NameUnsafe, Focus::edtMacroName },
        { "dot dot", 3, "..", "", wizard::NameUnsafe, Focus::edtMacroName },
        { "blanks only", 2, "   ", "", wizard::NameUnsafe, Focus::edtMacroName },
        { "another macro's file", 3, "Typing", "", formatMessage(NameTakesFile, "Typing.dat"),
            Focus::edtMacroName },
        { "a file of the folder", 2, "Stray", "", formatMessage(NameTakesFile, "Stray.dat"),
            Focus::edtMacroName },
        { "a record's missing file", 3, "Gone", "", formatMessage(NameTakesFile, "Gone.dat"),
            Focus::edtMacroName },
        { "the scratch recording", 2, "~temp", "", formatMessage(NameTakesFile, "~temp.dat"),
            Focus::edtMacroName },
    };
    // Named by a record whose file is gone: taking it would make two macros share a file.
    store.writeString("Macro1", "Type", "2");
    store.writeString("Macro1", "FileName", "Gone.dat");
    const auto ini = readFile(dir.file("macros.ini"));
    const auto before = files();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        view.errors.clear();
        model.open(c.n);
        model.fields().name = c.name;
        model.fields().fileName = c.fileName;
        model.fields().hotKey = 0x4041;
        view.focus.clear();
        model.cmdOKClick();
        EXPECT_EQ(view.errors, std::vector<std::string> { c.error });
        EXPECT_EQ(view.focus, std::vector<Focus> { c.focus });
        EXPECT_EQ(readFile(dir.file("macros.ini")), ini);
        EXPECT_EQ(files(), before);
        EXPECT_TRUE(model.isOpen());
        EXPECT_EQ(view.closes, 0);
        model.cmdCancelClick();
        view.closes = 0;
    }
}

TEST_F(Properties, ALaunchNeedsItsProgram)
{
    const auto ini = readFile(dir.file("macros.ini"));
    model.open(1);
    model.fields().fileName = "";
    model.fields().name = "a/b";
    model.cmdOKClick();
    EXPECT_EQ(view.errors, std::vector<std::string> { CommandLineMissing });
    EXPECT_EQ(view.focus.back(), Focus::cmdBrowse);
    EXPECT_EQ(readFile(dir.file("macros.ini")), ini);
    model.fields().fileName = "true";
    model.cmdOKClick();
    EXPECT_EQ(value(1, "Name"), "a/b") << "a launch's name names no file";
}

TEST_F(Properties, ReRecordingReplacesTheDataFileOnlyOnOk)
{
    for (const std::string name : { "Typing", "Typed" }) {
        SCOPED_TRACE(name);
        SetUp();
        model.open(2);
        model.cmdRecordClick();
        EXPECT_TRUE(model.reRecorded());
        EXPECT_EQ(journal.recordings.back(), dir.file(TempFile));
        EXPECT_TRUE(journal.KeyStrokesOnly);
        EXPECT_FALSE(view.enabled[Button::cmdOK] || view.enabled[Button::cmdCancel]);
        EXPECT_TRUE(view.shown && services.mainVisible) << "keystrokes are recorded in sight";
        model.cmdOKClick();
        EXPECT_TRUE(model.isOpen()) << "OK does not close while recording";
        model.cmdStopClick();
        writeFile(dir.file(TempFile), "new journal");
        model.cmdPlayClick();
        EXPECT_EQ(journal.replays.back().file, dir.file(TempFile));
        model.fields().name = name;
        model.cmdOKClick();
        EXPECT_EQ(value(2, "FileName"), name + ".dat");
        EXPECT_EQ(files(), (std::set<std::string> { name + ".dat", "Replay.dat", "Mail.key" }));
        EXPECT_EQ(readFile(dir.file(name + ".dat")), "new journal");
        std::filesystem::remove(dir.file("Typed.dat"));
    }
}

TEST_F(Properties, ReRecordingThenCancelKeepsEverything)
{
    const auto ini = readFile(dir.file("macros.ini"));
    model.open(2);
    model.fields().name = "Typed";
    recordInto("new journal");
    model.cmdCancelClick();
    EXPECT_EQ(readFile(dir.file("macros.ini")), ini);
    EXPECT_EQ(readFile(dir.file("Typing.dat")), "typing journal");
    EXPECT_EQ(readFile(dir.file(TempFile)), "new journal");
    EXPECT_FALSE(model.reRecorded());
}

TEST_F(Properties, ARecordingThatLeftNoFileKeepsTheOldOne)
{
    model.open(2);
    model.cmdRecordClick();
    model.cmdStopClick();
    model.fields().name = "Typed";
    model.cmdOKClick();
    EXPECT_EQ(value(2, "FileName"), "Typed.dat");
    EXPECT_EQ(readFile(dir.file("Typed.dat")), "typing journal");
}

TEST_F(Properties, MouseRecordingHidesBothWindowsUntilTheStopKey)
{
    model.open(3);
    model.fields().highSpeed = false;
    model.cmdRecordClick();
    EXPECT_FALSE(view.shown || services.mainVisible);
    EXPECT_FALSE(journal.KeyStrokesOnly);
    model.FormHide();
    EXPECT_TRUE(services.stopKey) << "hidden for the recording, the key stays";
    model.stopRecordHotKey();
    EXPECT_TRUE(view.shown && services.mainVisible);
    EXPECT_TRUE(view.enabled[Button::cmdOK] && view.enabled[Button::cmdCancel]);
    EXPECT_TRUE(view.enabled[Button::cmdRecord]);
    EXPECT_FALSE(view.enabled[Button::cmdStop]);

    view.shown = false;
    model.stopRecordHotKey();
    EXPECT_FALSE(view.shown) << "no recording: the key brings nothing back";

    model.cmdPlayClick();
    EXPECT_EQ(journal.replays.back().file, dir.file(TempFile));
    EXPECT_FALSE(journal.replays.back().hiSpeed);
    model.FormHide();
    EXPECT_FALSE(services.stopKey);
}

TEST_F(Properties, CancelAndCloseDiscardARunningRecording)
{
    for (const bool byCancel : { true, false }) {
        model.open(byCancel ? 2 : 3);
        model.cmdRecordClick();
        byCancel ? model.cmdCancelClick() : model.FormClose();
        EXPECT_FALSE(journal.recording);
        EXPECT_FALSE(services.stopKey || services.editing || model.isOpen());
        EXPECT_TRUE(services.mainVisible);
    }
    EXPECT_EQ(journal.discards, 2);
    EXPECT_EQ(journal.stops, 0);
}

TEST_F(Properties, AFailureInTheEditingWizardLeavesTheDialogUsable)
{
    model.open(4);
    services.inWizard = [] { throw Error("Unable to write to macros.ini"); };
    model.cmdEditManKeysClick();
    EXPECT_EQ(errors.shown, std::vector<std::string> { "Unable to write to macros.ini" });
    EXPECT_FALSE(wizard.editMode());
    EXPECT_TRUE(model.isOpen());
}

TEST_F(Properties, EditMacroLoadsTheTextIntoTheWizardsEditMode)
{
    model.open(4);
    services.inWizard = [this] {
        EXPECT_TRUE(wizard.editMode());
        EXPECT_EQ(wizard.editRecord(), 4) << "the checker reads the text as record 4's";
        EXPECT_EQ(wizardView.page, wizard::Page::pnlManualKeys);
        EXPECT_TRUE(wizardView.editPicture);
        EXPECT_TRUE(wizardView.visible[wizard::Button::cmdSave]);
        EXPECT_FALSE(wizardView.visible[wizard::Button::cmdNext]
            || wizardView.visible[wizard::Button::cmdStepBack]
            || wizardView.visible[wizard::Button::cmdFinished]);
        EXPECT_EQ(wizardView.loaded.advancedText, "Dear <<ENTER>>\nRegards");
        wizard.fields().advancedText = "Hello\nWorld";
        wizard.cmdSaveClick();
    };
    wizardView.editing = true;
    model.cmdEditManKeysClick();
    EXPECT_FALSE(wizard.editMode());
    EXPECT_EQ(wizardView.closes, 1);
    EXPECT_TRUE(wizardView.editing) << "closing the wizard leaves hot keys inert";
    EXPECT_EQ(readFile(dir.file("Mail.key")), "Hello\r\nWorld\r\n");
    EXPECT_TRUE(services.editing && services.stopKey) << "the dialog is still open";
}

TEST_F(Properties, HotKeyLineSaysWhoHoldsTheKey)
{
    quorvel::testing::FakeHotKeyRegistrar registrar;
    registrar.othersHold = { { hotkeymod::Control | hotkeymod::Alt, 0x4F } };
    auto withKeys = deps;
    withKeys.hotKeys = &registrar;
    PropertiesModel dialog { withKeys, services, wizard };
    dialog.setView(view);
    dialog.open(4);
    EXPECT_EQ(view.hotKeyStatus, "Ctrl+Alt+T is free.") << "its own key, shown at opening";
    const std::pair<unsigned, const char *> cases[] = {
        { 24692, "Shift+Ctrl+F5 is the hot key of Typing (macro 2); the lower number keeps it." },
        { 0xC04F, "Another program holds Ctrl+Alt+O; Quorvel cannot use it." },
        { hotkey::StopRecord,
            "Shift+Ctrl+F12 stops a recording; given to a macro, it starts the macro instead and "
            "stops no recording." },
        { 0, "" },
    };
    for (const auto &[value, text] : cases) {
        dialog.setHotKey(value);
        EXPECT_EQ(dialog.fields().hotKey, value);
        EXPECT_EQ(view.hotKeyStatus, text);
    }
    dialog.cmdCancelClick();

    dialog.open(1);
    EXPECT_EQ(view.hotKeyStatus, "");
    dialog.setHotKey(24692);
    EXPECT_EQ(view.hotKeyStatus,
        "Shift+Ctrl+F5 is also the hot key of Typing (macro 2); this macro has the lower number "
        "and keeps it.");
    dialog.cmdCancelClick();
}

TEST_F(Properties, WhereRecordingIsNotPossibleRecordIsOffAndPlaybackStays)
{
    const std::string why = "Recording is not possible: this X server has no RECORD extension";
    for (const std::string &note : { std::string(), why }) {
        auto limited = deps;
        limited.limits.recording = note;
        PropertiesModel dialog { limited, services, wizard };
        dialog.setView(view);
        dialog.open(2);
        EXPECT_EQ(view.recordingNote, note);
        EXPECT_EQ(view.enabled[Button::cmdRecord], note.empty()) << note;
        EXPECT_TRUE(view.enabled[Button::cmdPlay]) << note;
        journal.recordings.clear();
        dialog.cmdRecordClick();
        EXPECT_EQ(journal.recordings.size(), note.empty() ? 1U : 0U) << note;
        dialog.cmdStopClick();
        EXPECT_EQ(view.enabled[Button::cmdRecord], note.empty()) << "after Stop: " << note;
        dialog.cmdCancelClick();
    }
}

TEST_F(Properties, AdvancedTextSavedThenRenamedOrCancelled)
{
    struct Case
    {
        const char *label;
        bool renameFirst;
        bool ok;
        std::string fileName;
        std::set<std::string> files;
    };
    const std::vector<Case> cases = {
        { "rename, save, OK", true, true, "Post.key", { "Post.key" } },
        { "save, rename, OK", false, true, "Post.key", { "Post.key" } },
        { "rename, save, Cancel", true, false, "Mail.key", { "Mail.key" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        std::filesystem::remove(dir.file("Post.key"));
        std::filesystem::remove(dir.file("Typing.dat"));
        std::filesystem::remove(dir.file("Replay.dat"));
        model.open(4);
        if (c.renameFirst)
            model.fields().name = "Post";
        services.inWizard = [this] {
            wizard.fields().advancedText = "Edited";
            wizard.cmdSaveClick();
        };
        model.cmdEditManKeysClick();
        model.fields().name = "Post";
        c.ok ? model.cmdOKClick() : model.cmdCancelClick();
        EXPECT_EQ(value(4, "FileName"), c.fileName);
        EXPECT_EQ(files(), c.files);
        EXPECT_EQ(readFile(dir.file(c.fileName)), "Edited\r\n");
    }
}

TEST_F(Properties, EditMacroWithoutItsFileResetsTheWizard)
{
    wizard.fields().name = "Left over";
    std::filesystem::remove(dir.file("Mail.key"));
    model.open(4);
    model.cmdEditManKeysClick();
    EXPECT_EQ(view.errors, std::vector<std::string> { LoadFailed });
    EXPECT_TRUE(services.log.empty()) << "the wizard is not shown";
    EXPECT_FALSE(wizard.editMode());
    EXPECT_EQ(wizardView.page, wizard::Page::pnlStart);
    EXPECT_EQ(wizardView.loaded.name, "");
    EXPECT_FALSE(wizardView.editPicture || wizardView.visible[wizard::Button::cmdSave]);
}

TEST_F(Properties, AFailedCatalogueWriteLeavesTheDataFileWhereTheEntryPoints)
{
    model.open(2);
    model.fields().name = "Typed";
    ::chmod(dir.file("macros.ini").c_str(), 0444);
    model.cmdOKClick();
    ::chmod(dir.file("macros.ini").c_str(), 0644);
    ASSERT_EQ(errors.shown.size(), 1U);
    EXPECT_EQ(value(2, "FileName"), "Typing.dat");
    EXPECT_EQ(readFile(dir.file("Typing.dat")), "typing journal");
    EXPECT_TRUE(model.isOpen());
}

// Another copy or an editor changed the record after the dialog read it.
TEST_F(Properties, OkOnARecordChangedMeanwhileWritesNothingAndReloads)
{
    const struct
    {
        const char *label;
        const char *from;
        const char *to;
    } cases[] = {
        { "renamed", "Name=Typing", "Name=Typist" },
        { "other kind", "Type=2", "Type=3" },
        { "other file", "FileName=Typing.dat", "FileName=Replay.dat" },
        { "removed", "Entries=4", "Entries=1" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        services.log.clear();
        view.errors.clear();
        view.closes = 0;
        model.open(2);
        std::string changed = Catalogue4;
        changed.replace(changed.find(c.from), std::strlen(c.from), c.to);
        writeFile(dir.file("macros.ini"), changed);
        model.fields().name = "Typed";
        model.fields().hotKey = 0;
        model.cmdOKClick();
        EXPECT_EQ(readFile(dir.file("macros.ini")), changed);
        EXPECT_EQ(files(), (std::set<std::string> { "Typing.dat", "Replay.dat", "Mail.key" }));
        EXPECT_EQ(view.errors, std::vector<std::string> { RecordChangedMessage });
        EXPECT_EQ(services.log, std::vector<std::string> { "load" });
        EXPECT_EQ(view.closes, 1);
        EXPECT_FALSE(model.isOpen());
    }
}

TEST(RenameWithoutReplacing, NeverOverwrites)
{
    TempDir dir;
    writeFile(dir.file("a"), "A");
    writeFile(dir.file("b"), "B");
    EXPECT_FALSE(renameWithoutReplacing(dir.file("a"), dir.file("b")));
    EXPECT_FALSE(renameWithoutReplacing(dir.file("missing"), dir.file("c")));
    EXPECT_EQ(readFile(dir.file("a")), "A");
    EXPECT_EQ(readFile(dir.file("b")), "B");
    EXPECT_TRUE(renameWithoutReplacing(dir.file("a"), dir.file("c")));
    EXPECT_EQ(readFile(dir.file("c")), "A");
}

} // namespace
