// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/HintModel.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace quorvel {

// The wizard's hint window. "Show hints" keeps its state between showings.
class TfrmHint : public QDialog, public HintView
{
    Q_OBJECT

public:
    explicit TfrmHint(QWidget *parent = nullptr);

    bool showHintModal(const std::string &text) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPlainTextEdit *mmoHint = nullptr;
    QCheckBox *cbShowHint = nullptr;
    QPushButton *cmdOK = nullptr;
};

} // namespace quorvel
