// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmWaitforWindow.h"

#include "components/forms/FormWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel {

TfrmWaitforWindow::TfrmWaitforWindow(InsertionModel &model, QWidget *parent)
    : CommandDialog(model, insertion::Window::frmWaitforWindow, QStringLiteral("Wait for a Window"),
        "edtTemp",
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint,
        parent)
{
    setObjectName(QStringLiteral("frmWaitforWindow"));
    setEscapeCancels(false);
    auto *explanation = wrapped(
        QStringLiteral("Use this function to wait for a particular window to become visible "
                       "before continuing with your macro.  You can look for both application "
                       "windows and dialog boxes.  This function is not case sensitive, but the "
                       "window title to look for must be typed exactly as it will appear on the "
                       "actual window."),
        this);
    auto *titleLabel = new QLabel(QStringLiteral("Window Title to Wait For"), this);
    auto *edtWinTitle = named(new QLineEdit(this), "edtWinTitle", "Window Title to Wait For");
    titleLabel->setBuddy(edtWinTitle);
    bindText(edtWinTitle, m_model.waitforWindow().title);
    setInitialFocus(edtWinTitle);
    auto *example =
        wrapped(QStringLiteral("Example: This window's title is Wait for a Window."), this);
    auto *question = wrapped(QStringLiteral("How long do you want to wait for this window before "
                                            "timing out and continuing the macro?"),
        this);
    QLineEdit *edtTime = nullptr;
    auto *time =
        makeTimeRow(m_model.waitforWindow().time, m_model.waitforWindow().minutes, edtTime);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(titleLabel);
    layout->addWidget(edtWinTitle);
    layout->addWidget(example);
    layout->addWidget(question);
    layout->addLayout(time);
    layout->addLayout(okCancelRow([this] { m_model.waitforWindowOK(); }, false));
    setFixedWidthAndHeight(400);
}

} // namespace quorvel
