// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmHint.h"

#include "components/forms/FormWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace quorvel {

TfrmHint::TfrmHint(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHint"));
    setWindowTitle(QStringLiteral("Quorvel Hints"));
    setModal(true);

    mmoHint = named(new QPlainTextEdit(this), "mmoHint", "Hint");
    mmoHint->setReadOnly(true);
    mmoHint->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmoHint->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto palette = mmoHint->palette();
    palette.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
    mmoHint->setPalette(palette);

    cbShowHint = new QCheckBox(QStringLiteral("Show hints"), this);
    cbShowHint->setObjectName(QStringLiteral("cbShowHint"));
    cbShowHint->setChecked(true);
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cbShowHint);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mmoHint);
    layout->addLayout(buttons);
    resize(400, 220);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

bool TfrmHint::showHintModal(const std::string &text)
{
    mmoHint->setPlainText(qs(text));
    // OK and Esc and the close box all just close it; only the box's state matters.
    exec();
    return cbShowHint->isChecked();
}

void TfrmHint::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    raise();
    activateWindow();
    cmdOK->setFocus();
}

} // namespace quorvel
