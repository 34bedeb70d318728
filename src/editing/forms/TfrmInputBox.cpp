// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmInputBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel {

TfrmInputBox::TfrmInputBox(InsertionModel &model, QWidget *parent)
    : CommandDialog(model, insertion::Window::frmInputBox, QStringLiteral("Input Box"), "edtText",
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint,
        parent)
{
    setObjectName(QStringLiteral("frmInputBox"));
    auto *label = new QLabel(
        QStringLiteral("Enter the text that will appear as the title of this input box."), this);
    label->setWordWrap(true);
    edtInputName = new QLineEdit(this);
    edtInputName->setObjectName(QStringLiteral("edtInputName"));
    edtInputName->setAccessibleName(QStringLiteral("Input Box Title"));
    edtInputName->setMaxLength(insertion::MaxInputTitle);
    label->setBuddy(edtInputName);
    cmdOK = makeButton(QStringLiteral("&OK"), "cmdOK");
    cmdCancel = makeButton(QStringLiteral("&Cancel"), "cmdCancel");
    cmdOK->setDefault(true);

    auto *buttons = buttonRow(cmdOK, cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edtInputName);
    layout->addLayout(buttons);
    setFixedWidthAndHeight(360);

    bindText(edtInputName, m_model.inputBox().title);
    connect(cmdOK, &QPushButton::clicked, this, [this] { m_model.inputBoxOK(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_model.cancel(which()); });
}

void TfrmInputBox::loadFields()
{
    beginLoading();
    edtInputName->setText(QString::fromStdString(m_model.inputBox().title));
    endLoading();
}

} // namespace quorvel
