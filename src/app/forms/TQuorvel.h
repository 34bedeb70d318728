#pragma once

#include "platform/Dialogs.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class Catalogue;
class TfrmMain;

// The hidden application window: command-line runs, the end after a /CLOSE run, placement.
class TQuorvel : public QWidget
{
    Q_OBJECT

public:
    TQuorvel(TfrmMain &frmMain, Catalogue &catalogue, ErrorDisplay &errors,
        std::function<std::string()> lastRunStatus);

    void FormCreate();
    // False when a run failed: the remaining arguments were not processed.
    bool DoCommandLine(const std::vector<std::string> &arguments);
    void SetPosition();
    void SavePosition();

    bool closeWhenDone() const { return m_closeWhenDone; }
    QTimer PlaybackTimer;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void PlaybackTimerTimer();

    TfrmMain &m_frmMain;
    Catalogue &m_catalogue;
    ErrorDisplay &m_errors;
    std::function<std::string()> m_lastRunStatus;
    bool m_closeWhenDone = false;
};

} // namespace quorvel
