// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/InsertionModel.h"

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace quorvel {

class CommandDialog;
class TInputQuery;
class TfrmExecute;
class TfrmInputBox;
class TfrmRepeat;
class TfrmWait;
class TfrmWaitforWindow;

// The advanced page's side of the insertion model: the command dialogs, made once over the
// wizard, and the way a token travels through a carrier edit and the clipboard into the memo.
class InsertionDialogs : public InsertionView
{
public:
    InsertionDialogs(
        InsertionModel &model, QPlainTextEdit *memo, QLineEdit *edtSpecialKeys, QWidget *wizard);

    void insertToken(insertion::Window carrier, const std::string &token) override;
    void setFocus(insertion::Focus focus) override;
    void showDialog(insertion::Window dialog) override;
    void closeDialog(insertion::Window dialog) override;
    void loadFields(insertion::Window dialog) override;
    std::optional<std::string> inputQuery(
        const std::string &caption, const std::string &prompt, const std::string &value) override;
    void showMessage(const std::string &text) override;
    std::string chooseFile(const std::string &filter) override;
    std::string chooseFolder(const std::string &prompt) override;

    CommandDialog *dialog(insertion::Window which) const;

    TfrmWait *frmWait = nullptr;
    TfrmRepeat *frmRepeat = nullptr;
    TfrmInputBox *frmInputBox = nullptr;
    TfrmWaitforWindow *frmWaitforWindow = nullptr;
    TfrmExecute *frmExecute = nullptr;
    TInputQuery *inputBox = nullptr;

private:
    // Message and file boxes go over the dialog in front.
    QWidget *front() const;

    QPlainTextEdit *m_memo;
    QLineEdit *m_specialKeys;
    QWidget *m_wizard;
};

} // namespace quorvel
