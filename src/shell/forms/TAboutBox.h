// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/AboutBox.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace quorvel {

// "About Quorvel": the product, its version and the machine's memory figures.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(const AboutFigures &figures, QWidget *parent = nullptr);

    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Comments = nullptr;
    QLabel *PhysMem = nullptr;
    QLabel *FreeRes = nullptr;
    QPushButton *OKButton = nullptr;
};

} // namespace quorvel
