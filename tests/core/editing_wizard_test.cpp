// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "common/Error.h"
#include "editing/HintShower.h"
#include "editing/WizardModel.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeHotKeyRegistrar.h"
#include "fakes/FakeJournal.h"
#include "fakes/TestSupport.h"
#include "platform/NullPlatform.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace quorvel;
using namespace quorvel::wizard;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeEventPump;
using quorvel::testing::FakeJournal;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

struct FakeWizardView : WizardView
{
    Page page = Page::pnlStart;
    std::map<Button, bool> enabled, visible;
    std::vector<Focus> focus;
    WizardFields loaded;
    WizardSummary summary;
    std::vector<std::string> errors, messages, questions;
    bool answer = true;
    std::string file, folder;
    bool shown = true;
    int closes = 0;

    void showPage(Page p) override { page = p; }
    void setButtonEnabled(Button b, bool on) override { enabled[b] = on; }
    void setButtonVisible(Button b, bool on) override { visible[b] = on; }
    void setFocus(Focus f) override { focus.push_back(f); }
    void loadFields(const WizardFields &f) override { loaded = f; }
    void showSummary(const WizardSummary &s) override { summary = s; }
    void setEditPictureVisible(bool on) override { editPicture = on; }
    bool editPicture = false;
    void showError(const std::string &t) override { errors.push_back(t); }
    void showMessage(const std::string &t) override { messages.push_back(t); }
    bool askYesNo(const std::string &t) override
    {
        questions.push_back(t);
        return answer;
    }
    std::string chooseFile(const std::string &) override { return file; }
    std::string chooseFolder(const std::string &) override { return folder; }
    void hideWindow() override { shown = false; }
    void showWindow() override { shown = true; }
    void closeWindow() override { ++closes; }
    std::string hotKeyStatus = "<unset>";
    void showHotKeyStatus(const std::string &t) override { hotKeyStatus = t; }
    std::string recordingNote = "<unset>";
    void showRecordingNote(const std::string &t) override { recordingNote = t; }
    bool desktopsHelp = false;
    void setDesktopsHelpVisible(bool on) override { desktopsHelp = on; }
};

struct FakeWizardServices : WizardServices, HintShower, ShortcutMaker
{
    bool editing = false, stopKey = false, mainVisible = true;
    std::vector<MacroListRow> added;
    std::vector<std::string> log; // hints, binds, shortcuts and finishes in order
    std::vector<std::pair<ShellFolder, int>> shortcuts;

    void setEditing(bool on) override { editing = on; }
    void setStopHotKeyEnabled(bool on) override { stopKey = on; }
    void addListRow(const MacroListRow &row) override { added.push_back(row); }
    void setMainWindowVisible(bool on) override { mainVisible = on; }
    void journalFinished() override { log.push_back("finished"); }
    void BindHotKeys() override { log.push_back("bind"); }
    void stopPropertiesRecording() override { log.push_back("properties"); }
    bool hintFails = false; // the hint switch cannot be written
    void ShowHint(const std::string &text) override
    {
        log.push_back("hint:" + text);
        if (hintFails)
            throw Error("Unable to write to macros.ini");
    }
    void Shortcut_Create(ShellFolder folder, int n) override
    {
        shortcuts.emplace_back(folder, n);
        log.push_back("shortcut");
    }
};

class Wizard : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override
    {
        model.setView(view);
        pump.onProcess = [this] { services.log.push_back("pump"); };
    }

    // Opens fresh and walks from the start to the last page before the summary.
    void walkToKindPage(Choice choice, bool keysOnly = true, const std::string &name = "Mail")
    {
        model.FormShow();
        model.fields().choice = choice;
        model.fields().captureKeysOnly = keysOnly;
        model.cmdNextClick();
        model.fields().name = name;
        model.cmdNextClick();
        model.cmdNextClick();
        if (choice == Choice::optStartApp)
            model.fields().commandLine = "/usr/bin/xterm";
        if (choice == Choice::optRecMouse)
            model.cmdNextClick();
    }
    // Recording pages are left without a recording, as a disabled Next would not allow.
    void walkToSummary(Choice choice, bool keysOnly = true, const std::string &name = "Mail")
    {
        walkToKindPage(choice, keysOnly, name);
        model.cmdNextClick();
    }

    std::string ini() const { return readFile(dir.file("macros.ini")); }

    FakeJournal journal;
    FakeEventPump pump;
    FakeErrorDisplay errors;
    FakeWizardServices services;
    FakeWizardView view;
    EditorDeps deps { catalogue, journal, errors, dir.path() + "/" };
    WizardModel model { deps, services, services, pump, &services };
};

