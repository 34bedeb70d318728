// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/forms/MacroListPrinting.h"

#include "common/Error.h"
#include "mainwindow/PrintList.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace quorvel {

namespace {

class PainterMetric : public FontMetric
{
public:
    explicit PainterMetric(const QFontMetrics &metrics)
        : m_metrics(metrics)
    {
    }
    int averageCharWidth() const override { return m_metrics.averageCharWidth(); }
    int lineHeight() const override { return m_metrics.lineSpacing(); }
    int textWidth(std::string_view text) const override
    {
        return m_metrics.horizontalAdvance(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }

private:
    QFontMetrics m_metrics;
};

bool showPrintDialog(QPrinter &printer)
{
    // No parent: printing from the tray must work while the main window was never shown.
    QPrintDialog dialog(&printer, nullptr);
    dialog.setObjectName(QStringLiteral("PrintDialog1"));
    return dialog.exec() == QDialog::Accepted;
}

std::string printerFailure(const QPrinter &printer)
{
    const auto name = printer.printerName().toStdString();
    return name.empty() ? std::string(MacroListPrinting::PrinterError)
                        : std::string(MacroListPrinting::PrinterError) + " (" + name + ")";
}

} // namespace

MacroListPrinting::MacroListPrinting(RowSource rows, ErrorDisplay &errors)
    : m_rows(std::move(rows))
    , m_errors(errors)
    , m_choice(showPrintDialog)
{
}

void MacroListPrinting::printMacroList()
{
    runGuarded(m_errors, [this] {
        QPrinter printer(QPrinter::HighResolution);
        if (!m_choice(printer))
            return;
        print(printer, printLines(m_rows()));
    });
}

void MacroListPrinting::print(QPrinter &printer, const std::vector<std::string> &lines)
{
    printer.setDocName(QString::fromLatin1(printing::DocumentName));
    QPainter painter;
    if (!painter.begin(&printer) || printer.printerState() == QPrinter::Error)
        throw Error(printerFailure(printer));

    const QFontMetrics metrics = painter.fontMetrics();
    const auto pages =
        layoutPages(lines, PainterMetric(metrics), printer.width(), printer.height());
    bool first = true;
    for (const auto &page : pages) {
        if (!first && !printer.newPage()) {
            painter.end();
            throw Error(printerFailure(printer));
        }
        first = false;
        for (const auto &line : page) {
            for (const auto &run : line.runs)
                painter.drawText(
                    run.x, line.y + metrics.ascent(), QString::fromStdString(run.text));
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw Error(printerFailure(printer));
}

} // namespace quorvel
