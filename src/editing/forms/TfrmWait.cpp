// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmWait.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quorvel {

TfrmWait::TfrmWait(InsertionModel &model, QWidget *parent)
    : CommandDialog(model, insertion::Window::frmWait, QStringLiteral("Wait Time"), "edtTemp",
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint, parent)
{
    setObjectName(QStringLiteral("frmWait"));
    auto *label = new QLabel(QStringLiteral("Please enter the time to wait:"), this);
    QLineEdit *edtTime = nullptr;
    auto *time = makeTimeRow(m_model.wait().time, m_model.wait().minutes, edtTime);
    label->setBuddy(edtTime);
    setInitialFocus(edtTime);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(time);
    layout->addLayout(okCancelRow([this] { m_model.waitOK(); }, true));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace quorvel
