// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FakeErrorDisplay.h"
#include "mainwindow/PrintList.h"
#include "mainwindow/forms/MacroListPrinting.h"

#include <QFile>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

struct Word
{
    int page = 0;
    double x = 0;
    double y = 0;
    double right = 0;
    QString text;
};

// The words of a PDF with their boxes in points, as poppler reads them back.
std::vector<Word> readBack(const QString &pdf)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), pdf, QStringLiteral("-") });
    EXPECT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const auto html = QString::fromUtf8(tool.readAllStandardOutput());
    static const QRegularExpression pattern(QString::fromLatin1(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
    std::vector<Word> words;
    int page = -1;
    for (auto it = pattern.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        words.push_back({ page, m.captured(1).toDouble(), m.captured(2).toDouble(),
            m.captured(3).toDouble(), m.captured(4) });
    }
    return words;
}

const Word *find(const std::vector<Word> &words, const QString &text)
{
    for (const auto &w : words)
        if (w.text == text)
            return &w;
    return nullptr;
}

MacroListRow row(std::string caption, std::string hotKeyText)
{
    MacroListRow r;
    r.caption = std::move(caption);
    r.hotKeyText = std::move(hotKeyText);
    return r;
}

class PdfPrinting : public ::testing::Test
{
protected:
    void print(std::vector<MacroListRow> rows)
    {
        MacroListPrinting printing([rows] { return rows; }, errors);
        printing.setPrinterChoice([this](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            resolution = printer.resolution();
            return true;
        });
        printing.printMacroList();
    }

    // The printer font's tab stop and the page's left margin, in points.
    void measure()
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("measure.pdf")));
        QPainter painter(&printer);
        metrics = std::make_unique<QFontMetrics>(painter.fontMetrics());
        toPoints = 72.0 / printer.resolution();
        stop = 8 * metrics->averageCharWidth() * toPoints;
        left = printer.pageLayout().paintRect(QPageLayout::Point).left();
    }

    // The stop a line's name lands on after its hot-key text and tabs.
    int expectedStop(const QString &hotKey, int tabs) const
    {
        const int device = metrics->horizontalAdvance(hotKey);
        const int stopDevice = 8 * metrics->averageCharWidth();
        return device / stopDevice + tabs;
    }

    double column(const Word &w) const { return (w.x - left) / stop; }

    QTemporaryDir dir;
    QString pdf = dir.filePath(QStringLiteral("list.pdf"));
    quorvel::testing::FakeErrorDisplay errors;
    int resolution = 0;
    std::unique_ptr<QFontMetrics> metrics;
    double toPoints = 0;
    double stop = 0;
    double left = 0;
};

TEST_F(PdfPrinting, LinesAndTabColumnsAsTheTextDevicePlacesThem)
{
    print({ row("Two", "F2"), row("Hidden", ""), row("Twelve", "Ctrl+Alt+F12"),
        row("Nine", "Shift+F10"), row("Eight", "Ctrl+F12") });
    ASSERT_TRUE(errors.shown.empty()) << errors.shown.front();
    measure();
    const auto words = readBack(pdf);

    std::vector<QString> texts;
    for (const auto &w : words)
        texts.push_back(w.text);
    const std::vector<QString> expected { "HOTKEY", "MACRO", "NAME", QString(33, '_'), "F2", "Two",
        "Ctrl+Alt+F12", "Twelve", "Shift+F10", "Nine", "Ctrl+F12", "Eight" };
    ASSERT_EQ(texts, expected);

    // Hot keys at the left edge, lines one under the other.
    double lastY = -1;
    for (const auto *key : { "HOTKEY", "F2", "Ctrl+Alt+F12", "Shift+F10", "Ctrl+F12" }) {
        const auto *w = find(words, QString::fromLatin1(key));
        ASSERT_NE(w, nullptr) << key;
        EXPECT_NEAR(w->x, left, 1.0) << key;
        EXPECT_GT(w->y, lastY) << key;
        lastY = w->y;
    }

    struct Expect
    {
        const char *name;
        QString keyText;
        int tabs;
    };
    const Expect names[] = { { "MACRO", QStringLiteral("HOTKEY      "), 2 },
        { "Two", QStringLiteral("F2"), 3 }, { "Twelve", QStringLiteral("Ctrl+Alt+F12"), 2 },
        { "Nine", QStringLiteral("Shift+F10"), 2 }, { "Eight", QStringLiteral("Ctrl+F12"), 3 } };
    for (const auto &e : names) {
        const auto *w = find(words, QString::fromLatin1(e.name));
        ASSERT_NE(w, nullptr) << e.name;
        EXPECT_NEAR(column(*w), expectedStop(e.keyText, e.tabs), 0.05) << e.name;
    }
}

TEST_F(PdfPrinting, LongListBreaksPagesAndLongNamesWrapInsideThePage)
{
    std::vector<MacroListRow> rows;
    for (int i = 0; i < 150; ++i)
        rows.push_back(row("Macro" + std::to_string(i), "F" + std::to_string(i % 12 + 1)));
    rows.push_back(row(std::string(400, 'W'), "F1"));
    print(rows);
    ASSERT_TRUE(errors.shown.empty()) << errors.shown.front();
    measure();
    const auto words = readBack(pdf);

    int named = 0;
    int lastPage = 0;
    for (const auto &w : words) {
        if (w.text.startsWith(QStringLiteral("Macro"))) {
            EXPECT_EQ(w.text, QStringLiteral("Macro%1").arg(named));
            ++named;
        }
        lastPage = std::max(lastPage, w.page);
    }
    EXPECT_EQ(named, 150);
    EXPECT_GE(lastPage, 2);

    QPrinter printer(QPrinter::HighResolution);
    const double pageRight = printer.pageLayout().paintRect(QPageLayout::Point).right();
    int wCount = 0;
    int pieces = 0;
    for (const auto &w : words) {
        if (!w.text.startsWith(QLatin1Char('W')))
            continue;
        EXPECT_LE(w.right, pageRight + 1.0);
        wCount += static_cast<int>(w.text.size());
        ++pieces;
    }
    EXPECT_EQ(wCount, 400);
    EXPECT_GE(pieces, 2);
}

TEST_F(PdfPrinting, CancelledDialogPrintsNothing)
{
    MacroListPrinting printing([] { return std::vector<MacroListRow> { row("A", "F2") }; }, errors);
    printing.setPrinterChoice([](QPrinter &) { return false; });
    printing.printMacroList();
    EXPECT_TRUE(errors.shown.empty());
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PdfPrinting, PrinterThatCannotStartShowsOneError)
{
    MacroListPrinting printing([] { return std::vector<MacroListRow> {}; }, errors);
    printing.setPrinterChoice([this](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("missing/folder/list.pdf")));
        return true;
    });
    printing.printMacroList();
    ASSERT_EQ(errors.shown.size(), 1u);
    EXPECT_EQ(errors.shown[0].rfind(MacroListPrinting::PrinterError, 0), 0u);
}

} // namespace
