// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/forms/THelpWindow.h"

#include "components/forms/FormWidgets.h"
#include "shell/HelpBook.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The help lives in a static library, whose resources the linker would drop unasked.
static void initHelpResources()
{
    Q_INIT_RESOURCE(help);
}

namespace quorvel {

namespace {
QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

THelpWindow::THelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    initHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Quorvel Help"));

    auto *cmdBack = pushButton("cmdBack", QStringLiteral("&Back"), this);
    auto *cmdForward = pushButton("cmdForward", QStringLiteral("&Forward"), this);
    auto *cmdContents = pushButton("cmdContents", QStringLiteral("&Contents"), this);
    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);

    lstContents = new QListWidget(this);
    lstContents->setObjectName(QStringLiteral("lstContents"));
    lstContents->setAccessibleName(QStringLiteral("Contents"));
    for (const auto &entry : HelpBook::contents()) {
        auto *item = new QListWidgetItem(fromView(entry.title), lstContents);
        item->setData(Qt::UserRole, fromView(entry.topic));
        if (entry.level > 0)
            item->setText(QStringLiteral("    ") + item->text());
    }

    txtPage = new QTextBrowser(this);
    txtPage->setObjectName(QStringLiteral("txtPage"));
    txtPage->setAccessibleName(QStringLiteral("Help"));
    txtPage->setOpenExternalLinks(true);
    txtPage->setSearchPaths({ fromView(HelpBook::ResourceFolder) });

    auto *splitter = new QSplitter(this);
    splitter->addWidget(lstContents);
    splitter->addWidget(txtPage);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 200, 560 });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdForward);
    buttons->addWidget(cmdContents);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    resize(780, 560);

    connect(cmdBack, &QPushButton::clicked, txtPage, &QTextBrowser::backward);
    connect(cmdForward, &QPushButton::clicked, txtPage, &QTextBrowser::forward);
    connect(cmdContents, &QPushButton::clicked, this,
        [this] { go(QUrl(QString::fromStdString(HelpBook::url(HelpBook::contentsPage())))); });
    connect(txtPage, &QTextBrowser::backwardAvailable, cmdBack, &QPushButton::setEnabled);
    connect(txtPage, &QTextBrowser::forwardAvailable, cmdForward, &QPushButton::setEnabled);
    connect(txtPage, &QTextBrowser::sourceChanged, this, &THelpWindow::pageChanged);
    connect(lstContents, &QListWidget::itemActivated, this, &THelpWindow::lstContentsClick);
    connect(lstContents, &QListWidget::itemClicked, this, &THelpWindow::lstContentsClick);
}

void THelpWindow::showHelp(std::string_view topic)
{
    go(QUrl(QString::fromStdString(HelpBook::url(HelpBook::find(topic)))));
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void THelpWindow::go(const QUrl &url)
{
    if (txtPage->source() == url) {
        // The reader may have scrolled away since.
        txtPage->scrollToAnchor(url.fragment());
        return;
    }
    txtPage->setSource(url);
}

void THelpWindow::lstContentsClick()
{
    const auto *item = lstContents->currentItem();
    if (!item)
        return;
    const auto topic = item->data(Qt::UserRole).toString().toStdString();
    go(QUrl(QString::fromStdString(HelpBook::url(HelpBook::find(topic)))));
}

void THelpWindow::pageChanged(const QUrl &url)
{
    const auto entry = HelpBook::entryFor(url.toString().toStdString());
    if (!entry)
        return;
    const QSignalBlocker quiet(lstContents);
    lstContents->setCurrentRow(static_cast<int>(*entry));
}

} // namespace quorvel
