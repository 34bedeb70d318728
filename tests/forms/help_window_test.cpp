// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormChildren.h"
#include "shell/HelpBook.h"
#include "shell/forms/THelpWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::child;

namespace {

// Where the anchor's text lies relative to the top of the visible part of the page, or
// nothing when the page holds no such anchor.
std::optional<double> anchorOffset(const QTextBrowser &browser, const QString &anchor)
{
    const auto *document = browser.document();
    for (auto block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(anchor)) {
                const auto top = document->documentLayout()->blockBoundingRect(block).top();
                return top - browser.verticalScrollBar()->value();
            }
        }
    }
    return std::nullopt;
}

class HelpWindow : public ::testing::Test
{
protected:
    void open(std::string_view topic)
    {
        window.showHelp(topic);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }

    QString shownAnchor() const { return txtPage->source().fragment(); }
    QString shownPage() const { return txtPage->source().fileName(); }

    void expectAnchorInView(const QString &anchor)
    {
        const auto offset = anchorOffset(*txtPage, anchor);
        ASSERT_TRUE(offset.has_value()) << anchor.toStdString();
        EXPECT_GE(*offset, 0.0) << anchor.toStdString();
        EXPECT_LT(*offset, txtPage->viewport()->height()) << anchor.toStdString();
    }

    QString currentEntry() const
    {
        const auto *item = lstContents->currentItem();
        return item ? item->data(Qt::UserRole).toString() : QString();
    }

    THelpWindow window;
    QPushButton *cmdBack = child<QPushButton>(window, "cmdBack");
    QPushButton *cmdForward = child<QPushButton>(window, "cmdForward");
    QPushButton *cmdContents = child<QPushButton>(window, "cmdContents");
    QListWidget *lstContents = child<QListWidget>(window, "lstContents");
    QTextBrowser *txtPage = child<QTextBrowser>(window, "txtPage");
};

TEST_F(HelpWindow, OpensAtOperationWithTheContentsBeside)
{
    open(help::Operation);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Quorvel Help");
    EXPECT_EQ(shownPage(), "quorvel.html");
    EXPECT_EQ(shownAnchor(), "Operation");
    EXPECT_TRUE(txtPage->toPlainText().contains("Operating Quorvel"));
    expectAnchorInView("Operation");
    EXPECT_EQ(currentEntry(), "Operation");
    EXPECT_EQ(lstContents->count(), static_cast<int>(HelpBook::contents().size()));
}

TEST_F(HelpWindow, ScrollsToAnAnchorFarDownItsPage)
{
    open("DateTime");
    EXPECT_EQ(shownPage(), "language.html");
    EXPECT_GT(txtPage->verticalScrollBar()->value(), 0);
    expectAnchorInView("DateTime");
    EXPECT_EQ(currentEntry(), "DateTime");

    // Asked again after the reader scrolled away, it goes back to the anchor.
    txtPage->verticalScrollBar()->setValue(0);
    open("DateTime");
    expectAnchorInView("DateTime");
}

TEST_F(HelpWindow, UnknownTopicShowsTheContents)
{
    open("No such topic");
    EXPECT_EQ(shownPage(), "contents.html");
    EXPECT_EQ(currentEntry(), "Contents");
}

TEST_F(HelpWindow, BackAndForwardWalkTheHistory)
{
    open(help::Operation);
    EXPECT_FALSE(cmdBack->isEnabled());
    EXPECT_FALSE(cmdForward->isEnabled());

    open(help::Faq);
    open("Repeat");
    ASSERT_TRUE(cmdBack->isEnabled());

    QTest::mouseClick(cmdBack, Qt::LeftButton);
    EXPECT_EQ(shownPage(), "faq.html");
    EXPECT_EQ(currentEntry(), "FAQ");
    QTest::mouseClick(cmdBack, Qt::LeftButton);
    EXPECT_EQ(shownAnchor(), "Operation");
    EXPECT_FALSE(cmdBack->isEnabled());
    EXPECT_TRUE(cmdForward->isEnabled());

    QTest::mouseClick(cmdForward, Qt::LeftButton);
    QTest::mouseClick(cmdForward, Qt::LeftButton);
    EXPECT_EQ(shownAnchor(), "Repeat");
    EXPECT_FALSE(cmdForward->isEnabled());
    QCoreApplication::processEvents();
    expectAnchorInView("Repeat");
}

TEST_F(HelpWindow, ContentsEntryOpensItsPlace)
{
    open(help::Operation);
    const auto entries = HelpBook::contents();
    const auto at = std::find_if(entries.begin(), entries.end(),
        [](const HelpEntry &e) { return e.topic == "FromWindows"; });
    ASSERT_NE(at, entries.end());
    auto *item = lstContents->item(static_cast<int>(at - entries.begin()));
    lstContents->scrollToItem(item);
    QTest::mouseClick(
        lstContents->viewport(), Qt::LeftButton, {}, lstContents->visualItemRect(item).center());
    EXPECT_EQ(shownPage(), "files.html");
    EXPECT_EQ(shownAnchor(), "FromWindows");
}

TEST_F(HelpWindow, ControlsCarryTheirAccessibleNames)
{
    EXPECT_EQ(txtPage->accessibleName(), "Help");
    EXPECT_EQ(cmdBack->accessibleName(), "Back");
    EXPECT_EQ(cmdForward->accessibleName(), "Forward");
    EXPECT_EQ(cmdContents->accessibleName(), "Contents");
}

} // namespace
