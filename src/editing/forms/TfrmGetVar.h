// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

// The value prompt of "<<INPUT:": a prompt, one edit, and OK. No close box.
class TfrmGetVar : public QDialog, public ValuePrompt
{
    Q_OBJECT

public:
    explicit TfrmGetVar(QWidget *parent = nullptr);

    // Shows the form modally; the answer is the edit's text, which is emptied for next time.
    std::string ask(const std::string &prompt) override;

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    QLabel *lblPrompt = nullptr;
    QLineEdit *edtVal = nullptr;
    QPushButton *cmdOK = nullptr;
};

} // namespace quorvel
