// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmWaitforWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel {

namespace {
QLabel *wrapped(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}
} // namespace

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
    edtWinTitle = new QLineEdit(this);
    edtWinTitle->setObjectName(QStringLiteral("edtWinTitle"));
    edtWinTitle->setAccessibleName(QStringLiteral("Window Title to Wait For"));
    titleLabel->setBuddy(edtWinTitle);
    auto *example =
        wrapped(QStringLiteral("Example: This window's title is Wait for a Window."), this);
    auto *question = wrapped(QStringLiteral("How long do you want to wait for this window before "
                                            "timing out and continuing the macro?"),
        this);
    auto *time = makeTimeRow(edtTime, optSeconds, optMinutes);
    cmdOK = makeButton(QStringLiteral("&OK"), "cmdOK");
    cmdCancel = makeButton(QStringLiteral("&Cancel"), "cmdCancel");

    auto *buttons = buttonRow(cmdOK, cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(titleLabel);
    layout->addWidget(edtWinTitle);
    layout->addWidget(example);
    layout->addWidget(question);
    layout->addLayout(time);
    layout->addLayout(buttons);
    setFixedWidthAndHeight(400);

    bindText(edtWinTitle, m_model.waitforWindow().title);
    bindText(edtTime, m_model.waitforWindow().time);
    bindChoice(optMinutes, m_model.waitforWindow().minutes);
    connect(cmdOK, &QPushButton::clicked, this, [this] { m_model.waitforWindowOK(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_model.cancel(which()); });
}

void TfrmWaitforWindow::loadFields()
{
    beginLoading();
    const auto &f = m_model.waitforWindow();
    edtWinTitle->setText(QString::fromStdString(f.title));
    edtTime->setText(QString::fromStdString(f.time));
    (f.minutes ? optMinutes : optSeconds)->setChecked(true);
    endLoading();
}

} // namespace quorvel
