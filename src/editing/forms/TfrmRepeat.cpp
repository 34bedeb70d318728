// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmRepeat.h"

#include "components/forms/FormWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
    auto *edtRepCount = numberEdit(this, "edtRepCount", "Repeat Count");
    before->setBuddy(edtRepCount);
    bindText(edtRepCount, m_model.repeat().count);
    setInitialFocus(edtRepCount);
    auto *after = new QLabel(QStringLiteral("times."), this);
    auto *explanation = wrapped(
        QStringLiteral("Use this function to repeat all or a part of this macro a given number "
                       "of times.  Make sure that you end the repetition with an end repeat "
                       "command later in the macro."),
        this);

    auto *count = new QHBoxLayout;
    count->addWidget(before);
    count->addWidget(edtRepCount);
    count->addWidget(after);
    count->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(count);
    layout->addWidget(explanation);
    layout->addLayout(okCancelRow([this] { m_model.repeatOK(); }, false));
    setFixedWidthAndHeight(340);
}

} // namespace quorvel
