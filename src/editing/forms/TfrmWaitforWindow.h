// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editing/forms/CommandDialog.h"

namespace quorvel {

// "Wait for a Window": the look-for token, checked before it is inserted.
class TfrmWaitforWindow : public CommandDialog
{
    Q_OBJECT

public:
    explicit TfrmWaitforWindow(InsertionModel &model, QWidget *parent = nullptr);
};

} // namespace quorvel
