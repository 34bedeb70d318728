// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/forms/CommandDialog.h"

class QRadioButton;

namespace quorvel {

// "Wait for a Window": the look-for token, checked before it is inserted.
class TfrmWaitforWindow : public CommandDialog
{
    Q_OBJECT

public:
    explicit TfrmWaitforWindow(InsertionModel &model, QWidget *parent = nullptr);
    void loadFields() override;

    QLineEdit *edtWinTitle = nullptr;
    QLineEdit *edtTime = nullptr;
    QRadioButton *optSeconds = nullptr, *optMinutes = nullptr;
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr;

protected:
    QLineEdit *initialFocus() override { return edtWinTitle; }
};

} // namespace quorvel
