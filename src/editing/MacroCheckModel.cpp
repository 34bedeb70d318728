// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/MacroCheckModel.h"

#include "catalogue/Catalogue.h"
#include "playback/DryRun.h"

namespace quorvel {

MacroCheckModel::MacroCheckModel(Deps deps)
    : m_d(std::move(deps))
{
}

void MacroCheckModel::setMacro(int record, std::string name)
{
    m_record = record;
    m_name = std::move(name);
}

void MacroCheckModel::setText(std::string text)
{
    if (text == m_text)
        return;
    m_text = std::move(text);
    if (!m_dryRunText.empty())
        m_dryRunText = DryRunStale;
}

bool MacroCheckModel::edit(std::string text)
{
    // Marking the tokens tells of a change too: only a new text is checked again.
    if (text == m_text)
        return false;
    setText(std::move(text));
    m_due = true;
    return true;
}

bool MacroCheckModel::pauseEnded()
{
    if (!m_due)
        return false;
    check();
    return true;
}

void MacroCheckModel::check()
{
    m_due = false;
    // Runs on every pause in the typing: a failure is told where the findings go.
    try {
        checkText();
    } catch (const std::exception &e) {
        m_findings.clear();
        m_findingsText = std::string("The check stopped: ") + e.what();
    }
}

void MacroCheckModel::checkText()
{
    const CatalogueDirectory directory(m_d.catalogue, m_d.dataFolder);
    MacroCheckContext context;
    context.macros = &directory;
    context.self = m_record;
    context.selfName = m_name;
    context.separator = m_d.catalogue.store().readString(
        settings::Main, settings::WaitForSeparator, settings::WaitForSeparatorDefault);
    context.route = m_d.route;
    m_findings = checkMacroText(m_text, context).findings;
    m_findingsText.clear();
    for (const MacroFinding &f : m_findings) {
        if (!m_findingsText.empty())
            m_findingsText += '\n';
        m_findingsText += "Line " + std::to_string(f.line) + ", column " + std::to_string(f.column)
            + ": " + f.message;
    }
    if (m_findings.empty())
        m_findingsText = NoFindings;
}

void MacroCheckModel::dryRun()
{
    m_dryRunText.clear();
    for (const std::string &line : dryRunMacroText(
             m_text, DryRunSetup { m_d.catalogue, m_d.dataFolder, m_d.dateTime, m_d.route })) {
        if (!m_dryRunText.empty())
            m_dryRunText += '\n';
        m_dryRunText += line;
    }
    if (m_dryRunText.empty())
        m_dryRunText = "Nothing: the text types no key and runs no command.";
}

} // namespace quorvel
