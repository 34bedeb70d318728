// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/MacroList.h"
#include "platform/Dialogs.h"
#include "shell/ListPrinter.h"

#include <functional>
#include <vector>

class QPrinter;
class QWidget;

namespace quorvel {

// Prints the list's hot keys on the printer the user picks in the print dialog.
class MacroListPrinting : public ListPrinter
{
public:
    using RowSource = std::function<std::vector<MacroListRow>()>;
    // Lets the user set up the printer; false when the dialog was cancelled.
    using PrinterChoice = std::function<bool(QPrinter &printer)>;

    MacroListPrinting(RowSource rows, ErrorDisplay &errors);

    // Replaces the print dialog, for tests and scripted runs.
    void setPrinterChoice(PrinterChoice choice) { m_choice = std::move(choice); }

    // A printer error is shown in the error display and ends the printing.
    void printMacroList() override;

    // Writes the lines on the printer as a text device; raises Error when the printer fails.
    static void print(QPrinter &printer, const std::vector<std::string> &lines);

    static constexpr const char *PrinterError = "The macro list could not be printed.";

private:
    RowSource m_rows;
    ErrorDisplay &m_errors;
    PrinterChoice m_choice;
};

} // namespace quorvel
