// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/InsertionDialogs.h"

#include "components/forms/FileFilter.h"
#include "editing/forms/TInputQuery.h"
#include "editing/forms/TfrmExecute.h"
#include "editing/forms/TfrmInputBox.h"
#include "editing/forms/TfrmRepeat.h"
#include "editing/forms/TfrmWait.h"
#include "editing/forms/TfrmWaitforWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

namespace quorvel {

using insertion::Window;

InsertionDialogs::InsertionDialogs(
    InsertionModel &model, QPlainTextEdit *memo, QLineEdit *edtSpecialKeys, QWidget *wizard)
    : m_memo(memo)
    , m_specialKeys(edtSpecialKeys)
    , m_wizard(wizard)
{
    frmWait = new TfrmWait(model, wizard);
    frmRepeat = new TfrmRepeat(model, wizard);
    frmInputBox = new TfrmInputBox(model, wizard);
    frmWaitforWindow = new TfrmWaitforWindow(model, wizard);
    frmExecute = new TfrmExecute(model, wizard);
    inputBox = new TInputQuery(wizard);
}

CommandDialog *InsertionDialogs::dialog(Window which) const
{
    switch (which) {
    case Window::frmWait:
        return frmWait;
    case Window::frmRepeat:
        return frmRepeat;
    case Window::frmInputBox:
        return frmInputBox;
    case Window::frmWaitforWindow:
        return frmWaitforWindow;
    case Window::frmExecute:
        return frmExecute;
    case Window::frmWizard:
        break;
    }
    return nullptr;
}

QWidget *InsertionDialogs::front() const
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return m_wizard;
}

void InsertionDialogs::insertToken(Window carrier, const std::string &token)
{
    QLineEdit *edit = carrier == Window::frmWizard ? m_specialKeys : dialog(carrier)->carrier();
    edit->setText(QString::fromStdString(token));
    edit->selectAll();
    edit->copy();
    // Over the selection or at the caret, and the clipboard keeps the token.
    m_memo->paste();
}

void InsertionDialogs::setFocus(insertion::Focus focus)
{
    switch (focus) {
    case insertion::Focus::mmoManKeys:
        m_memo->setFocus(Qt::OtherFocusReason);
        return;
    case insertion::Focus::edtWinTitle:
        frmWaitforWindow->focusField("edtWinTitle");
        return;
    case insertion::Focus::edtTime:
        frmWaitforWindow->focusField("edtTime");
        return;
    }
}

void InsertionDialogs::showDialog(Window which)
{
    dialog(which)->exec();
}

void InsertionDialogs::closeDialog(Window which)
{
    dialog(which)->closeDialog();
}

void InsertionDialogs::loadFields(Window which)
{
    dialog(which)->loadFields();
}

std::optional<std::string> InsertionDialogs::inputQuery(
    const std::string &caption, const std::string &prompt, const std::string &value)
{
    return inputBox->ask(caption, prompt, value);
}

void InsertionDialogs::showMessage(const std::string &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quorvel"), QString::fromStdString(text),
        QMessageBox::Ok, front());
    box.exec();
}

std::string InsertionDialogs::chooseFile(const std::string &filter)
{
    return QFileDialog::getOpenFileName(front(), QString(), QString(), qtFilter(filter))
        .toStdString();
}

std::string InsertionDialogs::chooseFolder(const std::string &prompt)
{
    return QFileDialog::getExistingDirectory(front(), QString::fromStdString(prompt)).toStdString();
}

} // namespace quorvel
