// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/CommandDialog.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace quorvel {

CommandDialog::CommandDialog(InsertionModel &model, insertion::Window which, const QString &caption,
    const char *carrierName, Qt::WindowFlags flags, QWidget *parent)
    : QDialog(parent, flags)
    , m_model(model)
    , m_which(which)
{
    setWindowTitle(caption);
    setModal(true);
    m_carrier = new QLineEdit(this);
    m_carrier->setObjectName(QLatin1String(carrierName));
    m_carrier->hide();
}

QPushButton *CommandDialog::makeButton(const QString &caption, const char *name)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    // Only an explicit default button answers Enter.
    button->setAutoDefault(false);
    return button;
}

QRadioButton *CommandDialog::makeChoice(const QString &caption, const char *name)
{
    auto *choice = new QRadioButton(caption, this);
    choice->setObjectName(QLatin1String(name));
    choice->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    return choice;
}

QHBoxLayout *CommandDialog::makeTimeRow(
    QLineEdit *&time, QRadioButton *&seconds, QRadioButton *&minutes)
{
    time = numberEdit(this, "edtTime", "Time");
    seconds = makeChoice(QStringLiteral("&Seconds"), "optSeconds");
    minutes = makeChoice(QStringLiteral("&Minutes"), "optMinutes");
    auto *row = new QHBoxLayout;
    row->addWidget(time);
    row->addWidget(seconds);
    row->addWidget(minutes);
    row->addStretch();
    return row;
}

QHBoxLayout *CommandDialog::buttonRow(QPushButton *ok, QPushButton *cancel)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

void CommandDialog::setFixedWidthAndHeight(int width)
{
    setFixedSize(width, hasHeightForWidth() ? heightForWidth(width) : sizeHint().height());
}

void CommandDialog::closeDialog()
{
    QDialog::done(QDialog::Accepted);
}

void CommandDialog::showEvent(QShowEvent *event)
{
    loadFields();
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    raise();
    activateWindow();
    QLineEdit *first = initialFocus();
    first->setFocus(Qt::OtherFocusReason);
    first->selectAll();
}

void CommandDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && !m_escapeCancels) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CommandDialog::reject()
{
    m_model.cancel(m_which);
}

void CommandDialog::bindText(QLineEdit *edit, std::string &field)
{
    connect(edit, &QLineEdit::textChanged, this, [this, &field](const QString &text) {
        if (!loading())
            field = text.toStdString();
    });
}

void CommandDialog::bindChoice(QAbstractButton *button, bool &field)
{
    connect(button, &QAbstractButton::toggled, this, [this, &field](bool on) {
        if (!loading())
            field = on;
    });
}

QLineEdit *numberEdit(QWidget *parent, const char *name, const char *accessibleName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(QLatin1String(accessibleName));
    edit->setInputMask(QStringLiteral("000;_"));
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    return edit;
}

} // namespace quorvel
