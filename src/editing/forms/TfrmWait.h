// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/forms/CommandDialog.h"

class QRadioButton;

namespace quorvel {

// "Wait Time": the delay token in seconds or minutes.
class TfrmWait : public CommandDialog
{
    Q_OBJECT

public:
    explicit TfrmWait(InsertionModel &model, QWidget *parent = nullptr);
    void loadFields() override;

    QLineEdit *edtTime = nullptr;
    QRadioButton *optSeconds = nullptr, *optMinutes = nullptr;
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr;

protected:
    QLineEdit *initialFocus() override { return edtTime; }
};

} // namespace quorvel
