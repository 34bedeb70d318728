// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

class Catalogue;
class HintShower;

namespace insertion {

// The menu buttons of the advanced page, left to right.
enum class Menu { cmdSpecialKeys, EPMenuButton3, EPMenuButton2, EPMenuButton1, EPMenuButton4 };

// The wizard (whose carrier is edtSpecialKeys) and the command dialogs, each with its own.
enum class Window { frmWizard, frmWait, frmRepeat, frmInputBox, frmWaitforWindow, frmExecute };

// Where the focus goes after an insertion or a refused OK.
enum class Focus { mmoManKeys, edtWinTitle, edtTime };

// What picking a menu item does once its hint has been shown.
enum class Action {
    insertToken,
    repeatDialog,
    inputBoxDialog,
    runMacro,
    waitforWindowDialog,
    focusWindow,
    executeDialog
};

struct MenuItem
{
    std::string_view text;
    Action action = Action::insertToken;
    std::string_view token; // for insertToken
    std::string_view hint; // empty: none
};

// The items of a menu button in their order.
std::span<const MenuItem> menuItems(Menu menu);

inline constexpr const char *ModifierHint =
    "You have selected a key modifyer.  To mate this key with another, simply type the key or "
    "select it from the list of special keys directly *after* the modifyer ( eg. <<ALT>>f ).  "
    "For more information review the pre-installed examples.";
inline constexpr const char *DelayHint =
    "This option is especially useful when you are performing extensive operations within an "
    "application and would like to wait for them to finish, or when you need to wait a few "
    "seconds for a program to load before sending keystrokes to it.";

inline constexpr const char *RunCaption = "Run another macro";
inline constexpr const char *RunPrompt = "Type the exact name of the existing macro to run";
inline constexpr const char *FocusCaption = "Bring a window into focus";
inline constexpr const char *FocusPrompt = "Title of the window to bring to the foreground.";

inline constexpr const char *TitleMissing =
    "Please specify the title of the window that you would like to look for.";
inline constexpr const char *TimeMissing =
    "Please specify a length of time to wait before timing out.";

// The masked number fields hold up to three digits.
inline constexpr int NumberDigits = 3;
inline constexpr int MaxInputTitle = 50;

} // namespace insertion

// The fields of the dialogs; they keep what the user typed last between uses.
struct WaitFields
{
    std::string time; // edtTime
    bool minutes = false; // optMinutes, else optSeconds
};

struct RepeatFields
{
    std::string count; // edtRepCount
};

struct InputBoxFields
{
    std::string title; // edtInputName
};

struct WaitforWindowFields
{
    std::string title; // edtWinTitle
    std::string time = "5"; // edtTime
    bool minutes = false;
};

struct ExecuteFields
{
    std::string commandLine;
    std::string parameters;
    std::string startIn;
};

// The advanced page and its dialogs as the model drives them.
class InsertionView
{
public:
    virtual ~InsertionView() = default;
    // The token goes into carrier's carrier edit, is selected and copied, and is pasted into
    // mmoManKeys over its selection or at the caret; the clipboard keeps it.
    virtual void insertToken(insertion::Window carrier, const std::string &token) = 0;
    virtual void setFocus(insertion::Focus focus) = 0;
    // Shows a dialog modally, filled from the model's fields; returns once it is closed.
    virtual void showDialog(insertion::Window dialog) = 0;
    virtual void closeDialog(insertion::Window dialog) = 0;
    // The dialog's controls take the model's fields again.
    virtual void loadFields(insertion::Window dialog) = 0;
    // The standard one-line input box with OK and Cancel; nothing when cancelled.
    virtual std::optional<std::string> inputQuery(
        const std::string &caption, const std::string &prompt, const std::string &value) = 0;
    virtual void showMessage(const std::string &text) = 0;
    // Empty when the user cancels.
    virtual std::string chooseFile(const std::string &filter) = 0;
    virtual std::string chooseFolder(const std::string &prompt) = 0;
};

// The insertion menus of the advanced page and the command dialogs behind them: which hint
// comes first, the token each inserts, and where the focus goes after.
class InsertionModel
{
public:
    InsertionModel(HintShower &hints, Catalogue &catalogue);
    void setView(InsertionView &view) { m_view = &view; }

    // A menu button's OnChange with its ItemIndex; an index outside the items does nothing.
    void menuChange(insertion::Menu menu, int itemIndex);
    void cmdDelayClick();

    WaitFields &wait() { return m_wait; }
    RepeatFields &repeat() { return m_repeat; }
    InputBoxFields &inputBox() { return m_inputBox; }
    WaitforWindowFields &waitforWindow() { return m_waitforWindow; }
    ExecuteFields &execute() { return m_execute; }

    // The dialogs' OK buttons; Cancel only closes.
    void waitOK();
    void repeatOK();
    void inputBoxOK();
    void waitforWindowOK();
    void executeOK();
    void cancel(insertion::Window dialog);
    // TfrmExecute's two Browse buttons.
    void executeBrowseClick();
    void executeBrowseFolderClick();

    static std::string waitToken(const WaitFields &fields);
    static std::string repeatToken(const RepeatFields &fields);
    static std::string inputBoxToken(const InputBoxFields &fields);
    static std::string waitforWindowToken(
        const WaitforWindowFields &fields, std::string_view separator);
    static std::string executeToken(const ExecuteFields &fields);
    // A masked number field with no digit in it.
    static bool isBlank(std::string_view field);

private:
    InsertionView &view();
    void insert(insertion::Window carrier, const std::string &token);
    void askAndInsert(const char *caption, const char *prompt, std::string_view head);

    HintShower &m_hints;
    Catalogue &m_catalogue;
    InsertionView *m_view = nullptr;
    WaitFields m_wait;
    RepeatFields m_repeat;
    InputBoxFields m_inputBox;
    WaitforWindowFields m_waitforWindow;
    ExecuteFields m_execute;
};

} // namespace quorvel
