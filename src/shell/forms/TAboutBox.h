// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/AboutBox.h"

#include <QDialog>

namespace quorvel {

// "About Quorvel": the product, its version and the machine's memory figures.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    // Its controls are found by their names: ProgramIcon, ProductName, Copyright, Comments,
    // PhysMem, FreeRes, OKButton.
    explicit TAboutBox(const AboutFigures &figures, QWidget *parent = nullptr);
};

} // namespace quorvel
