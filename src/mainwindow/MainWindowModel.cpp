#include "mainwindow/MainWindowModel.h"

#include "catalogue/Catalogue.h"

#include <cassert>

namespace quorvel {

MainWindowModel::MainWindowModel(
    Catalogue &catalogue, ErrorDisplay &errors, MainWindowServices &services, KeyNameLookup keyName)
    : m_catalogue(catalogue)
    , m_errors(errors)
    , m_services(services)
    , m_keyName(std::move(keyName))
{
}

MainWindowView &MainWindowModel::view()
{
    assert(m_view);
    return *m_view;
}

void MainWindowModel::FormCreate()
{
    LoadMacroList();
    runGuarded(m_errors, [this] { m_services.BindHotKeys(); });
    m_scanInterval = m_catalogue.store().readInteger(
        settings::Main, settings::SearchInterval, settings::SearchIntervalDefault);
    setScanTimerEnabled(true);
    view().setWaitTimer(WaitTimerDesignInterval, true);
    runGuarded(m_errors, [this] { m_catalogue.resetTriggerMemory(); });
}

void MainWindowModel::LoadMacroList()
{
    view().loadRows(quorvel::LoadMacroList(m_catalogue, m_keyName));
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

void MainWindowModel::Timer1Timer()
{
    runGuarded(m_errors, [this] { m_services.scanTick(); });
}

void MainWindowModel::tmr1Timer()
{
    m_services.waitTick();
}

void MainWindowModel::setScanTimerEnabled(bool enabled)
{
    view().setScanTimer(m_scanInterval, enabled && m_scanInterval > 0);
}

void MainWindowModel::setWaitTimer(int intervalMs, bool enabled)
{
    view().setWaitTimer(intervalMs, enabled);
}

} // namespace quorvel
