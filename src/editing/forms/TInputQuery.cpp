// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TInputQuery.h"

#include "components/forms/FormWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace quorvel {

TInputQuery::TInputQuery(QWidget *parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("InputQuery"));
    setModal(true);
    lblPrompt = new QLabel(this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setWordWrap(true);
    edtAnswer = named(new QLineEdit(this), "edtAnswer", "Answer");
    lblPrompt->setBuddy(edtAnswer);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addWidget(edtAnswer);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<std::string> TInputQuery::ask(
    const std::string &caption, const std::string &prompt, const std::string &value)
{
    setWindowTitle(qs(caption));
    lblPrompt->setText(qs(prompt));
    edtAnswer->setText(qs(value));
    constexpr int Width = 360;
    setFixedSize(Width, hasHeightForWidth() ? heightForWidth(Width) : sizeHint().height());
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return edtAnswer->text().toStdString();
}

void TInputQuery::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    raise();
    activateWindow();
    edtAnswer->setFocus(Qt::OtherFocusReason);
    edtAnswer->selectAll();
}

} // namespace quorvel
