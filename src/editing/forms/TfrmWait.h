// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/forms/CommandDialog.h"

namespace quorvel {

// "Wait Time": the delay token in seconds or minutes.
class TfrmWait : public CommandDialog
{
    Q_OBJECT

public:
    explicit TfrmWait(InsertionModel &model, QWidget *parent = nullptr);
};

} // namespace quorvel
