// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/MainWindowModel.h"

#include "catalogue/Catalogue.h"
#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "common/ScopeGuard.h"
#include "triggers/HotKeyConflicts.h"

#include <cassert>
#include <cctype>

namespace quorvel {

MainWindowModel::MainWindowModel(
    Catalogue &catalogue, ErrorDisplay &errors, MainWindowServices &services, KeyNameLookup keyName)
    : m_catalogue(catalogue)
    , m_errors(errors)
    , m_services(services)
    , m_keyName(std::move(keyName))
{
}

void MainWindowModel::setView(MainWindowView &view)
{
    m_view = &view;
    if (const std::string lacking = desktopText(); !lacking.empty())
        m_view->setStatusText(lacking);
}

MainWindowView &MainWindowModel::view()
{
    if (!m_view && m_makeView)
        m_view = &m_makeView();
    assert(m_view);
    return *m_view;
}

void MainWindowModel::FormCreate()
{
    LoadMacroList();
    runGuarded(m_errors, [this] { m_services.BindHotKeys(); });
    runGuarded(m_errors, [this] { m_catalogue.resetTriggerMemory(); });
}

void MainWindowModel::LoadMacroList()
{
    m_rows = quorvel::LoadMacroList(m_catalogue, m_keyName);
    markRefusedHotKeys(m_rows);
    if (m_view)
        m_view->loadRows(m_rows);
}

void MainWindowModel::ProcessHotKey(int n)
{
    m_services.ProcessHotKey(n);
}

void MainWindowModel::SetPosition()
{
    const Rect screen = view().screenArea();
    if (const auto placed = storedPlacement(m_catalogue.store(), screen)) {
        view().setWindowGeometry(*placed);
    } else {
        const Rect current = view().windowGeometry();
        view().setWindowGeometry(centred(current.width, current.height, screen));
    }
}

void MainWindowModel::SavePosition()
{
    runGuarded(m_errors, [this] { savePlacement(m_catalogue.store(), view().windowGeometry()); });
}

void MainWindowModel::showCentred()
{
    const Rect current = view().windowGeometry();
    view().setWindowGeometry(centred(current.width, current.height, view().screenArea()));
    view().showWindow();
}

void MainWindowModel::cmdCloseClick()
{
    view().hideWindow();
    SavePosition();
}

void MainWindowModel::FormClose()
{
    if (view().windowVisible())
        SavePosition();
    // The main window is the application's main window: closing it ends the program.
    m_services.endProgram();
}

void MainWindowModel::FormResize()
{
    view().applyLayout(layoutForOuterHeight(view().outerHeight()));
}

void MainWindowModel::FormKeyUp(int key)
{
    if (key == KeyF1)
        cmdHelpClick();
}

void MainWindowModel::cmdHelpClick()
{
    if (m_help)
        runGuarded(m_errors, [this] { m_help->showHelp(HelpTopic); });
}

template <typename F> void MainWindowModel::editing(F &&openEditor)
{
    // An editor hidden for a mouse recording leaves this window reachable; a second editor
    // would reset the running recording.
    if (m_editorOpen)
        return;
    m_editorOpen = true;
    m_services.setEditing(true);
    ScopeGuard done([this] {
        m_services.setEditing(false);
        m_editorOpen = false;
    });
    runGuarded(m_errors, std::forward<F>(openEditor));
}

void MainWindowModel::cmdNewClick()
{
    editing([this] { view().showWizard(); });
}

void MainWindowModel::cmdPropertiesClick()
{
    const int row = view().selectedRow();
    if (row < 0)
        return;
    editing([this, row] { view().showProperties(row + 1); });
}

void MainWindowModel::mnuPrintClick()
{
    if (m_printer)
        runGuarded(m_errors, [this] { m_printer->printMacroList(); });
}

void MainWindowModel::createShortcut(ShellFolder folder)
{
    const int row = view().selectedRow();
    if (row < 0 || !m_shortcuts)
        return;
    runGuarded(m_errors, [&] { m_shortcuts->Shortcut_Create(folder, row + 1); });
}

std::string MainWindowModel::statusText(int n) const
{
    const auto record = m_catalogue.record(n);
    std::string text = record.name + typeCaption(record.type);
    if (n >= 1 && n <= int(m_rows.size()) && m_rows[std::size_t(n - 1)].hotKeyRefused)
        text += " - " + m_rows[std::size_t(n - 1)].hotKeyTip;
    return text;
}

std::string MainWindowModel::desktopText() const
{
    std::string text;
    for (const FeatureVerdict &lack : m_limits.lacking) {
        std::string name = lack.feature;
        name[0] = char(std::tolower(static_cast<unsigned char>(name[0])));
        text += (text.empty() ? "Not on this desktop: " : ", ") + name;
    }
    if (!text.empty() && !m_limits.advice.empty())
        text += ". " + m_limits.advice + ".";
    else if (!text.empty())
        text += ". See \"Where Quorvel works\" in the help.";
    return text;
}

void MainWindowModel::markRefusedHotKeys(std::vector<MacroListRow> &rows) const
{
    const auto doc = m_catalogue.store().document();
    const auto hotKeyOf = [&](int n) { return Catalogue::record(*doc, n).hotKey; };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int n = int(i) + 1;
        const unsigned value = hotKeyOf(n);
        if (value == 0 || (n <= HighestBoundMacro && !m_services.hotKeyRefused(n)))
            continue;
        std::string key = hotKeyText(value, m_keyName);
        if (key.empty())
            key = rows[i].hotKeyText;
        std::string tip;
        if (n > HighestBoundMacro) {
            tip = hotKeyConflict(value, m_catalogue, n, nullptr, m_keyName).text;
        } else {
            // Slots bind in ascending order: a lower slot with the key that was not refused
            // itself took it first. One refused for the same key failed for our reason too.
            int holder = 0;
            for (int m = 1; m < n && holder == 0; ++m) {
                if (hotKeyOf(m) == value && !m_services.hotKeyRefused(m))
                    holder = m;
            }
            if (holder != 0) {
                tip = heldByMacroText(key, Catalogue::listedName(*doc, holder), holder);
            } else if (value == hotkey::StopRecord) {
                tip = "The stop-recording key held " + key + " when the hot keys were bound.";
            } else {
                tip = heldByOtherProgramText(key);
            }
        }
        rows[i].hotKeyRefused = true;
        rows[i].hotKeyTip = tip;
    }
}

