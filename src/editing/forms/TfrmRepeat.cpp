// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmRepeat.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel {

TfrmRepeat::TfrmRepeat(InsertionModel &model, QWidget *parent)
    : CommandDialog(model, insertion::Window::frmRepeat,
        QStringLiteral("Number of Times to Repeat"), "edtTemp",
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint,
        parent)
{
    setObjectName(QStringLiteral("frmRepeat"));
    // Neither button is the default or the cancel button.
    setEscapeCancels(false);
    auto *before = new QLabel(QStringLiteral("Repeat this sequence"), this);
    edtRepCount = numberEdit(this, "edtRepCount", "Repeat Count");
    before->setBuddy(edtRepCount);
    auto *after = new QLabel(QStringLiteral("times."), this);
    auto *explanation = new QLabel(
        QStringLiteral("Use this function to repeat all or a part of this macro a given number "
                       "of times.  Make sure that you end the repetition with an end repeat "
                       "command later in the macro."),
        this);
    explanation->setWordWrap(true);
    cmdOK = makeButton(QStringLiteral("&OK"), "cmdOK");
    cmdCancel = makeButton(QStringLiteral("&Cancel"), "cmdCancel");

    auto *count = new QHBoxLayout;
    count->addWidget(before);
    count->addWidget(edtRepCount);
    count->addWidget(after);
    count->addStretch();
    auto *buttons = buttonRow(cmdOK, cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(count);
    layout->addWidget(explanation);
    layout->addLayout(buttons);
    setFixedWidthAndHeight(340);

    bindText(edtRepCount, m_model.repeat().count);
    connect(cmdOK, &QPushButton::clicked, this, [this] { m_model.repeatOK(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_model.cancel(which()); });
}

void TfrmRepeat::loadFields()
{
    beginLoading();
    edtRepCount->setText(QString::fromStdString(m_model.repeat().count));
    endLoading();
}

} // namespace quorvel
