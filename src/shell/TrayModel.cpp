// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/TrayModel.h"

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "shell/ListPrinter.h"
#include "shell/ShellLink.h"

#include <cassert>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

std::string cutTip(std::string_view tip)
{
    return std::string(tip.substr(0, tray::TipLimit));
}

std::string webPage(std::string_view path)
{
    return "https://" + std::string(tray::WebHost) + std::string(path);
}

AutostartEntry::AutostartEntry(const std::string &autostartFolder, std::string program)
    : m_file(autostartFolder + "/" + std::string(tray::AppId) + ".desktop")
    , m_program(std::move(program))
{
}

bool AutostartEntry::exists() const
{
    struct stat st
    {
    };
    return ::stat(m_file.c_str(), &st) == 0;
}

void AutostartEntry::write() const
{
    // No folder found (no HOME) leaves a bare "/name", which the link refuses to write.
    TPBShellLink link(ShellFolders {});
    link.SetFileName(m_file);
    link.Name = "Quorvel";
    link.Description = "Runs your macros by their hot keys";
    // No arguments: the program starts hidden in the tray.
    link.Target = m_program;
    link.FileIcon.FileName = std::string(tray::AppId);
    link.Save();
}

void AutostartEntry::remove() const
{
    if (::unlink(m_file.c_str()) != 0 && errno != ENOENT)
        throw Error(kWriteError);
}

const std::vector<TrayMenuItem> &trayMenu()
{
    static const std::vector<TrayMenuItem> menu {
        { "Open1", "&Open", false, {} },
        { "mnuPrintMacros", "&Print Macro List", false, {} },
        { "Help1", "&Help", false,
            {
                { "mnuOperation", "&Operation", false, {} },
                { "mnuShowHints", "&Show Hints", true, {} },
                { "N6", "&Frequently Asked Questions", false, {} },
                { "N5", "&Technical Support", false, {} },
                { "N4", "", false, {} },
                { "N3", "&About...", false, {} },
            } },
        { "N2", "", false, {} },
        { "mnuWebSite", "&Visit Ostrin on the Web...", false,
            {
                { "M1", "Main Site (" + std::string(tray::WebHost) + ")", false, {} },
                { "U1", "Upgrade Quorvel", false, {} },
                { "O2", "Other Products", false, {} },
                { "T1", "Technical Support", false, {} },
            } },
        { "N1", "", false, {} },
        { "mnuStartWithDesktop", "Start with the Desktop", true, {} },
        { "mnuClose", "&Exit", false, {} },
    };
    return menu;
}

TrayModel::TrayModel(TrayDependencies deps)
    : m_deps(deps)
{
}

TrayView &TrayModel::view()
{
    assert(m_view);
    return *m_view;
}

void TrayModel::FormCreate()
{
    m_openEnabled = false;
    view().setOpenEnabled(false);
    m_showHints = m_deps.store.readBool(settings::Main, settings::ShowHints, true);
    view().setShowHintsChecked(m_showHints);
    refreshStartWithDesktop();
}

void TrayModel::enableOpen()
{
    m_openEnabled = true;
    view().setOpenEnabled(true);
}

void TrayModel::hintWindowClosed(bool showHints)
{
    if (!showHints) {
        runGuarded(m_deps.errors,
            [this] { m_deps.store.writeBool(settings::Main, settings::ShowHints, false); });
    }
    m_showHints = showHints;
    view().setShowHintsChecked(showHints);
}

void TrayModel::choose(std::string_view name)
{
    struct Handler
    {
        std::string_view name;
        void (TrayModel::*click)();
    };
    static constexpr Handler handlers[] = {
        { "Open1", &TrayModel::Open1Click },
        { "mnuPrintMacros", &TrayModel::mnuPrintMacrosClick },
        { "mnuOperation", &TrayModel::mnuOperationClick },
        { "mnuShowHints", &TrayModel::mnuShowHintsClick },
        { "mnuStartWithDesktop", &TrayModel::mnuStartWithDesktopClick },
        { "N6", &TrayModel::N6Click },
        { "N5", &TrayModel::N5Click },
        { "N3", &TrayModel::N3Click },
        { "M1", &TrayModel::M1Click },
        { "U1", &TrayModel::U1Click },
        { "O2", &TrayModel::O2Click },
        { "T1", &TrayModel::T1Click },
        { "mnuClose", &TrayModel::mnuCloseClick },
    };
    for (const auto &h : handlers) {
        if (h.name == name) {
            (this->*h.click)();
            return;
        }
    }
}

void TrayModel::TrayIcon1Click()
{
    // A StatusNotifier host never sends the double click; its activation stands in for it.
    if (m_host == TrayHost::StatusNotifier)
        TrayIcon1DblClick();
}

void TrayModel::TrayIcon1DblClick()
{
    if (!m_openEnabled)
        return;
    runGuarded(m_deps.errors, [this] {
        m_deps.services.restorePlacement();
        m_deps.services.showMainWindow();
        m_deps.pump.processMessages();
        m_deps.services.activateMainWindow();
    });
}

void TrayModel::Open1Click()
{
    if (!m_openEnabled)
        return;
    runGuarded(m_deps.errors, [this] {
        m_deps.services.restorePlacement();
        m_deps.services.showMainWindow();
        m_deps.services.raiseMainWindow();
    });
}

void TrayModel::mnuPrintMacrosClick()
{
    if (m_deps.printer)
        runGuarded(m_deps.errors, [this] { m_deps.printer->printMacroList(); });
}

void TrayModel::mnuOperationClick()
{
    if (m_deps.help)
        m_deps.help->showHelp(help::Operation);
}

void TrayModel::N6Click()
{
    if (m_deps.help)
        m_deps.help->showHelp(help::Faq);
}

void TrayModel::mnuShowHintsClick()
{
    const bool checked = m_showHints;
    // The item follows the catalogue: a failed write leaves both as they were.
    runGuarded(m_deps.errors, [&] {
        m_deps.store.writeBool(settings::Main, settings::ShowHints, !checked);
        m_showHints = !checked;
    });
    view().setShowHintsChecked(m_showHints);
}

void TrayModel::refreshStartWithDesktop()
{
    m_startWithDesktop = m_deps.autostart && m_deps.autostart->exists();
    view().setStartWithDesktopChecked(m_startWithDesktop);
}

void TrayModel::mnuStartWithDesktopClick()
{
    if (m_deps.autostart) {
        // The item's mark as the user saw it says what the click asks for.
        runGuarded(m_deps.errors, [this] {
            if (m_startWithDesktop)
                m_deps.autostart->remove();
            else
                m_deps.autostart->write();
        });
    }
    refreshStartWithDesktop();
}

void TrayModel::N3Click()
{
    view().showAbout();
}

void TrayModel::openWeb(std::string_view path)
{
    m_deps.launcher.open(webPage(path), "", "");
}

void TrayModel::mnuCloseClick()
{
    if (m_deps.services.mainWindowLeft() != tray::ParkedLeft)
        m_deps.services.savePlacement();
    m_deps.services.endProgram();
}

} // namespace quorvel
