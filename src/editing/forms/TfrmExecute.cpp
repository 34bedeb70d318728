// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/TfrmExecute.h"

#include "components/forms/FormWidgets.h"

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
    auto &fields = m_model.execute();
    struct Row
    {
        const char *caption, *name, *accessibleName;
        std::string &field;
    };
    const Row rows[] = {
        { "Command Line:", "edtCommandLine", "Command Line", fields.commandLine },
        { "Parameters:", "edtParameters", "Parameters", fields.parameters },
        { "Start In:", "edtStartIn", "Start In", fields.startIn },
    };
    auto *grid = new QGridLayout;
    int at = 0;
    for (const Row &row : rows) {
        auto *edit = named(new QLineEdit(this), row.name, row.accessibleName);
        bindText(edit, row.field);
        if (at == 0)
            setInitialFocus(edit);
        auto *label = new QLabel(QLatin1String(row.caption), this);
        label->setBuddy(edit);
        grid->addWidget(label, at, 0);
        grid->addWidget(edit, at++, 1);
    }
    auto *cmdBrowse = makeButton(QStringLiteral("&Browse"), "cmdBrowse");
    auto *cmdBrowseFolder = makeButton(QStringLiteral("&Browse"), "cmdBrowseFolder");
    grid->addWidget(cmdBrowse, 0, 2);
    grid->addWidget(cmdBrowseFolder, 2, 2);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { m_model.executeBrowseClick(); });
    connect(cmdBrowseFolder, &QPushButton::clicked, this,
        [this] { m_model.executeBrowseFolderClick(); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter the command information below"), this));
    layout->addLayout(grid);
    layout->addLayout(okCancelRow([this] { m_model.executeOK(); }, false));
    setFixedSize(440, sizeHint().height());
}

} // namespace quorvel
