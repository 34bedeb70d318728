// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmGetVar.h"

#include "components/forms/FormWidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel {

TfrmGetVar::TfrmGetVar(QWidget *parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmGetVar"));
    setWindowTitle(QStringLiteral("Quorvel Input Box"));
    setModal(true);

    lblPrompt = new QLabel(this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setWordWrap(true);
    edtVal = named(new QLineEdit(this), "edtVal", "Value");
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addWidget(edtVal);
    layout->addWidget(cmdOK, 0, Qt::AlignRight);
    setMinimumWidth(320);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

std::string TfrmGetVar::ask(const std::string &prompt)
{
    lblPrompt->setText(qs(prompt));
    exec();
    auto answer = edtVal->text().toStdString();
    edtVal->clear();
    return answer;
}

void TfrmGetVar::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    raise();
    activateWindow();
    edtVal->setFocus();
}

void TfrmGetVar::reject()
{
    // Esc does not close it: the form closes only through OK, as it has no close box.
}

} // namespace quorvel
