// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/forms/TAboutBox.h"

#include "components/forms/Artwork.h"
#include "components/forms/FormWidgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel {

namespace {

QLabel *namedLabel(const QString &text, const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(objectName));
    return label;
}

// A value label: its name says what it is, its description what it shows.
QLabel *valueLabel(
    const std::string &text, const char *name, const char *objectName, QWidget *parent)
{
    auto *label = namedLabel({}, objectName, parent);
    label->setAccessibleName(QString::fromLatin1(name));
    showValue(label, text);
    return label;
}

} // namespace

TAboutBox::TAboutBox(const AboutFigures &figures, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(qs(AboutCaption));
    setModal(true);

    auto *ProgramIcon = namedLabel({}, "ProgramIcon", this);
    ProgramIcon->setPixmap(productIcon().pixmap(48, 48));
    auto *ProductName = namedLabel(qs(aboutProductLine(QUORVEL_VERSION)), "ProductName", this);
    auto *Copyright = namedLabel(qs(AboutNotice), "Copyright", this);
    auto *Comments = namedLabel(qs(AboutDescription), "Comments", this);
    Comments->setWordWrap(true);
    auto *PhysMem = valueLabel(figures.physicalMemory, "Physical Memory", "PhysMem", this);
    auto *FreeRes = valueLabel(figures.systemResources, "System Resources", "FreeRes", this);
    auto *OKButton = new QPushButton(tr("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *texts = new QVBoxLayout;
    texts->addWidget(ProductName);
    texts->addWidget(Copyright);
    texts->addWidget(Comments);
    auto *top = new QHBoxLayout;
    top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto *figuresGrid = new QGridLayout;
    figuresGrid->addWidget(new QLabel(qs(MemoryLabel), this), 0, 0);
    figuresGrid->addWidget(PhysMem, 0, 1);
    figuresGrid->addWidget(new QLabel(qs(ResourcesLabel), this), 1, 0);
    figuresGrid->addWidget(FreeRes, 1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(figuresGrid);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
}

} // namespace quorvel
