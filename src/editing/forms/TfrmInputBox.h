// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/forms/CommandDialog.h"

namespace quorvel {

// "Input Box": the title of the value prompt a macro shows when it runs.
class TfrmInputBox : public CommandDialog
{
    Q_OBJECT

public:
    explicit TfrmInputBox(InsertionModel &model, QWidget *parent = nullptr);
};

} // namespace quorvel
