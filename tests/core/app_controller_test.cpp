// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppController.h"
#include "catalogue/HotKeyValue.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeHotKeyRegistrar.h"
#include "playback_rig.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeHotKeyRegistrar;
using quorvel::testing::PlaybackRig;

namespace {

struct FakeParts : ControlledParts
{
    bool wizard = false, properties = false, propertiesShowing = false, editMode = false;
    bool inRun = false;
    std::vector<std::string> log;

    bool wizardBuilt() const override { return wizard; }
    bool propertiesBuilt() const override { return properties; }
    bool propertiesOpen() const override { return propertiesShowing; }
    bool wizardInEditMode() const override { return editMode; }
    void wizardRecorderFinished() override { log.push_back("wizard finished"); }
    void propertiesRecorderFinished() override { log.push_back("properties finished"); }
    void wizardStopRecordHotKey() override { log.push_back("wizard stop"); }
    void LoadMacroList() override { log.push_back("load"); }
    void stopPlaybackTimer() override { log.push_back("playback timer off"); }
    bool insideRun() const override { return inRun; }
    void quit(bool atOnce) override { log.push_back(atOnce ? "exit now" : "exit loop"); }
};

constexpr unsigned CtrlAlt = hotkeymod::Control | hotkeymod::Alt;
constexpr unsigned CtrlShift = hotkeymod::Control | hotkeymod::Shift;
constexpr KeyCode F12 = 0x7B;

struct ControllerRig : PlaybackRig
{
    FakeHotKeyRegistrar registrar;
    FakeErrorDisplay errors;
    FakeParts parts;
    int cancels = 0;
    AppController controller { AppController::Deps {
        runner, catalogue, timers, keys, errors, parts, &registrar, [this] { ++cancels; } } };

    ControllerRig()
    {
        quorvel::testing::writeFile(dir.file("Mail.key"), "hi");
        catalogue.append(MacroRecord {
            "Mail", macrokind::Advanced, hotkey::Ctrl | hotkey::Alt | 'A', "Mail.key", "", 1 });
    }
};

TEST(AppController, JournalEndGoesToTheWindowThatStartedIt)
{
    struct Case
    {
        bool wizard, properties, showing, editMode;
        const char *to; // nullptr: the runner
    };
    const Case cases[] = {
        { false, false, false, false, nullptr },
        { true, false, false, false, "wizard finished" },
        { true, true, false, false, "wizard finished" },
        { true, true, true, false, "properties finished" },
        // The properties dialog's advanced text is being edited in the wizard's page.
        { true, true, true, true, "wizard finished" },
    };
    for (const Case &c : cases) {
        ControllerRig rig;
        rig.parts.wizard = c.wizard;
        rig.parts.properties = c.properties;
        rig.parts.propertiesShowing = c.showing;
        rig.parts.editMode = c.editMode;
        rig.controller.journalFinished();
        const auto expected =
            c.to ? std::vector<std::string> { c.to } : std::vector<std::string> {};
        EXPECT_EQ(rig.parts.log, expected) << (c.to ? c.to : "runner");
        EXPECT_EQ(rig.runner.runStatus(), c.to ? RunStatus::None : RunStatus::True);
    }
}

TEST(AppController, AHotKeyRunsItsMacroWithItsKeyUnlessAnEditorIsOpen)
{
    ControllerRig rig;
    rig.controller.BindHotKeys();
    EXPECT_EQ(rig.parts.log, std::vector<std::string> { "load" });
    ASSERT_TRUE(rig.registrar.press(CtrlAlt, 'A'));
    EXPECT_EQ(rig.keys.typed(), "hi");
    // The run waited for the pressed key itself to be let go.
    EXPECT_NE(std::find(rig.keyboard.queries.begin(), rig.keyboard.queries.end(), 'A'),
        rig.keyboard.queries.end());

    rig.controller.setEditing(true);
    rig.keys.clear();
    rig.registrar.press(CtrlAlt, 'A');
    EXPECT_EQ(rig.keys.typed(), "");
}

TEST(AppController, WhereABoxCannotGrabOurKeysAnEditorHasThemGivenBackUntilItCloses)
{
    for (const bool grabsSee : { true, false }) {
        SCOPED_TRACE(grabsSee);
        ControllerRig rig;
        rig.registrar.grabsSee = grabsSee;
        rig.controller.BindHotKeys();
        rig.parts.log.clear();
        rig.controller.setEditing(true);
        EXPECT_EQ(rig.registrar.holds(CtrlAlt, 'A'), grabsSee);
        // The wizard finishes a macro: its key is bound with the others once it closes.
        rig.catalogue.append(MacroRecord {
            "Notes", macrokind::Advanced, hotkey::Ctrl | hotkey::Alt | 'B', "Notes.key", "", 2 });
        rig.controller.BindHotKeys();
        EXPECT_EQ(rig.registrar.holds(CtrlAlt, 'B'), grabsSee);
        rig.controller.setEditing(false);
        rig.controller.setEditing(false);
        EXPECT_TRUE(rig.registrar.holds(CtrlAlt, 'A'));
        EXPECT_TRUE(rig.registrar.holds(CtrlAlt, 'B'));
        EXPECT_EQ(rig.parts.log.size(), grabsSee ? 1u : 2u) << "the list shows what was refused";
        rig.registrar.press(CtrlAlt, 'A');
        EXPECT_EQ(rig.keys.typed(), "hi");
    }
}

TEST(AppController, TheStopKeyReachesTheWizardOnceItIsBuilt)
{
    ControllerRig rig;
    EXPECT_FALSE(rig.registrar.press(CtrlShift, F12)) << "bound only while an editor shows";
    rig.controller.setStopHotKeyEnabled(true);
    ASSERT_TRUE(rig.registrar.press(CtrlShift, F12));
    EXPECT_TRUE(rig.parts.log.empty());
    rig.parts.wizard = true;
    rig.registrar.press(CtrlShift, F12);
    EXPECT_EQ(rig.parts.log, std::vector<std::string> { "wizard stop" });
}

TEST(AppController, EndStopsEverythingOnceThenEndsTheLoopOrTheProcess)
{
    for (const bool inRun : { false, true }) {
        ControllerRig rig;
        rig.parts.inRun = inRun;
        rig.controller.BindHotKeys();
        rig.controller.setStopHotKeyEnabled(true);
        rig.timers.setWaitTimer(100, true);
        rig.parts.log.clear();

        rig.controller.end();
        rig.controller.end();
        EXPECT_TRUE(rig.controller.ended());
        EXPECT_FALSE(rig.timers.scanEnabled);
        EXPECT_FALSE(rig.timers.waitEnabled);
        EXPECT_TRUE(rig.registrar.registrations.empty());
        EXPECT_EQ(rig.cancels, 1);
        EXPECT_EQ(rig.keys.releaseAllCalls, 1);
        EXPECT_EQ(rig.parts.log,
            (std::vector<std::string> { "playback timer off", inRun ? "exit now" : "exit loop" }));
    }
}

TEST(AppController, WithoutHotKeysBindingReloadsTheListAndNothingIsRefused)
{
    PlaybackRig rig;
    FakeErrorDisplay errors;
    FakeParts parts;
    AppController controller { AppController::Deps {
        rig.runner, rig.catalogue, rig.timers, rig.keys, errors, parts } };
    controller.BindHotKeys();
    EXPECT_FALSE(controller.hotKeyRefused(1));
    controller.end();
    EXPECT_EQ(parts.log, (std::vector<std::string> { "load", "playback timer off", "exit loop" }));
}

} // namespace
