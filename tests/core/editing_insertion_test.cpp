// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "editing/HintModel.h"
#include "editing/InsertionModel.h"
#include "fakes/TestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace quorvel;
using namespace quorvel::insertion;
using quorvel::testing::TempDir;

namespace {

const char *windowName(Window w)
{
    static const char *names[] = { "frmWizard", "frmWait", "frmRepeat", "frmInputBox",
        "frmWaitforWindow", "frmExecute" };
    return names[int(w)];
}

const char *focusName(Focus f)
{
    static const char *names[] = { "mmoManKeys", "edtWinTitle", "edtTime" };
    return names[int(f)];
}

// Logs every call in order; a shown dialog runs what the test's user does in it.
struct FakeInsertionView : InsertionView, HintView
{
    std::vector<std::string> log;
    std::map<Window, std::function<void()>> user;
    std::optional<std::string> answer;
    std::string file, folder;
    bool hintTicked = true;

    void insertToken(Window carrier, const std::string &token) override
    {
        log.push_back(std::string("insert ") + windowName(carrier) + " " + token);
    }
    void setFocus(Focus f) override { log.push_back(std::string("focus ") + focusName(f)); }
    void showDialog(Window dialog) override
    {
        log.push_back(std::string("show ") + windowName(dialog));
        if (user.contains(dialog))
            user[dialog]();
    }
    void closeDialog(Window dialog) override
    {
        log.push_back(std::string("close ") + windowName(dialog));
    }
    void loadFields(Window dialog) override
    {
        log.push_back(std::string("load ") + windowName(dialog));
    }
    std::optional<std::string> inputQuery(
        const std::string &caption, const std::string &prompt, const std::string &value) override
    {
        log.push_back("query " + caption + "|" + prompt + "|" + value);
        return answer;
    }
    void showMessage(const std::string &text) override { log.push_back("message " + text); }
    std::string chooseFile(const std::string &filter) override
    {
        log.push_back("file " + filter);
        return file;
    }
    std::string chooseFolder(const std::string &prompt) override
    {
        log.push_back("folder " + prompt);
        return folder;
    }
    bool showHintModal(const std::string &text) override
    {
        log.push_back("hint " + text);
        return hintTicked;
    }
};

class Insertion : public ::testing::Test
{
protected:
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    FakeInsertionView view;
    HintModel hints { store, view };
    InsertionModel model { hints, catalogue };

