#include "forms/TQuorvel.h"

#include "app/frame/CommandLine.h"
#include "forms/TfrmMain.h"
#include "qt/QtPlatform.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace quorvel {

TQuorvel::TQuorvel(TfrmMain &frmMain, Catalogue &catalogue, ErrorDisplay &errors,
    std::function<std::string()> lastRunStatus)
    : QWidget(nullptr, Qt::Tool)
    , m_frmMain(frmMain)
    , m_catalogue(catalogue)
    , m_errors(errors)
    , m_lastRunStatus(std::move(lastRunStatus))
{
    setObjectName(QStringLiteral("Quorvel"));
    PlaybackTimer.setInterval(1000);
    connect(&PlaybackTimer, &QTimer::timeout, this, &TQuorvel::PlaybackTimerTimer);
}

void TQuorvel::FormCreate()
{
    QCoreApplication::processEvents();
    move(-5000, 0);
    hide();
    QCoreApplication::processEvents();
}

bool TQuorvel::DoCommandLine(const std::vector<std::string> &arguments)
{
    m_closeWhenDone = false;
    const bool ok = runGuarded(m_errors, [&] {
        const auto result = quorvel::DoCommandLine(
            arguments, m_catalogue, [this](int n) { m_frmMain.ProcessHotKey(n); },
            [] { QCoreApplication::processEvents(); });
        m_closeWhenDone = result.closeWhenDone;
    });
    // After a failed run the timer stays off, so /CLOSE cannot end the program.
    if (ok)
        PlaybackTimer.start();
    return ok;
}

void TQuorvel::PlaybackTimerTimer()
{
    if (!m_closeWhenDone || !m_lastRunStatus)
        return;
    const auto status = m_lastRunStatus();
    if (status == "True" || status == "NoRecord")
        QCoreApplication::quit();
}

void TQuorvel::SetPosition()
{
    m_frmMain.SetPosition();
}

void TQuorvel::SavePosition()
{
    m_frmMain.SavePosition();
}

void TQuorvel::closeEvent(QCloseEvent *event)
{
    SavePosition();
    event->accept();
    QCoreApplication::quit();
}

} // namespace quorvel
