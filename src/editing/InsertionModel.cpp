// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/InsertionModel.h"

#include "catalogue/Catalogue.h"
#include "common/Text.h"
#include "editing/EditorModel.h"
#include "editing/HintShower.h"

#include <array>
#include <stdexcept>

namespace quorvel {

using insertion::Action;
using insertion::Focus;
using insertion::Menu;
using insertion::MenuItem;
using insertion::Window;

namespace {

constexpr std::string_view Modifier = insertion::ModifierHint;

constexpr std::array<MenuItem, 24> SpecialKeys = { {
    { "Ctrl", Action::insertToken, "<<CTRL>>", Modifier },
    { "Alt", Action::insertToken, "<<ALT>>", Modifier },
    { "Shift", Action::insertToken, "<<SHIFT>>", Modifier },
    { "Ctrl+Alt", Action::insertToken, "<<CTRL+ALT>>", Modifier },
    { "Ctrl+Shift", Action::insertToken, "<<CTRL+SHIFT>>", Modifier },
    { "Shift+Alt", Action::insertToken, "<<SHIFT+ALT>>", Modifier },
    { "Enter", Action::insertToken, "<<ENTER>>", {} },
    { "F1", Action::insertToken, "<<F1>>", {} },
    { "F2", Action::insertToken, "<<F2>>", {} },
    { "F3", Action::insertToken, "<<F3>>", {} },
    { "F4", Action::insertToken, "<<F4>>", {} },
    { "F5", Action::insertToken, "<<F5>>", {} },
    { "F6", Action::insertToken, "<<F6>>", {} },
    { "F7", Action::insertToken, "<<F7>>", {} },
    { "F8", Action::insertToken, "<<F8>>", {} },
    { "F9", Action::insertToken, "<<F9>>", {} },
    { "F10", Action::insertToken, "<<F10>>", {} },
    { "F11", Action::insertToken, "<<F11>>", {} },
    { "F12", Action::insertToken, "<<F12>>", {} },
    { "Esc", Action::insertToken, "<<ESC>>", {} },
    { "Tab", Action::insertToken, "<<TAB>>", {} },
    { "Backspace", Action::insertToken, "<<BACKSPACE>>", {} },
    { "Insert", Action::insertToken, "<<INSERT>>", {} },
    { "Delete", Action::insertToken, "<<DELETE>>", {} },
} };

constexpr std::array<MenuItem, 9> MoreKeys = { {
    { "Home", Action::insertToken, "<<HOME>>", {} },
    { "End", Action::insertToken, "<<END>>", {} },
    { "Page Up", Action::insertToken, "<<PAGEUP>>", {} },
    { "Page Down", Action::insertToken, "<<PAGEDOWN>>", {} },
    { "Print Screen", Action::insertToken, "<<PRINTSCREEN>>", {} },
    { "Up Arrow", Action::insertToken, "<<UP>>", {} },
    { "Down Arrow", Action::insertToken, "<<DOWN>>", {} },
    { "Left Arrow", Action::insertToken, "<<LEFT>>", {} },
    { "Right Arrow", Action::insertToken, "<<RIGHT>>", {} },
} };

constexpr std::array<MenuItem, 2> Repeat = { {
    { "Start Repeat Sequence", Action::repeatDialog, {},
        "Use this option to repeat either the entire macro, or a segment of the macro a given "
        "amount of times.  Note that for this function to work properly you will need an End "
        "Repetition statement for each repetition within the macro." },
    { "End Repeat Sequence", Action::insertToken, "<<ENDREP>>",
        "Use this option to complete a segment of repetition." },
} };

constexpr std::array<MenuItem, 4> DateTime = { {
    { "Current Date in Short Format", Action::insertToken, "<<SHORTDATE>>",
        "The way your system defines a short date is explained in Regional Settings, under your "
        "Control Panel." },
    { "Current Date in Long Format", Action::insertToken, "<<LONGDATE>>",
        "The way your system defines a long date is explained in Regional Settings, under your "
        "Control Panel." },
    { "Current Time in Short Format", Action::insertToken, "<<SHORTTIME>>",
        "A short time is written in with no AM/PM description, eg. 15:30." },
    { "Current Time in Long Format", Action::insertToken, "<<LONGTIME>>",
        "A long time is written with the AM/PM description that your Regional Settings provides "
        "for, if any, eg. 3:30 PM." },
} };

constexpr std::array<MenuItem, 6> Misc = { {
    { "Display an input box and get a value", Action::inputBoxDialog, {},
        "Use this option to display a dialog box with a title that you specify.  This dialog box "
        "will allow you to type in information that can be later utilized by Quorvel." },
    { "Write stored value", Action::insertToken, "<<WRITEVALUE>>",
        "This option will type the value that was previously obtained by the \"Get a Value\" "
        "option." },
    { "Run another macro", Action::runMacro, {},
        "Use this option to run any pre-existing macros from within this one." },
    { "Wait for a window to be present", Action::waitforWindowDialog, {},
        "Use this option to have Quorvel wait for a window with a specified title to appear." },
    { "Bring a window into the foreground", Action::focusWindow, {},
        "Use this option to bring a window to the foreground so that it may accept keystrokes "
        "and other input." },
    { "Start an Application or Document", Action::executeDialog, {},
        "Note that you may use this option to not only start regular programs, but also launch "
        "any windows documents with valid associations.  For example, \"example.txt\" would "
        "launch Notepad with that document.  Likewise, \"https://www.example.org/\" would open "
        "your default web browser on that site, and \"mailto:someone@example.com\" would open "
        "your default e-mail program with that address in its \"To\" field." },
} };

std::string trimmed(std::string_view field)
{
    return std::string(text::trimControl(field));
}

} // namespace

std::span<const MenuItem> insertion::menuItems(Menu menu)
{
    switch (menu) {
    case Menu::cmdSpecialKeys:
        return SpecialKeys;
    case Menu::EPMenuButton3:
        return MoreKeys;
    case Menu::EPMenuButton2:
        return Repeat;
    case Menu::EPMenuButton1:
        return DateTime;
    case Menu::EPMenuButton4:
        return Misc;
    }
    return {};
}

InsertionModel::InsertionModel(HintShower &hints, Catalogue &catalogue)
    : m_hints(hints)
    , m_catalogue(catalogue)
{
}

InsertionView &InsertionModel::view()
{
    if (!m_view)
        throw std::logic_error("InsertionModel has no view");
    return *m_view;
}

void InsertionModel::insert(Window carrier, const std::string &token)
{
    view().insertToken(carrier, token);
}

void InsertionModel::menuChange(Menu menu, int itemIndex)
{
    const auto items = insertion::menuItems(menu);
    if (itemIndex < 0 || std::size_t(itemIndex) >= items.size())
        return;
    const MenuItem &item = items[std::size_t(itemIndex)];
    if (!item.hint.empty())
        m_hints.ShowHint(std::string(item.hint));

    auto dialogThenMemo = [this](Window dialog) {
        view().showDialog(dialog);
        view().setFocus(Focus::mmoManKeys);
    };
    switch (item.action) {
    case Action::insertToken:
        insert(Window::frmWizard, std::string(item.token));
        view().setFocus(Focus::mmoManKeys);
        break;
    case Action::repeatDialog:
        dialogThenMemo(Window::frmRepeat);
        break;
    case Action::inputBoxDialog:
        dialogThenMemo(Window::frmInputBox);
        break;
    case Action::waitforWindowDialog:
        dialogThenMemo(Window::frmWaitforWindow);
        break;
    case Action::runMacro:
        askAndInsert(insertion::RunCaption, insertion::RunPrompt, "<<RUN:");
        break;
    case Action::focusWindow:
        askAndInsert(insertion::FocusCaption, insertion::FocusPrompt, "<<FOCUS:");
        break;
    case Action::executeDialog:
        // The memo gets no focus back here: the dialog leaves it where it was.
        view().showDialog(Window::frmExecute);
        break;
    }
}

void InsertionModel::askAndInsert(const char *caption, const char *prompt, std::string_view head)
{
    const auto answer = view().inputQuery(caption, prompt, {});
    if (!answer || answer->empty())
        return;
    insert(Window::frmWizard, std::string(head) + *answer + ">>");
    view().setFocus(Focus::mmoManKeys);
}

void InsertionModel::cmdDelayClick()
{
    m_hints.ShowHint(insertion::DelayHint);
    view().showDialog(Window::frmWait);
}

bool InsertionModel::isBlank(std::string_view field)
{
    return text::trimControl(field).empty();
}

std::string InsertionModel::waitToken(const WaitFields &f)
{
    return (f.minutes ? "<<MINS" : "<<SECS") + trimmed(f.time) + ">>";
}

std::string InsertionModel::repeatToken(const RepeatFields &f)
{
    return "<<REP" + trimmed(f.count) + ">>";
}

std::string InsertionModel::inputBoxToken(const InputBoxFields &f)
{
    return "<<INPUT:" + trimmed(f.title) + ">>";
}

std::string InsertionModel::waitforWindowToken(
    const WaitforWindowFields &f, std::string_view separator)
{
    return "<<LOOKFOR:" + trimmed(f.title) + std::string(separator)
        + (f.minutes ? "MINS:" : "SECS:") + trimmed(f.time) + ">>";
}

std::string InsertionModel::executeToken(const ExecuteFields &f)
{
    return "<<EXECUTE:" + f.commandLine + "~~" + f.parameters + "~~" + f.startIn + ">>";
}

void InsertionModel::waitOK()
{
    insert(Window::frmWait, waitToken(m_wait));
    view().closeDialog(Window::frmWait);
    view().setFocus(Focus::mmoManKeys);
}

void InsertionModel::repeatOK()
{
    insert(Window::frmRepeat, repeatToken(m_repeat));
    view().closeDialog(Window::frmRepeat);
}

void InsertionModel::inputBoxOK()
{
    insert(Window::frmInputBox, inputBoxToken(m_inputBox));
    view().closeDialog(Window::frmInputBox);
    view().setFocus(Focus::mmoManKeys);
}

void InsertionModel::waitforWindowOK()
{
    if (m_waitforWindow.title.empty()) {
        view().showMessage(insertion::TitleMissing);
        view().setFocus(Focus::edtWinTitle);
        return;
    }
    if (isBlank(m_waitforWindow.time)) {
        view().showMessage(insertion::TimeMissing);
        view().setFocus(Focus::edtTime);
        return;
    }
    // Read now, not at start-up: the setting may have been changed by hand meanwhile.
    const std::string separator = m_catalogue.store().readString(
        settings::Main, settings::WaitForSeparator, settings::WaitForSeparatorDefault);
    insert(Window::frmWaitforWindow, waitforWindowToken(m_waitforWindow, separator));
    view().closeDialog(Window::frmWaitforWindow);
    view().setFocus(Focus::mmoManKeys);
}

void InsertionModel::executeOK()
{
    insert(Window::frmExecute, executeToken(m_execute));
    view().closeDialog(Window::frmExecute);
}

void InsertionModel::cancel(Window dialog)
{
    view().closeDialog(dialog);
}

void InsertionModel::executeBrowseClick()
{
    const std::string file = view().chooseFile(editor::FileFilter);
    if (file.empty())
        return;
    m_execute.commandLine = file;
    view().loadFields(Window::frmExecute);
}

void InsertionModel::executeBrowseFolderClick()
{
    const std::string folder = view().chooseFolder(editor::FolderPrompt);
    if (folder.empty())
        return;
    m_execute.startIn = folder;
    view().loadFields(Window::frmExecute);
}

} // namespace quorvel
