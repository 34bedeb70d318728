// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormControl.h"
#include "catalogue/Catalogue.h"
#include "editing/HintShower.h"
#include "editing/forms/TfrmProperties.h"
#include "editing/forms/TfrmWizard.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeJournal.h"
#include "fakes/TestSupport.h"
#include "shell/HelpViewer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::control;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

struct Services : WizardServices, PropertiesServices, HintShower
{
    TfrmWizard *wizard = nullptr;
    bool editing = false;
    int binds = 0;
    void setEditing(bool on) override { editing = on; }
    void setStopHotKeyEnabled(bool) override { }
    void addListRow(const MacroListRow &) override { }
    void setMainWindowVisible(bool) override { }
    void journalFinished() override { }
    void BindHotKeys() override { ++binds; }
    void stopPropertiesRecording() override { }
    void LoadMacroList() override { }
    void showWizard() override { wizard->showModal(); }
    void ShowHint(const std::string &) override { }
};

class PropertiesForm : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override
    {
        writeCatalogue({ "Name=Notes\nType=1\nFileName=true~~-x~~/tmp\n",
            "Name=Typing\nType=2\nHotKey=24692\nFileName=Typing.dat\n",
            "Name=Replay\nType=3\nFileName=Replay.dat\nSpeed=2\n",
            "Name=Mail\nType=4\nFileName=Mail.key\nTrigger=Inbox\n" });
        writeFile(dir.file("Mail.key"), "Dear\r\n");
        services.wizard = &wizardForm;
    }

    bool shown(properties::Control control)
    {
        static const char *names[] = { "imgStart", "imgKeys", "imgRecorder", "imgAdvanced",
            "edtFileName", "cmdBrowse", "SpeedChoice", "cmdEditManKeys", "edtParameters",
            "edtStartIn", "cmdBrowseFolder", "lblTriggers", "pnlRecord" };
        return quorvel::testing::control(form, names[int(control)])->isVisibleTo(&form);
    }

    quorvel::testing::FakeJournal journal;
    quorvel::testing::FakeEventPump pump;
    quorvel::testing::FakeErrorDisplay errors;
    Services services;
    EditorDeps deps { catalogue, journal, errors, dir.path() + "/" };
    WizardModel wizard { deps, services, services, pump };
    TfrmWizard wizardForm { wizard };
    PropertiesModel model { deps, services, wizard };
    TfrmProperties form { model };
};

TEST_F(PropertiesForm, NamesCaptionsAndTheDefaultButton)
{
    EXPECT_EQ(form.windowTitle(), "Macro Properties");
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed size";
    const std::vector<std::pair<const char *, const char *>> named = {
        { "edtMacroName", "Name" },
        { "edtFileName", "FileName" },
        { "edtParameters", "Parameters" },
        { "edtStartIn", "Start In" },
        { "HotKey1", "HotKey" },
        { "edtTrigger", "Window" },
        { "mmoKeys", "Practice Keys" },
        { "lblType", "Type Summary" },
        { "cmdBrowse", "Browse" },
        { "cmdBrowseFolder", ".." },
        { "cmdEditManKeys", "Edit Macro" },
        { "cmdRecord", "Start Recording" },
        { "cmdStop", "Stop Recording" },
        { "cmdPlay", "Playback" },
        { "cmdOK", "OK" },
        { "cmdCancel", "Cancel" },
        { "optHighSpeed", "Play this macro back at high speed" },
    };
    for (const auto &[name, accessible] : named) {
        const auto *widget = form.findChild<QWidget *>(QLatin1String(name));
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->accessibleName(), accessible) << name;
    }
    EXPECT_TRUE(control<QPushButton>(form, "cmdOK")->isDefault());
    EXPECT_EQ(control<QLineEdit>(form, "edtMacroName")->maxLength(), 50);
}

