// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmWait.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel {

TfrmWait::TfrmWait(InsertionModel &model, QWidget *parent)
    : CommandDialog(model, insertion::Window::frmWait, QStringLiteral("Wait Time"), "edtTemp",
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint, parent)
{
    setObjectName(QStringLiteral("frmWait"));
    auto *label = new QLabel(QStringLiteral("Please enter the time to wait:"), this);
    auto *time = makeTimeRow(edtTime, optSeconds, optMinutes);
    label->setBuddy(edtTime);
    cmdOK = makeButton(QStringLiteral("&OK"), "cmdOK");
    cmdCancel = makeButton(QStringLiteral("&Cancel"), "cmdCancel");
    cmdOK->setDefault(true);

    auto *buttons = buttonRow(cmdOK, cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(time);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    bindText(edtTime, m_model.wait().time);
    bindChoice(optMinutes, m_model.wait().minutes);
    connect(cmdOK, &QPushButton::clicked, this, [this] { m_model.waitOK(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_model.cancel(which()); });
}

void TfrmWait::loadFields()
{
    beginLoading();
    const auto &f = m_model.wait();
    edtTime->setText(QString::fromStdString(f.time));
    (f.minutes ? optMinutes : optSeconds)->setChecked(true);
    endLoading();
}

} // namespace quorvel
