// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/MacroCheck.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class Catalogue;
class DateTimeFormatter;

// What the advanced page shows under its text: the checker's findings and a dry run. An edit
// is checked once the typing pauses; the form only times the pause.
class MacroCheckModel
{
public:
    struct Deps
    {
        Catalogue &catalogue;
        std::string dataFolder; // with its trailing separator
        DateTimeFormatter &dateTime;
        // How the desktop types each character: the check and the dry run say which are
        // pasted and which cannot be typed. Unset: every character is typed.
        std::function<CharacterRoute(char32_t)> route = {};
    };

    static constexpr const char *NoFindings = "No problems found.";
    static constexpr const char *DryRunStale = "The text has changed: select Dry Run again.";

    // How long the typing must pause before the text is checked again.
    static constexpr int CheckDelayMs = 300;

    explicit MacroCheckModel(Deps deps);

    // The macro the text belongs to: its record (0 when it is not stored yet) and its name.
    void setMacro(int record, std::string name);
    // A new text: the dry run shown no longer tells it.
    void setText(std::string text);
    const std::string &text() const { return m_text; }

    // The text as typed: a new one makes a check fall due when the typing pauses. Returns
    // whether it was new, so the form times the pause again.
    bool edit(std::string text);
    bool checkDue() const { return m_due; }
    // The pause after the last edit ran out: checks when a check is due; true when it did.
    bool pauseEnded();

    // Checks the text now; findingsText() then tells the result.
    void check();
    const std::vector<MacroFinding> &findings() const { return m_findings; }
    // One line per finding, "Line 2, column 5: ...", or NoFindings.
    const std::string &findingsText() const { return m_findingsText; }

    // Runs the text dry; dryRunText() then holds its lines.
    void dryRun();
    const std::string &dryRunText() const { return m_dryRunText; }

private:
    void checkText();

    Deps m_d;
    int m_record = 0;
    std::string m_name;
    std::string m_text;
    bool m_due = false;
    std::vector<MacroFinding> m_findings;
    std::string m_findingsText = NoFindings;
    std::string m_dryRunText;
};

} // namespace quorvel
