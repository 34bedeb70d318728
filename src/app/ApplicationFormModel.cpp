// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ApplicationFormModel.h"

#include "app/CommandLine.h"
#include "catalogue/Catalogue.h"
#include "mainwindow/MainWindowModel.h"

#include <cassert>

namespace quorvel {

ApplicationFormModel::ApplicationFormModel(MainWindowModel &mainWindow, Catalogue &catalogue,
    ErrorDisplay &errors, EventPump &pump, ApplicationFormServices &services)
    : m_mainWindow(mainWindow)
    , m_catalogue(catalogue)
    , m_errors(errors)
    , m_pump(pump)
    , m_services(services)
{
}

ApplicationFormView &ApplicationFormModel::view()
{
    assert(m_view);
    return *m_view;
}

void ApplicationFormModel::FormCreate()
{
    m_pump.processMessages();
    view().hideOffScreen();
    m_pump.processMessages();
}

bool ApplicationFormModel::DoCommandLine(const std::vector<std::string> &arguments)
{
    m_closeWhenDone = false;
    m_runs = 0;
    const bool ok = runGuarded(m_errors, [&] {
        const auto result = quorvel::DoCommandLine(
            arguments, m_catalogue,
            [this](int n) {
                ++m_runs;
                m_mainWindow.ProcessHotKey(n);
            },
            [this] { m_pump.processMessages(); });
        m_closeWhenDone = result.closeWhenDone;
    });
    m_runFailed = !ok;
    if (ok)
        view().setPlaybackTimer(true);
    return ok;
}

void ApplicationFormModel::showOnFirstRun()
{
    if (!m_catalogue.store().readBool(settings::Main, settings::FirstRun, true))
        return;
    m_mainWindow.showCentred();
    runGuarded(m_errors,
        [this] { m_catalogue.store().writeString(settings::Main, settings::FirstRun, "0"); });
}

bool ApplicationFormModel::runOver() const
{
    const auto status = m_services.lastRunStatus();
    return status == "True" || status == "NoRecord";
}

void ApplicationFormModel::showWithoutTray()
{
    if (m_closeWhenDone && !m_runFailed && m_runs > 0)
        return;
    if (m_runFailed || m_runs == 0 || runOver())
        m_mainWindow.showCentred();
    else
        m_showWhenDone = true;
}

void ApplicationFormModel::SetPosition()
{
    m_mainWindow.SetPosition();
}

void ApplicationFormModel::SavePosition()
{
    m_mainWindow.SavePosition();
}

void ApplicationFormModel::PlaybackTimerTimer()
{
    if (!m_closeWhenDone && !m_showWhenDone)
        return;
    if (!runOver())
        return;
    if (m_closeWhenDone) {
        m_services.endProgram();
        return;
    }
    m_showWhenDone = false;
    m_mainWindow.showCentred();
}

void ApplicationFormModel::FormClose()
{
    SavePosition();
    m_services.endProgram();
}

} // namespace quorvel
