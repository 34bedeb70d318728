// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/EditorModel.h"

#include "platform/Dialogs.h"
#include "shell/HelpViewer.h"
#include "triggers/HotKeyConflicts.h"

namespace quorvel {

EditorModel::EditorModel(EditorDeps deps, EditorServices &services)
    : m_d(std::move(deps))
    , m_session(m_d.journal, m_d.errors, services)
{
}

void EditorModel::setWindow(EditorWindowView &window)
{
    m_window = &window;
    m_session.setWindow(window);
}

void EditorModel::FormKeyUp(int key)
{
    if (key == editor::KeyF1 && m_d.help)
        runGuarded(m_d.errors, [this] { m_d.help->showHelp(help::Operation); });
}

void EditorModel::cmdDesktopsHelpClick()
{
    if (m_d.help)
        runGuarded(m_d.errors, [this] { m_d.help->showHelp(help::Desktops); });
}

void EditorModel::showDesktopLimits()
{
    m_window->showRecordingNote(recordingUnavailable());
    m_window->setDesktopsHelpVisible(!m_d.limits.why(feature::HotKeys).empty());
}

std::string EditorModel::hotKeyHolder(unsigned key, int self) const
{
    if (const std::string why = m_d.limits.why(feature::HotKeys); !why.empty())
        return "Hot keys cannot be bound on this desktop: " + why + ".";
    return hotKeyConflict(key, m_d.catalogue, self, m_d.hotKeys, m_d.keyName).text;
}

bool EditorModel::browse(Browse what, std::string &field)
{
    auto chosen = what == Browse::File ? m_window->chooseFile(editor::FileFilter)
                                       : m_window->chooseFolder(editor::FolderPrompt);
    if (chosen.empty())
        return false;
    field = std::move(chosen);
    return true;
}

} // namespace quorvel