struct SequenceCase
{
    const char *label;
    Choice choice;
    bool keysOnly;
    std::vector<Page> pages;
};

TEST_F(Wizard, NextAndBackWalkEachKindsPages)
{
    const std::vector<SequenceCase> cases = {
        { "launch", Choice::optStartApp, true,
            { Page::pnlStart, Page::pnlName, Page::pnlHotKey, Page::pnlStartApp,
                Page::pnlFinished } },
        { "keystrokes", Choice::optRecMouse, true,
            { Page::pnlStart, Page::pnlName, Page::pnlHotKey, Page::pnlKeystype,
                Page::pnlRecordKeys, Page::pnlFinished } },
        { "mouse", Choice::optRecMouse, false,
            { Page::pnlStart, Page::pnlName, Page::pnlHotKey, Page::pnlKeystype,
                Page::pnlRecordMouse, Page::pnlFinished } },
        { "advanced", Choice::optRecKeys, true,
            { Page::pnlStart, Page::pnlName, Page::pnlHotKey, Page::pnlManualKeys,
                Page::pnlFinished } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        model.FormShow();
        model.fields().choice = c.choice;
        model.fields().captureKeysOnly = c.keysOnly;
        model.fields().name = "Mail";
        model.fields().commandLine = "xterm";
        std::vector<Page> forward { view.page };
        while (view.page != Page::pnlFinished && forward.size() < 10) {
            model.cmdNextClick();
            forward.push_back(view.page);
        }
        EXPECT_EQ(forward, c.pages);
        EXPECT_FALSE(view.visible[Button::cmdNext]);
        EXPECT_TRUE(view.visible[Button::cmdFinished]);

        std::vector<Page> back { view.page };
        while (view.page != Page::pnlStart && back.size() < 10) {
            model.cmdStepBackClick();
            back.push_back(view.page);
        }
        EXPECT_EQ(back, std::vector<Page>(c.pages.rbegin(), c.pages.rend()));
        EXPECT_FALSE(view.enabled[Button::cmdStepBack]);
        EXPECT_TRUE(view.visible[Button::cmdNext]);
        model.cmdStepBackClick();
        EXPECT_EQ(view.page, Page::pnlStart);
    }
}

TEST_F(Wizard, ChangedFirstChoiceAfterBackLeadsToTheNewPage)
{
    walkToSummary(Choice::optStartApp);
    model.cmdStepBackClick();
    model.cmdStepBackClick();
    ASSERT_EQ(view.page, Page::pnlHotKey);
    model.fields().choice = Choice::optRecKeys;
    model.cmdNextClick();
    EXPECT_EQ(view.page, Page::pnlManualKeys);
    EXPECT_EQ(view.focus.back(), Focus::mmoManKeys);
}

struct NameCase
{
    const char *label;
    std::vector<std::string> stored; // the catalogue's names
    std::string name;
    const char *error; // nullptr: accepted
};

TEST_F(Wizard, NamePageValidation)
{
    const std::vector<NameCase> cases = {
        { "empty list takes any name", {}, "Mail", nullptr },
        { "case-only difference is refused", { "Other", "MAIL" }, "mail", NameTaken },
        { "trailing blanks read back alike", { "Mail" }, "Mail \t", NameTaken },
        { "leading blanks read back alike", { "Mail" }, "  Mail", NameTaken },
        { "letters beyond ASCII are not folded", { "\xC3\xA9t\xC3\xA9" }, "\xC3\x89T\xC3\x89",
            nullptr },
        { "empty name", { "Mail" }, "", NameMissing },
        { "an existing empty name is found first", { "" }, "", NameTaken },
        { "blanks only", {}, "   ", NameUnsafe },
        { "slash", {}, "a/b", NameUnsafe },
        { "backslash", {}, "a\\b", NameUnsafe },
        { "dot", {}, ".", NameUnsafe },
        { "dot dot with trailing blank", {}, ".. ", NameUnsafe },
        { "control character", {}, "a\tb", NameUnsafe },
        { "dots inside are fine", {}, "v1.2..3", nullptr },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        store.edit([&c](IniDocument &doc) {
            doc.setValue("Main", "Entries", std::to_string(c.stored.size()));
            for (std::size_t i = 0; i < c.stored.size(); ++i)
                doc.setValue(Catalogue::sectionName(int(i) + 1), "Name", c.stored[i]);
        });
        const std::string before = ini();
        view.errors.clear();
        model.FormShow();
        model.cmdNextClick();
        model.fields().name = c.name;
        model.fields().shortcut = 3;
        model.cmdNextClick();
        EXPECT_EQ(model.fields().shortcut, 0) << "the shortcut choice is reset on leaving";
        EXPECT_EQ(view.loaded.shortcut, 0);
        if (c.error) {
            EXPECT_EQ(view.errors, std::vector<std::string> { c.error });
            EXPECT_EQ(view.page, Page::pnlName);
            EXPECT_EQ(view.focus.back(), Focus::edtMacroName);
        } else {
            EXPECT_TRUE(view.errors.empty());
            EXPECT_EQ(view.page, Page::pnlHotKey);
        }
        EXPECT_EQ(ini(), before) << "validation writes nothing";
    }
}

TEST_F(Wizard, LaunchNeedsACommandLine)
{
    walkToSummary(Choice::optStartApp);
    model.cmdStepBackClick();
    model.fields().commandLine.clear();
    model.cmdNextClick();
    EXPECT_EQ(view.page, Page::pnlStartApp);
    EXPECT_EQ(view.errors, std::vector<std::string> { CommandLineMissing });
    EXPECT_EQ(view.focus.back(), Focus::cmdBrowse);
}

TEST_F(Wizard, NextStaysDisabledOnARecordingPageUntilStopped)
{
    for (const bool keysOnly : { true, false }) {
        SCOPED_TRACE(keysOnly);
        walkToKindPage(Choice::optRecMouse, keysOnly);
        ASSERT_EQ(view.page, keysOnly ? Page::pnlRecordKeys : Page::pnlRecordMouse);
        EXPECT_FALSE(view.enabled[Button::cmdNext]);
        model.cmdStepBackClick(); // Back enables Next on pnlKeystype...
        EXPECT_TRUE(view.enabled[Button::cmdNext]);
        model.cmdNextClick(); // ...and passing it disables it again
        EXPECT_FALSE(view.enabled[Button::cmdNext]);
        if (keysOnly) {
            model.cmdStartKeysClick();
            model.cmdStopKeysClick();
        } else {
            model.cmdRecordMouseClick();
            model.cmdStopMouseClick();
        }
        EXPECT_TRUE(view.enabled[Button::cmdNext]);
        model.cmdNextClick();
        model.cmdStepBackClick(); // back from the summary keeps the recording
        EXPECT_TRUE(view.enabled[Button::cmdNext]);
        model.FormClose();
    }
}

TEST_F(Wizard, SummaryTexts)
{
    struct Case
    {
        Choice choice;
        bool keysOnly;
        unsigned hotKey;
        std::string trigger;
        WizardSummary expected;
    };
    const std::vector<Case> cases = {
        { Choice::optStartApp, true, 0, "", { "Mail ", "Start an Application", "None", "None" } },
        { Choice::optRecMouse, true, 49217, "xterm",
            { "Mail ", "Playback keyboard", "Ctrl+Alt+A", "xterm" } },
        { Choice::optRecMouse, false, hotkey::StopRecord, "",
            { "Mail ", "Playback mouse and keyboard", "Shift+Ctrl+F12", "None" } },
        { Choice::optRecKeys, true, 0x8000 | 0x70, " ",
            { "Mail ", "Playback advanced macro", "Alt+F1", " " } },
    };
    for (const auto &c : cases) {
        walkToSummary(c.choice, c.keysOnly, "Mail ");
        model.fields().hotKey = c.hotKey;
        model.fields().trigger = c.trigger;
        model.cmdStepBackClick();
        if (c.choice == Choice::optRecMouse)
            model.cmdStopKeysClick(); // lets Next through without a recording
        model.cmdNextClick();
        EXPECT_EQ(view.page, Page::pnlFinished);
        EXPECT_EQ(view.summary, c.expected);
    }
}

TEST_F(Wizard, OpeningEmptiesSomeFieldsAndKeepsTheRest)
{
    model.FormShow();
    auto &f = model.fields();
    f = WizardFields { Choice::optStartApp, false, "Mail", 49217, "xterm", 2, "/bin/true", "-x",
        "/tmp", "abc", true };
    model.cmdCancelClick();
    model.FormShow();
    const WizardFields expected { Choice::optStartApp, false, "", 0, "", 2, "", "-x", "/tmp", "",
        true };
    EXPECT_EQ(model.fields(), expected);
    EXPECT_EQ(view.loaded, expected);
    EXPECT_EQ(view.page, Page::pnlStart);
    EXPECT_FALSE(view.enabled[Button::cmdPlayKeys]);
    EXPECT_FALSE(view.enabled[Button::cmdPlayMouse]);
    EXPECT_FALSE(view.visible[Button::cmdFinished]);
    EXPECT_TRUE(services.editing);
    EXPECT_TRUE(services.stopKey);
}

TEST_F(Wizard, CancelAsksAndClosingClearsTheFlags)
{
    walkToSummary(Choice::optRecKeys);
    view.answer = false;
    model.cmdCancelClick();
    EXPECT_EQ(view.closes, 0);
    EXPECT_EQ(view.page, Page::pnlFinished);
    EXPECT_TRUE(services.editing);

    view.answer = true;
    model.cmdCancelClick();
    EXPECT_EQ(view.questions, std::vector<std::string>(2, CancelQuestion));
    EXPECT_EQ(view.closes, 1);
    EXPECT_FALSE(services.editing);
    EXPECT_FALSE(services.stopKey);

    model.setEditMode(true);
    model.FormShow();
    model.cmdCancelClick();
    EXPECT_EQ(view.questions.size(), 2U) << "edit mode closes without a question";
    EXPECT_EQ(view.closes, 2);
}

TEST_F(Wizard, KeystrokeRecording)
{
    walkToKindPage(Choice::optRecMouse, true, "Keys  ");
    model.cmdStartKeysClick();
    EXPECT_EQ(services.log, std::vector<std::string> { std::string("hint:") + KeysHint });
    EXPECT_TRUE(model.recording());
    EXPECT_EQ(journal.recordings, std::vector<std::string> { dir.path() + "/Keys.dat" });
    EXPECT_TRUE(journal.KeyStrokesOnly);
    EXPECT_TRUE(view.shown && services.mainVisible);
    EXPECT_FALSE(view.enabled[Button::cmdStartKeys]);
    EXPECT_TRUE(view.enabled[Button::cmdStopKeys]);

    model.cmdStopKeysClick();
    EXPECT_EQ(journal.stops, 1);
    EXPECT_TRUE(view.enabled[Button::cmdPlayKeys]);
    model.cmdPlayKeysClick();
    EXPECT_EQ(view.focus.back(), Focus::mmoKeys);
    EXPECT_FALSE(view.enabled[Button::cmdPlayKeys]);
    ASSERT_EQ(journal.replays.size(), 1U);
    EXPECT_EQ(journal.replays[0].file, dir.path() + "/Keys.dat");
    EXPECT_TRUE(journal.replays[0].hiSpeed);
    model.RecorderFinished();
    EXPECT_TRUE(view.enabled[Button::cmdPlayKeys]);
    EXPECT_EQ(services.log.back(), "finished");
}

TEST_F(Wizard, MouseRecordingHidesBothWindowsUntilStopped)
{
    for (const bool byHotKey : { false, true }) {
        SCOPED_TRACE(byHotKey);
        walkToKindPage(Choice::optRecMouse, false, "Mouse");
        model.cmdRecordMouseClick();
        EXPECT_FALSE(view.shown);
        EXPECT_FALSE(services.mainVisible);
        EXPECT_FALSE(journal.KeyStrokesOnly);
        EXPECT_EQ(journal.recordings.back(), dir.path() + "/Mouse.dat");
        // Shown again while recording: page and contents stay.
        model.FormShow();
        EXPECT_EQ(view.page, Page::pnlRecordMouse);
        EXPECT_EQ(model.fields().name, "Mouse");
        if (byHotKey)
            model.stopRecordHotKey();
        else
            model.cmdStopMouseClick();
        EXPECT_TRUE(view.shown);
        EXPECT_TRUE(services.mainVisible);
        EXPECT_TRUE(view.enabled[Button::cmdNext]);
        EXPECT_TRUE(view.enabled[Button::cmdPlayMouse]);
        EXPECT_FALSE(view.enabled[Button::cmdStopMouse]);
        EXPECT_EQ(model.recording(), byHotKey);
        model.fields().highSpeed = byHotKey;
        model.cmdPlayMouseClick();
        EXPECT_EQ(journal.replays.back().hiSpeed, byHotKey);
        model.FormClose();
    }
    EXPECT_TRUE(
        std::find(services.log.begin(), services.log.end(), "properties") == services.log.end());
    model.stopRecordHotKey();
    EXPECT_EQ(services.log.back(), "properties") << "without the wizard's recording";
}

TEST_F(Wizard, TheStopKeyCountsOnlyForARunningRecording)
{
    for (const bool keysOnly : { true, false }) {
        SCOPED_TRACE(keysOnly);
        walkToKindPage(Choice::optRecMouse, keysOnly);
        services.log.clear();
        model.stopRecordHotKey();
        EXPECT_FALSE(view.enabled[Button::cmdNext]);
        EXPECT_FALSE(view.enabled[Button::cmdPlayKeys] || view.enabled[Button::cmdPlayMouse]);
        EXPECT_EQ(journal.stops, 0);
        EXPECT_EQ(services.log, std::vector<std::string> { "properties" });
        model.FormClose();
    }
}

TEST_F(Wizard, CancelAndCloseDiscardARunningRecording)
{
    struct Case
    {
        const char *label;
        bool keysOnly, byCancel;
    };
    for (const Case c : { Case { "keys, Cancel", true, true }, Case { "keys, close", true, false },
             Case { "mouse, close", false, false } }) {
        SCOPED_TRACE(c.label);
        walkToKindPage(Choice::optRecMouse, c.keysOnly, "Gone");
        c.keysOnly ? model.cmdStartKeysClick() : model.cmdRecordMouseClick();
        c.byCancel ? model.cmdCancelClick() : model.FormClose();
        EXPECT_FALSE(journal.recording);
        EXPECT_EQ(journal.stops, 0) << "nothing is saved under the cancelled name";
        EXPECT_FALSE(services.stopKey || services.editing);
        EXPECT_TRUE(services.mainVisible);
    }
    EXPECT_EQ(journal.discards, 3);
}

struct FailureCase
{
    const char *label;
    bool keysOnly;
    std::string failing; // the journal's call that throws, or "hint"
    std::vector<void (WizardModel::*)()> clicks;
    std::map<Button, bool> enabled;
    bool capturing;
};

TEST_F(Wizard, FailuresShowTheErrorAndLeaveTheWindowUsable)
{
    using W = WizardModel;
    const std::vector<FailureCase> cases = {
        { "start keys", true, "record", { &W::cmdStartKeysClick },
            { { Button::cmdStartKeys, true }, { Button::cmdStopKeys, false } }, false },
        { "start mouse", false, "record", { &W::cmdRecordMouseClick },
            { { Button::cmdRecordMouse, true }, { Button::cmdStopMouse, false } }, false },
        { "stop keys", true, "stop", { &W::cmdStartKeysClick, &W::cmdStopKeysClick },
            { { Button::cmdNext, false }, { Button::cmdPlayKeys, false },
                { Button::cmdStartKeys, true }, { Button::cmdStopKeys, false } },
            false },
        { "stop key", false, "stop", { &W::cmdRecordMouseClick, &W::stopRecordHotKey },
            { { Button::cmdNext, false }, { Button::cmdPlayMouse, false },
                { Button::cmdRecordMouse, true } },
            false },
        { "playback", true, "play",
            { &W::cmdStartKeysClick, &W::cmdStopKeysClick, &W::cmdPlayKeysClick },
            { { Button::cmdPlayKeys, true } }, false },
        { "hint switch", true, "hint", { &W::cmdStartKeysClick },
            { { Button::cmdStartKeys, false }, { Button::cmdStopKeys, true } }, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        walkToKindPage(Choice::optRecMouse, c.keysOnly);
        journal.failing = { c.failing };
        services.hintFails = c.failing == "hint";
        errors.shown.clear();
        for (const auto click : c.clicks)
            (model.*click)();
        EXPECT_EQ(errors.shown.size(), 1U);
        for (const auto &[button, on] : c.enabled)
            EXPECT_EQ(view.enabled[button], on) << int(button);
        EXPECT_EQ(model.capturing(), c.capturing);
        EXPECT_TRUE(view.shown && services.mainVisible);
        EXPECT_EQ(view.closes, 0);
        journal.failing.clear();
        services.hintFails = false;
        model.FormClose();
    }
}

TEST(NullJournal, SaysWhyItCannotRecordAndFinishesOnlyReplays)
{
    NullJournal journal;
    int finished = 0;
    journal.OnFinished = [&finished](bool) { ++finished; };
    journal.StartRecording();
    journal.StopRecording();
    EXPECT_EQ(finished, 0);
    journal.StartPlayBack();
    EXPECT_EQ(finished, 1);
    journal.setUnavailable("Recording is not possible: this X server has no RECORD extension");
    try {
        journal.StartRecording();
        ADD_FAILURE() << "recorded nothing without a word";
    } catch (const Error &e) {
        EXPECT_STREQ(e.what(), "Recording is not possible: this X server has no RECORD extension");
    }
}

struct StoreCase
{
    const char *label;
    Choice choice;
    bool keysOnly;
    bool highSpeed;
    std::string expected;
};

TEST_F(Wizard, FinishedStoresTheRecordByKind)
{
    const std::vector<StoreCase> cases = {
        { "launch", Choice::optStartApp, true, false,
            "Name=Mail\nType=1\nHotKey=49217\nFileName=/usr/bin/xterm~~~~\nTrigger=\n" },
        { "keystrokes", Choice::optRecMouse, true, true,
            "Name=Mail\nType=2\nHotKey=49217\nFileName=Mail.dat\nTrigger=\n" },
        { "mouse high", Choice::optRecMouse, false, true,
            "Name=Mail\nType=3\nHotKey=49217\nFileName=Mail.dat\nTrigger=\nSpeed=2\n" },
        { "mouse normal", Choice::optRecMouse, false, false,
            "Name=Mail\nType=3\nHotKey=49217\nFileName=Mail.dat\nTrigger=\nSpeed=1\n" },
        { "advanced", Choice::optRecKeys, true, false,
            "Name=Mail\nType=4\nHotKey=49217\nFileName=Mail.key\nTrigger=\n" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        writeFile(dir.file("macros.ini"), "");
        walkToSummary(c.choice, c.keysOnly, " Mail  ");
        model.fields().hotKey = 49217;
        model.fields().highSpeed = c.highSpeed;
        model.cmdFinishedClick();
        EXPECT_EQ(ini(), "[Main]\nEntries=1\n[Macro1]\n" + c.expected);
        EXPECT_EQ(services.added.back().caption, " Mail  ");
        EXPECT_EQ(services.added.back().hotKeyText, "Ctrl+Alt+A");
        EXPECT_EQ(view.closes, &c - &cases[0] + 1);
        EXPECT_FALSE(services.editing);
    }
}

TEST_F(Wizard, FinishedWritesTheTextFileAndThenShortcutPumpAndBind)
{
    writeFile(dir.file("macros.ini"), "[Main]\nEntries=2\n");
    walkToSummary(Choice::optRecKeys, true, " Mail ");
    model.fields().advancedText = "Hello<<ENTER>>\nsecond\r\n\nlast";
    model.fields().shortcut = 1;
    services.log.clear();
    model.cmdFinishedClick();
    EXPECT_EQ(readFile(dir.file("Mail.key")), "Hello<<ENTER>>\r\nsecond\r\n\r\nlast\r\n");
    EXPECT_EQ(services.shortcuts,
        (std::vector<std::pair<ShellFolder, int>> { { ShellFolder::sfDesktop, 3 } }));
    EXPECT_EQ(services.log, (std::vector<std::string> { "shortcut", "pump", "bind" }));
    EXPECT_EQ(services.added.back().imageIndex, 1);
}

TEST(WizardKeyFile, LinesEndInCrLf)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "", "" },
        { "a", "a\r\n" },
        { "a\n", "a\r\n" },
        { "a\n\n", "a\r\n\r\n" },
        { "\n", "\r\n" },
        { "a\r\nb", "a\r\nb\r\n" },
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(WizardModel::keyFileText(in), out) << in;
}

TEST_F(Wizard, UnwritableTextFileLeavesTheCatalogueAsItWas)
{
    const std::string before = "[Main]\nEntries=1\n[Macro1]\nName=Old\nType=4\n";
    writeFile(dir.file("macros.ini"), before);
    ASSERT_EQ(::mkdir(dir.file("Mail.key").c_str(), 0700), 0); // the rename cannot replace it
    walkToSummary(Choice::optRecKeys);
    model.fields().advancedText = "x";
    services.log.clear();
    model.cmdFinishedClick();
    EXPECT_EQ(
        errors.shown, std::vector<std::string> { "Unable to write to " + dir.file("Mail.key") });
    EXPECT_EQ(ini(), before);
    EXPECT_TRUE(services.added.empty());
    EXPECT_TRUE(services.log.empty());
    EXPECT_EQ(view.closes, 0) << "the wizard stays open to try again";
    EXPECT_EQ(view.page, Page::pnlFinished);
}

// A fresh install: the folder is made when the first macro needs it, for the user alone.
TEST_F(Wizard, FinishedMakesTheMissingDataFolder)
{
    std::filesystem::remove_all(dir.path());
    walkToSummary(Choice::optRecKeys);
    model.fields().advancedText = "x";
    model.cmdFinishedClick();
    EXPECT_EQ(errors.shown, std::vector<std::string> {});
    EXPECT_EQ(readFile(dir.file("Mail.key")), "x\r\n");
    EXPECT_NE(ini().find("FileName=Mail.key"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(dir.path()).permissions(), std::filesystem::perms::owner_all);
}

TEST_F(Wizard, FailingShortcutStillStoresButSkipsTheRebind)
{
    struct Failing : ShortcutMaker
    {
        void Shortcut_Create(ShellFolder, int) override { throw Error("no desktop"); }
    } failing;
    WizardModel other { deps, services, services, pump, &failing };
    other.setView(view);
    other.FormShow();
    other.fields().choice = Choice::optStartApp;
    other.cmdNextClick();
    other.fields().name = "Go";
    other.cmdNextClick();
    other.cmdNextClick();
    other.fields().commandLine = "xterm";
    other.cmdNextClick();
    other.fields().shortcut = 6;
    services.log.clear();
    other.cmdFinishedClick();
    EXPECT_EQ(errors.shown, std::vector<std::string> { "no desktop" });
    EXPECT_NE(ini().find("Name=Go"), std::string::npos);
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(services.log.empty());
}

TEST_F(Wizard, HotKeyLineFollowsTheBox)
{
    writeFile(dir.file("macros.ini"), "[Main]\nEntries=1\n[Macro1]\nName=Mail\nHotKey=49229\n");
    quorvel::testing::FakeHotKeyRegistrar registrar;
    registrar.othersHold = { { hotkeymod::Control | hotkeymod::Alt, 0x4F } };
    auto keysDeps = deps;
    keysDeps.hotKeys = &registrar;
    WizardModel withKeys { keysDeps, services, services, pump, &services };
    withKeys.setView(view);
    withKeys.FormShow();
    EXPECT_EQ(view.hotKeyStatus, "");
    const std::pair<unsigned, const char *> cases[] = {
        { 0xC04D, "Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps it." },
        { 0xC04F, "Another program holds Ctrl+Alt+O; Quorvel cannot use it." },
        { 0xC050, "Ctrl+Alt+P is free." },
        { 0, "" },
    };
    for (const auto &[value, text] : cases) {
        withKeys.setHotKey(value);
        EXPECT_EQ(withKeys.fields().hotKey, value);
        EXPECT_EQ(view.hotKeyStatus, text);
    }
    withKeys.setHotKey(0xC050);
    withKeys.cmdCancelClick();
    withKeys.FormClose();
    withKeys.FormShow();
    EXPECT_EQ(view.hotKeyStatus, "") << "a fresh wizard has no key and no line";
}

TEST_F(Wizard, SaysWhatTheDesktopCannotDoAndStartsNoRecordingThere)
{
    const auto limitsOf = [](SessionKind kind, bool record, const char *reason) {
        SessionOffer offer;
        offer.kind = kind;
        offer.reachable = true;
        offer.xtest = true;
        offer.record = record;
        DesktopLimits limits = desktopLimits(offer);
        limits.recording = reason;
        return limits;
    };
    const char *noRecord = "Recording is not possible: this X server has no RECORD extension";
    const char *wayland = "Recording is not possible: this is a Wayland session; recording needs "
                          "an X11 session";
    const struct
    {
        const char *desktop;
        DesktopLimits limits;
        std::string note; // the recording pages' line; empty: Record works
        std::string hotKeyLine; // with the button to the help page when not empty
    } cases[] = {
        { "a full X11 desktop", limitsOf(SessionKind::X11, true, ""), "", "" },
        { "X11 without RECORD", limitsOf(SessionKind::X11, false, noRecord), noRecord, "" },
        { "a Wayland compositor without sway", limitsOf(SessionKind::Wayland, false, wayland),
            wayland,
            "Hot keys cannot be bound on this desktop: global hot keys need sway; bind a "
            "desktop shortcut to quorvel '/Open:\"Name\"' /Close instead." },
    };
    for (const auto &c : cases) {
        auto limited = deps;
        limited.limits = c.limits;
        WizardModel wizard { limited, services, services, pump, &services };
        FakeWizardView v;
        wizard.setView(v);
        wizard.FormShow();
        EXPECT_EQ(v.recordingNote, c.note) << c.desktop;
        EXPECT_EQ(v.enabled[Button::cmdStartKeys], c.note.empty()) << c.desktop;
        EXPECT_EQ(v.enabled[Button::cmdRecordMouse], c.note.empty()) << c.desktop;
        EXPECT_EQ(v.hotKeyStatus, c.hotKeyLine) << c.desktop;
        EXPECT_EQ(v.desktopsHelp, !c.hotKeyLine.empty()) << c.desktop;
        wizard.setHotKey(0xC050);
        EXPECT_EQ(v.hotKeyStatus.starts_with("Hot keys cannot"), !c.hotKeyLine.empty())
            << c.desktop << ": " << v.hotKeyStatus;
        // A click that slipped through a disabled button records nothing.
        journal.recordings.clear();
        wizard.cmdStartKeysClick();
        wizard.cmdRecordMouseClick();
        EXPECT_EQ(journal.recordings.size(), c.note.empty() ? 1U : 0U) << c.desktop;
        EXPECT_EQ(wizard.recording(), c.note.empty()) << c.desktop;
        wizard.FormClose();
    }
}

TEST_F(Wizard, HelpTexts)
{
    model.cmdHotKeyHelpClick();
    model.cmdTriggerHelpClick();
    ASSERT_EQ(view.messages.size(), 2U);
    EXPECT_EQ(view.messages[0], std::string(HotKeyHelpText) + SupportAddress);
    EXPECT_EQ(view.messages[1], TriggerHelpText);
    view.file = "/bin/ls";
    model.cmdBrowseClick();
    view.file.clear();
    model.cmdBrowseClick(); // cancelled: kept
    EXPECT_EQ(model.fields().commandLine, "/bin/ls");
}

} // namespace
