// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/forms/CommandDialog.h"

namespace quorvel {

// "Number of Times to Repeat": the start of a repeat block.
class TfrmRepeat : public CommandDialog
{
    Q_OBJECT

public:
    explicit TfrmRepeat(InsertionModel &model, QWidget *parent = nullptr);
};

} // namespace quorvel
