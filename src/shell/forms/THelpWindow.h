// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/HelpViewer.h"

#include <QWidget>

class QListWidget;
class QTextBrowser;
class QUrl;

namespace quorvel {

// The help window: the contents beside the page, Back and Forward above it.
class THelpWindow : public QWidget, public HelpViewer
{
    Q_OBJECT

public:
    explicit THelpWindow(QWidget *parent = nullptr);

    // Opens the page of the topic at its anchor and brings the window to the front.
    void showHelp(std::string_view topic) override;

private:
    void go(const QUrl &url);
    void lstContentsClick();
    void pageChanged(const QUrl &url);

    QListWidget *lstContents = nullptr;
    QTextBrowser *txtPage = nullptr;
};

} // namespace quorvel
