#pragma once

#include "app/ApplicationFormModel.h"

#include <QTimer>
#include <QWidget>

namespace quorvel {

// The hidden application window. Its rules live in the model.
class TQuorvel : public QWidget, public ApplicationFormView
{
    Q_OBJECT

public:
    explicit TQuorvel(ApplicationFormModel &model);

    QTimer PlaybackTimer;

    // ApplicationFormView
    void hideOffScreen() override;
    void setPlaybackTimer(bool running) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ApplicationFormModel &m_model;
};

} // namespace quorvel
