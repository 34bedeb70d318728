// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmExecute.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel {

TfrmExecute::TfrmExecute(InsertionModel &model, QWidget *parent)
    : CommandDialog(model, insertion::Window::frmExecute, QStringLiteral("Execute an Application"),
        "edtText",
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint,
        parent)
{
    setObjectName(QStringLiteral("frmExecute"));
    setEscapeCancels(false);
    auto field = [this](const char *name, const char *accessibleName) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setAccessibleName(QLatin1String(accessibleName));
        return edit;
    };
    edtCommandLine = field("edtCommandLine", "Command Line");
    edtParameters = field("edtParameters", "Parameters");
    edtStartIn = field("edtStartIn", "Start In");
    cmdBrowse = makeButton(QStringLiteral("&Browse"), "cmdBrowse");
    cmdBrowseFolder = makeButton(QStringLiteral("&Browse"), "cmdBrowseFolder");
    cmdOK = makeButton(QStringLiteral("&OK"), "cmdOK");
    cmdCancel = makeButton(QStringLiteral("&Cancel"), "cmdCancel");

    auto *grid = new QGridLayout;
    const std::pair<const char *, QLineEdit *> rows[] = {
        { "Command Line:", edtCommandLine },
        { "Parameters:", edtParameters },
        { "Start In:", edtStartIn },
    };
    int row = 0;
    for (const auto &[caption, edit] : rows) {
        auto *label = new QLabel(QLatin1String(caption), this);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    }
    grid->addWidget(cmdBrowse, 0, 2);
    grid->addWidget(cmdBrowseFolder, 2, 2);
    auto *buttons = buttonRow(cmdOK, cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter the command information below"), this));
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setFixedSize(440, sizeHint().height());

    bindText(edtCommandLine, m_model.execute().commandLine);
    bindText(edtParameters, m_model.execute().parameters);
    bindText(edtStartIn, m_model.execute().startIn);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { m_model.executeBrowseClick(); });
    connect(cmdBrowseFolder, &QPushButton::clicked, this,
        [this] { m_model.executeBrowseFolderClick(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { m_model.executeOK(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { m_model.cancel(which()); });
}

void TfrmExecute::loadFields()
{
    beginLoading();
    const auto &f = m_model.execute();
    edtCommandLine->setText(QString::fromStdString(f.commandLine));
    edtParameters->setText(QString::fromStdString(f.parameters));
    edtStartIn->setText(QString::fromStdString(f.startIn));
    endLoading();
}

} // namespace quorvel
