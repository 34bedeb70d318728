// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/HotKeyValue.h"
#include "catalogue/MacroList.h"
#include "mainwindow/Placement.h"
#include "platform/Dialogs.h"
#include "platform/FileRemover.h"
#include "platform/SessionDoctor.h"
#include "shell/HelpViewer.h"
#include "shell/ListPrinter.h"
#include "shell/ShortcutMaker.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class Catalogue;

// The five commands whose enabled state follows the list's selection.
enum class SelectionCommand {
    cmdDeleteMacro,
    cmdProperties,
    mnuDelete,
    mnuCreateShortcut,
    mnuProperties
};

// The main window's design: the list's height and the buttons' top follow the outer height.
struct MainWindowLayout
{
    int listHeight = 0;
    int buttonTop = 0;
    bool operator==(const MainWindowLayout &) const = default;
};
// No lower limit: a window shorter than the controls overlaps them, as designed.
constexpr MainWindowLayout layoutForOuterHeight(int outerHeight)
{
    return { outerHeight - 111, outerHeight - 71 };
}

// What the main window shows and does on the model's word; the form implements it.
class MainWindowView
{
public:
    virtual ~MainWindowView() = default;
    virtual void loadRows(const std::vector<MacroListRow> &rows) = 0;
    // The list: rows, the selected row and the row with the focus (-1 for none).
    virtual int rowCount() const = 0;
    virtual int selectedRow() const = 0;
    virtual int focusedRow() const = 0;
    virtual void removeRow(int row) = 0;
    virtual void setStatusText(const std::string &text) = 0;
    virtual void setCommandEnabled(SelectionCommand command, bool enabled) = 0;
    // The window's height with frame and caption.
    virtual int outerHeight() const = 0;
    virtual void applyLayout(const MainWindowLayout &layout) = 0;
    // Whether the main window is the foreground window.
    virtual bool isForegroundWindow() const = 0;
    // A warning box with Yes and No; true for Yes.
    virtual bool confirmWarning(const std::string &text) = 0;
    // The editors, shown modally; they return when closed.
    virtual void showWizard() = 0;
    virtual void showProperties(int n) = 0;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual bool windowVisible() const = 0;
    virtual Rect windowGeometry() const = 0;
    virtual void setWindowGeometry(const Rect &geometry) = 0;
    // The part of the screen windows may take.
    virtual Rect screenArea() const = 0;
};

// The rest of the program as the main window reaches it.
class MainWindowServices
{
public:
    virtual ~MainWindowServices() = default;
    virtual void ProcessHotKey(int n) = 0;
    // Binds every slot again from the catalogue and reloads the list.
    virtual void BindHotKeys() = 0;
    virtual void endProgram() = 0;
    // Hot keys are inert while an editor is open.
    virtual void setEditing(bool editing) = 0;
    // Whether slot n holds a hot key the platform refused at the last binding.
    virtual bool hotKeyRefused(int n) const
    {
        (void)n;
        return false;
    }
};

// The main window's rules: the list, start-up, placement, hiding and closing.
class MainWindowModel
{
public:
    MainWindowModel(Catalogue &catalogue, ErrorDisplay &errors, MainWindowServices &services,
        KeyNameLookup keyName = {});
    // The new view's status bar names what the desktop lacks.
    void setView(MainWindowView &view);
    // Builds the view, showing listRows(), when it is first needed; until then the list's rows
    // are only kept.
    void setViewMaker(std::function<MainWindowView &()> make) { m_makeView = std::move(make); }
    // Where the data files lie, with the trailing separator.
    void setDataFolder(std::string folder) { m_dataFolder = std::move(folder); }
    // Until set, help, shortcuts and printing do nothing and deletion removes no file.
    void setHelpViewer(HelpViewer &help) { m_help = &help; }
    void setShortcutMaker(ShortcutMaker &shortcuts) { m_shortcuts = &shortcuts; }
    void setListPrinter(ListPrinter &printer) { m_printer = &printer; }
    void setFileRemover(FileRemover &files) { m_files = &files; }
    // What the desktop cannot do; the status bar names it while no macro is selected.
    void setDesktopLimits(DesktopLimits limits) { m_limits = std::move(limits); }

    // Start-up: list, hot keys, empty trigger memory.
    void FormCreate();
    void LoadMacroList();
    // The rows the list shows now; filled at start-up, whether the window was shown or not.
    const std::vector<MacroListRow> &listRows() const { return m_rows; }
    void ProcessHotKey(int n);
    void SetPosition();
    void SavePosition();
    // The first start: centred on the screen and shown.
    void showCentred();

    // Events of the form.
    void cmdCloseClick();
    void FormClose();
    void FormResize();
    // key is the released key's code; 112 is F1.
    void FormKeyUp(int key);
    void cmdHelpClick();
    void cmdNewClick();
    void mnuNewClick() { cmdNewClick(); }
    void cmdPropertiesClick();
    void mnuPropertiesClick() { cmdPropertiesClick(); }
    void lvMacroDblClick() { cmdPropertiesClick(); }
    void cmdDeleteMacroClick();
    void mnuDeleteClick() { cmdDeleteMacroClick(); }
    void mnuDesktopClick() { createShortcut(ShellFolder::sfDesktop); }
    void mnuStartMenuClick() { createShortcut(ShellFolder::sfStartMenu); }
    void mnuProgramsMenuClick() { createShortcut(ShellFolder::sfPrograms); }
    void mnuStartUpFolderClick() { createShortcut(ShellFolder::sfStartup); }
    void mnuFavoritesClick() { createShortcut(ShellFolder::sfFavorites); }
    void mnuPersonalClick() { createShortcut(ShellFolder::sfPersonal); }
    void mnuPrintClick();
    void lvMacroClick();
    void lvMacroMouseUp();
    void lvMacroKeyUp();

    static constexpr int KeyF1 = 112;
    static constexpr const char *HelpTopic = "Operation";
    static constexpr const char *DeleteQuestion = "Are you sure you want to delete this macro?";

    // The macro's name and the suffix of its kind, read afresh from the catalogue; for a row
    // whose hot key is refused, who holds it.
    std::string statusText(int n) const;
    // The features this desktop lacks, with where to read why; empty where all work.
    std::string desktopText() const;

private:
    MainWindowView &view();
    void setSelectionCommands(bool enabled, bool withEditButton);
    void createShortcut(ShellFolder folder);
    // Runs an editor with hot keys inert, however it ends.
    template <typename F> void editing(F &&openEditor);
    void deleteMacro(int row);
    // Marks the rows whose hot key never reaches their macro.
    void markRefusedHotKeys(std::vector<MacroListRow> &rows) const;

    Catalogue &m_catalogue;
    ErrorDisplay &m_errors;
    MainWindowServices &m_services;
    KeyNameLookup m_keyName;
    MainWindowView *m_view = nullptr;
    std::function<MainWindowView &()> m_makeView;
    std::string m_dataFolder;
    HelpViewer *m_help = nullptr;
    bool m_editorOpen = false;
    ShortcutMaker *m_shortcuts = nullptr;
    ListPrinter *m_printer = nullptr;
    FileRemover *m_files = nullptr;
    std::vector<MacroListRow> m_rows;
    DesktopLimits m_limits;
};

} // namespace quorvel