TEST_F(PropertiesForm, ShowsTheControlsOfEachKind)
{
    using properties::Control;
    struct Case
    {
        int n;
        const char *type;
        std::vector<Control> shown, hidden;
    };
    const std::vector<Case> cases = {
        { 1, "Start an Application or Launch a Document",
            { Control::imgStart, Control::edtFileName, Control::edtStartIn },
            { Control::RecordPanel, Control::cmdEditManKeys, Control::lblTriggers } },
        { 2, "Playback Keystrokes", { Control::imgKeys, Control::RecordPanel },
            { Control::SpeedChoice, Control::edtFileName, Control::imgStart } },
        { 3, "Playback Mouse and Keyboard", { Control::RecordPanel, Control::SpeedChoice },
            { Control::imgKeys, Control::cmdEditManKeys } },
        { 4, "Playback Manually Created Keystrokes",
            { Control::cmdEditManKeys, Control::lblTriggers },
            { Control::RecordPanel, Control::edtParameters } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.n);
        model.open(c.n);
        EXPECT_EQ(control<QLabel>(form, "lblType")->accessibleDescription(), c.type);
        for (const auto control : c.shown)
            EXPECT_TRUE(shown(control)) << int(control);
        for (const auto control : c.hidden)
            EXPECT_FALSE(shown(control)) << int(control);
        model.cmdCancelClick();
    }
    model.open(1);
    EXPECT_EQ(control<QLineEdit>(form, "edtStartIn")->text(), "/tmp");
}

// On a Wayland desktop without sway: why recording is not possible over the recording
// buttons, and beside the hot-key box a button to the help page on where Quorvel works.
TEST_F(PropertiesForm, SaysWhatTheDesktopCannotDo)
{
    struct Help : HelpViewer
    {
        std::vector<std::string> topics;
        void showHelp(std::string_view topic) override { topics.emplace_back(topic); }
    } help;
    SessionOffer offer;
    offer.kind = SessionKind::Wayland;
    offer.reachable = true;
    auto limited = deps;
    limited.help = &help;
    limited.limits = desktopLimits(offer);
    limited.limits.recording = "Recording is not possible: this is a Wayland session";
    PropertiesModel wayland { limited, services, wizard };
    TfrmProperties dialog { wayland };
    for (const bool onWayland : { false, true }) {
        SCOPED_TRACE(onWayland);
        TfrmProperties &shown = onWayland ? dialog : form;
        (onWayland ? wayland : model).open(3);
        const auto *note = control<QLabel>(shown, "lblRecordingNote");
        EXPECT_EQ(note->isVisibleTo(&shown), onWayland);
        EXPECT_EQ(note->accessibleName(), "Recording Status");
        EXPECT_EQ(
            note->accessibleDescription().toStdString(), onWayland ? limited.limits.recording : "");
        EXPECT_EQ(control(shown, "cmdRecord")->isEnabled(), !onWayland);
        EXPECT_TRUE(control(shown, "cmdPlay")->isEnabled());
        auto *desktops = control<QPushButton>(shown, "cmdDesktopsHelp");
        EXPECT_EQ(desktops->isVisibleTo(&shown), onWayland);
        EXPECT_EQ(desktops->accessibleName(), "Where Quorvel works");
        (onWayland ? wayland : model).cmdCancelClick();
    }
    control<QPushButton>(dialog, "cmdDesktopsHelp")->click();
    EXPECT_EQ(help.topics, std::vector<std::string> { "Desktops" });
}

TEST_F(PropertiesForm, RenamesThroughTheDialogAndEditsTheTextInTheWizard)
{
    bool done = false;
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(control<QLineEdit>(form, "edtTrigger")->text(), "Inbox");
        control<QLineEdit>(form, "edtMacroName")->selectAll();
        QTest::keyClicks(control<QLineEdit>(form, "edtMacroName"), "Post");
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(control<QPushButton>(wizardForm, "cmdSave")->isVisible());
            EXPECT_FALSE(control<QPushButton>(wizardForm, "cmdNext")->isVisible());
            EXPECT_TRUE(control<QLabel>(wizardForm, "imgEdit")->isVisible());
            EXPECT_EQ(control<QPlainTextEdit>(wizardForm, "mmoManKeys")->toPlainText(), "Dear");
            QTest::keyClick(control<QPlainTextEdit>(wizardForm, "mmoManKeys"), Qt::Key_End,
                Qt::ControlModifier);
            QTest::keyClicks(control<QPlainTextEdit>(wizardForm, "mmoManKeys"), " Sir");
            control<QPushButton>(wizardForm, "cmdSave")->click();
        });
        control<QPushButton>(form, "cmdEditManKeys")->click();
        EXPECT_FALSE(wizardForm.isVisible());
        QTest::keyClick(control<QLineEdit>(form, "edtTrigger"), Qt::Key_Return);
        done = true;
    });
    form.showModal(4);
    EXPECT_TRUE(done);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(services.editing);
    EXPECT_EQ(services.binds, 1);
    EXPECT_EQ(readFile(dir.file("Post.key")), "Dear Sir\r\n");
    EXPECT_EQ(store.readString("Macro4", "FileName", ""), "Post.key");
}

} // namespace
