// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/CommandDialog.h"

#include "common/ScopeGuard.h"
#include "components/forms/FormWidgets.h"

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
    return pushButton(name, caption, this);
}

QHBoxLayout *CommandDialog::makeTimeRow(std::string &time, bool &minutes, QLineEdit *&edit)
{
    edit = numberEdit(this, "edtTime", "Time");
    auto *seconds = choice("optSeconds", QStringLiteral("&Seconds"), this);
    auto *inMinutes = choice("optMinutes", QStringLiteral("&Minutes"), this);
    bindText(edit, time);
    bindChoice(inMinutes, seconds, minutes);
    auto *row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(seconds);
    row->addWidget(inMinutes);
    row->addStretch();
    return row;
}

QHBoxLayout *CommandDialog::okCancelRow(std::function<void()> ok, bool okIsDefault)
{
    auto *cmdOK = makeButton(QStringLiteral("&OK"), "cmdOK");
    auto *cmdCancel = makeButton(QStringLiteral("&Cancel"), "cmdCancel");
    cmdOK->setDefault(okIsDefault);
    connect(cmdOK, &QPushButton::clicked, this, std::move(ok));
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_model.cancel(m_which); });
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cmdOK);
    row->addWidget(cmdCancel);
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

void CommandDialog::focusField(const char *name)
{
    selectField(findChild<QLineEdit *>(QLatin1String(name)));
}

void CommandDialog::loadFields()
{
    m_loading = true;
    const ScopeGuard loaded([this] { m_loading = false; });
    for (const auto &load : m_loaders)
        load();
}

void CommandDialog::showEvent(QShowEvent *event)
{
    loadFields();
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    raise();
    activateWindow();
    selectField(m_first);
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
        if (!m_loading)
            field = text.toStdString();
    });
    m_loaders.emplace_back([edit, &field] { edit->setText(qs(field)); });
}

void CommandDialog::bindChoice(QAbstractButton *on, QAbstractButton *off, bool &field)
{
    connect(on, &QAbstractButton::toggled, this, [this, &field](bool checked) {
        if (!m_loading)
            field = checked;
    });
    m_loaders.emplace_back([on, off, &field] { (field ? on : off)->setChecked(true); });
}

void CommandDialog::selectField(QLineEdit *edit)
{
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

QLineEdit *numberEdit(QWidget *parent, const char *name, const char *accessibleName)
{
    auto *edit = named(new QLineEdit(parent), name, accessibleName);
    edit->setInputMask(QStringLiteral("000;_"));
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    return edit;
}

} // namespace quorvel
