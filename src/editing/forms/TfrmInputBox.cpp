// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmInputBox.h"

#include "components/forms/FormWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quorvel {

TfrmInputBox::TfrmInputBox(InsertionModel &model, QWidget *parent)
    : CommandDialog(model, insertion::Window::frmInputBox, QStringLiteral("Input Box"), "edtText",
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint,
        parent)
{
    setObjectName(QStringLiteral("frmInputBox"));
    auto *label = wrapped(
        QStringLiteral("Enter the text that will appear as the title of this input box."), this);
    auto *edtInputName = named(new QLineEdit(this), "edtInputName", "Input Box Title");
    edtInputName->setMaxLength(insertion::MaxInputTitle);
    label->setBuddy(edtInputName);
    bindText(edtInputName, m_model.inputBox().title);
    setInitialFocus(edtInputName);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edtInputName);
    layout->addLayout(okCancelRow([this] { m_model.inputBoxOK(); }, true));
    setFixedWidthAndHeight(360);
}

} // namespace quorvel