void MainWindowModel::setSelectionCommands(bool enabled, bool withEditButton)
{
    view().setCommandEnabled(SelectionCommand::cmdDeleteMacro, enabled);
    view().setCommandEnabled(SelectionCommand::mnuDelete, enabled);
    view().setCommandEnabled(SelectionCommand::mnuProperties, enabled);
    view().setCommandEnabled(SelectionCommand::mnuCreateShortcut, enabled);
    if (withEditButton)
        view().setCommandEnabled(SelectionCommand::cmdProperties, enabled);
}

void MainWindowModel::lvMacroClick()
{
    const int row = view().selectedRow();
    if (view().rowCount() > 0 && row >= 0) {
        view().setStatusText(statusText(row + 1));
        setSelectionCommands(true, false);
    } else {
        setSelectionCommands(false, false);
        view().setStatusText(desktopText());
    }
}

void MainWindowModel::lvMacroMouseUp()
{
    setSelectionCommands(
        view().rowCount() > 0 && view().selectedRow() >= 0 && view().focusedRow() >= 0, true);
}

void MainWindowModel::lvMacroKeyUp()
{
    const int row = view().selectedRow();
    if (view().isForegroundWindow() && row >= 0)
        view().setStatusText(statusText(row + 1));
}

void MainWindowModel::cmdDeleteMacroClick()
{
    const int row = view().selectedRow();
    if (row < 0)
        return;
    if (!view().confirmWarning(DeleteQuestion))
        return;
    runGuarded(m_errors, [this, row] { deleteMacro(row); });
}

void MainWindowModel::deleteMacro(int row)
{
    // The name the user saw: the list no longer mirrors a catalogue changed behind our back,
    // so show what it holds now rather than delete the files or record of another macro.
    const bool listed = std::size_t(row) < m_rows.size();
    const std::string name = listed ? m_rows[std::size_t(row)].caption : std::string();
    if (!listed || !m_catalogue.removeRecord(row + 1, name)) {
        LoadMacroList();
        throw Error(RecordChangedMessage);
    }
    // Only once the record is gone: a catalogue that cannot be written keeps both.
    m_rows.erase(m_rows.begin() + row);
    view().removeRow(row);
    if (m_files)
        removeMacroFiles(*m_files, m_dataFolder, name);
    view().setCommandEnabled(SelectionCommand::cmdDeleteMacro, false);
    view().setCommandEnabled(SelectionCommand::mnuDelete, false);
    view().setCommandEnabled(SelectionCommand::mnuCreateShortcut, false);
    m_services.BindHotKeys();
}

} // namespace quorvel