    void SetUp() override { model.setView(view); }
    std::vector<std::string> withoutHints()
    {
        std::vector<std::string> rest;
        for (const auto &line : view.log) {
            if (line.rfind("hint ", 0) != 0)
                rest.push_back(line);
        }
        return rest;
    }
    std::vector<std::string> hintsShown()
    {
        std::vector<std::string> shown;
        for (const auto &line : view.log) {
            if (line.rfind("hint ", 0) == 0)
                shown.push_back(line.substr(5));
        }
        return shown;
    }
};

using Log = std::vector<std::string>;

struct ItemCase
{
    Menu menu;
    int index;
    const char *text;
    const char *token;
    bool hinted;
};

class MenuToken : public Insertion, public ::testing::WithParamInterface<ItemCase>
{
};

TEST_P(MenuToken, ShowsItsHintThenInsertsThroughTheWizardsCarrierAndFocusesTheMemo)
{
    const auto &c = GetParam();
    EXPECT_EQ(menuItems(c.menu)[std::size_t(c.index)].text, c.text);
    model.menuChange(c.menu, c.index);
    EXPECT_EQ(
        withoutHints(), (Log { std::string("insert frmWizard ") + c.token, "focus mmoManKeys" }));
    EXPECT_EQ(hintsShown().size(), c.hinted ? 1U : 0U);
    if (c.hinted) {
        EXPECT_EQ(view.log.front().rfind("hint ", 0), 0U) << "the hint comes first";
    }
}

INSTANTIATE_TEST_SUITE_P(Items, MenuToken,
    ::testing::Values(ItemCase { Menu::cmdSpecialKeys, 0, "Ctrl", "<<CTRL>>", true },
        ItemCase { Menu::cmdSpecialKeys, 1, "Alt", "<<ALT>>", true },
        ItemCase { Menu::cmdSpecialKeys, 2, "Shift", "<<SHIFT>>", true },
        ItemCase { Menu::cmdSpecialKeys, 3, "Ctrl+Alt", "<<CTRL+ALT>>", true },
        ItemCase { Menu::cmdSpecialKeys, 4, "Ctrl+Shift", "<<CTRL+SHIFT>>", true },
        ItemCase { Menu::cmdSpecialKeys, 5, "Shift+Alt", "<<SHIFT+ALT>>", true },
        ItemCase { Menu::cmdSpecialKeys, 6, "Enter", "<<ENTER>>", false },
        ItemCase { Menu::cmdSpecialKeys, 19, "Esc", "<<ESC>>", false },
        ItemCase { Menu::cmdSpecialKeys, 20, "Tab", "<<TAB>>", false },
        ItemCase { Menu::cmdSpecialKeys, 21, "Backspace", "<<BACKSPACE>>", false },
        ItemCase { Menu::cmdSpecialKeys, 22, "Insert", "<<INSERT>>", false },
        ItemCase { Menu::cmdSpecialKeys, 23, "Delete", "<<DELETE>>", false },
        ItemCase { Menu::EPMenuButton3, 0, "Home", "<<HOME>>", false },
        ItemCase { Menu::EPMenuButton3, 1, "End", "<<END>>", false },
        ItemCase { Menu::EPMenuButton3, 2, "Page Up", "<<PAGEUP>>", false },
        ItemCase { Menu::EPMenuButton3, 3, "Page Down", "<<PAGEDOWN>>", false },
        ItemCase { Menu::EPMenuButton3, 4, "Print Screen", "<<PRINTSCREEN>>", false },
        ItemCase { Menu::EPMenuButton3, 5, "Up Arrow", "<<UP>>", false },
        ItemCase { Menu::EPMenuButton3, 6, "Down Arrow", "<<DOWN>>", false },
        ItemCase { Menu::EPMenuButton3, 7, "Left Arrow", "<<LEFT>>", false },
        ItemCase { Menu::EPMenuButton3, 8, "Right Arrow", "<<RIGHT>>", false },
        ItemCase { Menu::EPMenuButton2, 1, "End Repeat Sequence", "<<ENDREP>>", true },
        ItemCase { Menu::EPMenuButton1, 0, "Current Date in Short Format", "<<SHORTDATE>>", true },
        ItemCase { Menu::EPMenuButton1, 1, "Current Date in Long Format", "<<LONGDATE>>", true },
        ItemCase { Menu::EPMenuButton1, 2, "Current Time in Short Format", "<<SHORTTIME>>", true },
        ItemCase { Menu::EPMenuButton1, 3, "Current Time in Long Format", "<<LONGTIME>>", true },
        ItemCase { Menu::EPMenuButton4, 1, "Write stored value", "<<WRITEVALUE>>", true }));

TEST(MenuItems, CountsAndEveryFunctionKeyInOrder)
{
    EXPECT_EQ(menuItems(Menu::cmdSpecialKeys).size(), 24U);
    EXPECT_EQ(menuItems(Menu::EPMenuButton3).size(), 9U);
    EXPECT_EQ(menuItems(Menu::EPMenuButton2).size(), 2U);
    EXPECT_EQ(menuItems(Menu::EPMenuButton1).size(), 4U);
    EXPECT_EQ(menuItems(Menu::EPMenuButton4).size(), 6U);
    for (int n = 1; n <= 12; ++n) {
        const auto &item = menuItems(Menu::cmdSpecialKeys)[std::size_t(6 + n)];
        EXPECT_EQ(item.text, "F" + std::to_string(n));
        EXPECT_EQ(item.token, "<<F" + std::to_string(n) + ">>");
    }
}

TEST_F(Insertion, CtrlWithHintsOnShowsTheModifierHintFirst)
{
    model.menuChange(Menu::cmdSpecialKeys, 0);
    EXPECT_EQ(view.log,
        (Log { std::string("hint ") + ModifierHint, "insert frmWizard <<CTRL>>",
            "focus mmoManKeys" }));
    EXPECT_NE(std::string(ModifierHint).find("modifyer"), std::string::npos);
}

TEST_F(Insertion, CtrlWithHintsOffInsertsAtOnce)
{
    store.writeString("Main", "Show Hints", "0");
    model.menuChange(Menu::cmdSpecialKeys, 0);
    EXPECT_EQ(view.log, (Log { "insert frmWizard <<CTRL>>", "focus mmoManKeys" }));
}

TEST_F(Insertion, IndexesOutsideTheMenuDoNothing)
{
    model.menuChange(Menu::EPMenuButton2, -1);
    model.menuChange(Menu::EPMenuButton2, 2);
    model.menuChange(Menu::cmdSpecialKeys, 24);
    EXPECT_TRUE(view.log.empty());
}

struct WaitCase
{
    const char *time;
    bool minutes;
    const char *token;
};

class WaitDialog : public Insertion, public ::testing::WithParamInterface<WaitCase>
{
};

TEST_P(WaitDialog, DelayShowsItsHintThenTheDialogWhoseOKInsertsTheTrimmedTime)
{
    const auto &c = GetParam();
    view.user[Window::frmWait] = [&] {
        model.wait() = { c.time, c.minutes };
        model.waitOK();
    };
    model.cmdDelayClick();
    EXPECT_EQ(view.log,
        (Log { std::string("hint ") + DelayHint, "show frmWait",
            std::string("insert frmWait ") + c.token, "close frmWait", "focus mmoManKeys" }));
}

INSTANTIATE_TEST_SUITE_P(Times, WaitDialog,
    ::testing::Values(WaitCase { "15", true, "<<MINS15>>" }, WaitCase { "5  ", false, "<<SECS5>>" },
        WaitCase { " 42", false, "<<SECS42>>" },
        // Not checked here: it fails when the macro runs.
        WaitCase { "", false, "<<SECS>>" }, WaitCase { "   ", true, "<<MINS>>" }));

TEST_F(Insertion, CancelledDelayInsertsNothingAndLeavesTheFocus)
{
    view.user[Window::frmWait] = [&] { model.cancel(Window::frmWait); };
    store.writeString("Main", "Show Hints", "0");
    model.cmdDelayClick();
    EXPECT_EQ(view.log, (Log { "show frmWait", "close frmWait" }));
}

TEST_F(Insertion, FieldsKeepWhatWasTypedBetweenUses)
{
    store.writeString("Main", "Show Hints", "0");
    EXPECT_EQ(model.waitforWindow().time, "5");
    EXPECT_TRUE(model.wait().time.empty());
    view.user[Window::frmWait] = [&] {
        model.wait() = { "7", true };
        model.cancel(Window::frmWait);
    };
    model.cmdDelayClick();
    std::string seen;
    view.user[Window::frmWait] = [&] {
        seen = model.wait().time;
        model.waitOK();
    };
    model.cmdDelayClick();
    EXPECT_EQ(seen, "7");
    EXPECT_EQ(view.log[3], "insert frmWait <<MINS7>>");
}

TEST_F(Insertion, RepeatDialogInsertsTheCountAndTheMenuFocusesTheMemoEitherWay)
{
    store.writeString("Main", "Show Hints", "0");
    view.user[Window::frmRepeat] = [&] {
        model.repeat().count = " 3 ";
        model.repeatOK();
    };
    model.menuChange(Menu::EPMenuButton2, 0);
    EXPECT_EQ(view.log,
        (Log { "show frmRepeat", "insert frmRepeat <<REP3>>", "close frmRepeat",
            "focus mmoManKeys" }));

    view.log.clear();
    view.user[Window::frmRepeat] = [&] { model.cancel(Window::frmRepeat); };
    model.menuChange(Menu::EPMenuButton2, 0);
    EXPECT_EQ(view.log, (Log { "show frmRepeat", "close frmRepeat", "focus mmoManKeys" }));
    EXPECT_EQ(model.repeat().count, " 3 ");
}

TEST_F(Insertion, RepeatShowsItsHintFirst)
{
    view.user[Window::frmRepeat] = [&] { model.cancel(Window::frmRepeat); };
    model.menuChange(Menu::EPMenuButton2, 0);
    ASSERT_EQ(hintsShown().size(), 1U);
    EXPECT_EQ(hintsShown()[0].rfind("Use this option to repeat either the entire macro", 0), 0U);
    EXPECT_EQ(view.log[1], "show frmRepeat");
}

TEST_F(Insertion, InputBoxTitleIsTrimmedAndMayBeEmpty)
{
    store.writeString("Main", "Show Hints", "0");
    for (const auto &[title, token] :
        { std::pair { " Your name? ", "<<INPUT:Your name?>>" }, std::pair { "", "<<INPUT:>>" } }) {
        view.log.clear();
        view.user[Window::frmInputBox] = [&, t = title] {
            model.inputBox().title = t;
            model.inputBoxOK();
        };
        model.menuChange(Menu::EPMenuButton4, 0);
        EXPECT_EQ(view.log,
            (Log { "show frmInputBox", std::string("insert frmInputBox ") + token,
                "close frmInputBox", "focus mmoManKeys", "focus mmoManKeys" }));
    }
}

struct LookForCase
{
    const char *title;
    const char *time;
    bool minutes;
    const char *separator; // nullptr: the setting is absent
    Log log; // after "show frmWaitforWindow"
};

class WaitforWindowDialog : public Insertion, public ::testing::WithParamInterface<LookForCase>
{
};

TEST_P(WaitforWindowDialog, ChecksTitleThenTimeThenInsertsWithTheSeparatorOfTheCatalogue)
{
    const auto &c = GetParam();
    store.writeString("Main", "Show Hints", "0");
    if (c.separator)
        store.writeString("Main", "WaitForSeparator", c.separator);
    view.user[Window::frmWaitforWindow] = [&] {
        model.waitforWindow() = { c.title, c.time, c.minutes };
        model.waitforWindowOK();
    };
    model.menuChange(Menu::EPMenuButton4, 3);
    Log wanted { "show frmWaitforWindow" };
    wanted.insert(wanted.end(), c.log.begin(), c.log.end());
    wanted.push_back("focus mmoManKeys"); // the menu's, after the dialog
    EXPECT_EQ(view.log, wanted);
}

INSTANTIATE_TEST_SUITE_P(Cases, WaitforWindowDialog,
    ::testing::Values(LookForCase { " Report - Editor ", "10", false, nullptr,
                          { "insert frmWaitforWindow <<LOOKFOR:Report - Editor~~SECS:10>>",
                              "close frmWaitforWindow", "focus mmoManKeys" } },
        LookForCase { "Calc", " 2 ", true, "##",
            { "insert frmWaitforWindow <<LOOKFOR:Calc##MINS:2>>", "close frmWaitforWindow",
                "focus mmoManKeys" } },
        LookForCase { "Report", "   ", false, nullptr,
            { std::string("message ") + TimeMissing, "focus edtTime" } },
        LookForCase { "Report", "", false, nullptr,
            { std::string("message ") + TimeMissing, "focus edtTime" } },
        // The title is checked first, and only for being empty.
        LookForCase { "", "   ", false, nullptr,
            { std::string("message ") + TitleMissing, "focus edtWinTitle" } },
        LookForCase { "  ", "1", false, nullptr,
            { "insert frmWaitforWindow <<LOOKFOR:~~SECS:1>>", "close frmWaitforWindow",
                "focus mmoManKeys" } }));

TEST_F(Insertion, SeparatorIsReadWhenComposingNotBefore)
{
    store.writeString("Main", "Show Hints", "0");
    view.user[Window::frmWaitforWindow] = [&] {
        model.waitforWindow().title = "Calc";
        store.writeString("Main", "WaitForSeparator", "||");
        model.waitforWindowOK();
    };
    model.menuChange(Menu::EPMenuButton4, 3);
    EXPECT_EQ(view.log[1], "insert frmWaitforWindow <<LOOKFOR:Calc||SECS:5>>");
}

struct QueryCase
{
    int index;
    const char *caption;
    const char *prompt;
    std::optional<std::string> answer;
    Log inserted;
};

class InputQuery : public Insertion, public ::testing::WithParamInterface<QueryCase>
{
};

TEST_P(InputQuery, InsertsOnlyANonEmptyAnswer)
{
    const auto &c = GetParam();
    store.writeString("Main", "Show Hints", "0");
    view.answer = c.answer;
    model.menuChange(Menu::EPMenuButton4, c.index);
    Log wanted { std::string("query ") + c.caption + "|" + c.prompt + "|" };
    wanted.insert(wanted.end(), c.inserted.begin(), c.inserted.end());
    EXPECT_EQ(view.log, wanted);
}

INSTANTIATE_TEST_SUITE_P(Answers, InputQuery,
    ::testing::Values(QueryCase { 2, RunCaption, RunPrompt, "Daily report",
                          { "insert frmWizard <<RUN:Daily report>>", "focus mmoManKeys" } },
        QueryCase { 2, RunCaption, RunPrompt, "", {} },
        QueryCase { 2, RunCaption, RunPrompt, std::nullopt, {} },
        QueryCase { 4, FocusCaption, FocusPrompt, "Calculator",
            { "insert frmWizard <<FOCUS:Calculator>>", "focus mmoManKeys" } },
        QueryCase { 4, FocusCaption, FocusPrompt, std::nullopt, {} }));

TEST_F(Insertion, ExecuteTakesTheFieldsAsTypedAndBrowsesWithTheWizardsDialogs)
{
    view.file = "/usr/bin/editor";
    view.user[Window::frmExecute] = [&] {
        model.executeBrowseClick();
        model.execute().parameters = " readme.txt ";
        view.folder = "";
        model.executeBrowseFolderClick(); // cancelled: the field stays
        model.executeOK();
    };
    model.execute().startIn = "/tmp ";
    model.menuChange(Menu::EPMenuButton4, 5);
    ASSERT_EQ(hintsShown().size(), 1U);
    const std::string hint = hintsShown()[0];
    EXPECT_EQ(hint.rfind("Note that you may use this option to not only start regular programs, "
                         "but also launch any windows documents with valid associations.  For "
                         "example, \"example.txt\" would launch Notepad with that document",
                  0),
        0U);
    EXPECT_NE(hint.find("mailto:"), std::string::npos);
    EXPECT_EQ(withoutHints(),
        (Log { "show frmExecute",
            "file All Files (*.*)|*.*|Executables (*.exe)|*.exe|Batch Files (*.bat)|*.bat|PIF "
            "Files (*.pif)|*.pif|Com Files (*.com)|*.com",
            "load frmExecute", "folder Choose a folder below:",
            "insert frmExecute <<EXECUTE:/usr/bin/editor~~ readme.txt ~~/tmp >>",
            "close frmExecute" }));
}

} // namespace
