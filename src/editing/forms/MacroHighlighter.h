// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playback/MacroCheck.h"

#include <QSyntaxHighlighter>
#include <vector>

namespace quorvel {

// Marks the tokens of an advanced macro text as the run reads them: keys, modifiers,
// commands, and text that looks like a token but is typed (red wavy underline).
class MacroHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    explicit MacroHighlighter(QTextDocument *document);

    // Whether the character at position (in the document's UTF-16 units) is marked as kind.
    bool marks(int position, SpanKind kind);

protected:
    void highlightBlock(const QString &text) override;

private:
    // Spans of the whole document in UTF-16 units, worked out once per revision.
    struct Span
    {
        int start;
        int end;
        SpanKind kind;
    };
    const std::vector<Span> &spans();

    int m_revision = -1;
    std::vector<Span> m_spans;
};

} // namespace quorvel
