// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/forms/CommandDialog.h"

namespace quorvel {

// "Execute an Application": a program or document with its parameters and start folder.
class TfrmExecute : public CommandDialog
{
    Q_OBJECT

public:
    explicit TfrmExecute(InsertionModel &model, QWidget *parent = nullptr);
};

} // namespace quorvel
