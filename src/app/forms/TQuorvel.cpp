#include "app/forms/TQuorvel.h"

#include <QCloseEvent>

namespace quorvel {

TQuorvel::TQuorvel(ApplicationFormModel &model)
    : QWidget(nullptr, Qt::Tool)
    , m_model(model)
{
    setObjectName(QStringLiteral("Quorvel"));
    PlaybackTimer.setInterval(ApplicationFormModel::PlaybackTimerInterval);
    connect(&PlaybackTimer, &QTimer::timeout, this, [this] { m_model.PlaybackTimerTimer(); });
    m_model.setView(*this);
}

void TQuorvel::hideOffScreen()
{
    move(-5000, 0);
    hide();
}

void TQuorvel::setPlaybackTimer(bool running)
{
    if (running)
        PlaybackTimer.start();
    else
        PlaybackTimer.stop();
}

void TQuorvel::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_model.FormClose();
}

} // namespace quorvel
