#include "app/ApplicationFormModel.h"

#include "app/CommandLine.h"
#include "catalogue/Catalogue.h"
#include "mainwindow/MainWindowModel.h"

#include <cassert>

namespace quorvel {

ApplicationFormModel::ApplicationFormModel(MainWindowModel &frmMain, Catalogue &catalogue,
    ErrorDisplay &errors, EventPump &pump, ApplicationFormServices &services)
    : m_frmMain(frmMain)
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
    const bool ok = runGuarded(m_errors, [&] {
        const auto result = quorvel::DoCommandLine(
            arguments, m_catalogue, [this](int n) { m_frmMain.ProcessHotKey(n); },
            [this] { m_pump.processMessages(); });
        m_closeWhenDone = result.closeWhenDone;
    });
    if (ok)
        view().setPlaybackTimer(true);
    return ok;
}

void ApplicationFormModel::showOnFirstRun()
{
    if (!m_catalogue.store().readBool(settings::Main, settings::FirstRun, true))
        return;
    m_frmMain.showCentred();
    runGuarded(m_errors,
        [this] { m_catalogue.store().writeString(settings::Main, settings::FirstRun, "0"); });
}

void ApplicationFormModel::SetPosition()
{
    m_frmMain.SetPosition();
}

void ApplicationFormModel::SavePosition()
{
    m_frmMain.SavePosition();
}

void ApplicationFormModel::PlaybackTimerTimer()
{
    if (!m_closeWhenDone)
        return;
    const auto status = m_services.lastRunStatus();
    if (status == "True" || status == "NoRecord")
        m_services.endProgram();
}

void ApplicationFormModel::FormClose()
{
    SavePosition();
    m_services.endProgram();
}

} // namespace quorvel
