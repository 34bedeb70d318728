// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/forms/MacroHighlighter.h"

#include <QTextDocument>
#include <algorithm>

namespace quorvel {

namespace {

QTextCharFormat formatOf(SpanKind kind)
{
    QTextCharFormat format;
    switch (kind) {
    case SpanKind::Key:
        format.setForeground(QColor(0x00, 0x55, 0xAA));
        break;
    case SpanKind::Modifier:
        format.setForeground(QColor(0x80, 0x00, 0x80));
        format.setFontWeight(QFont::Bold);
        break;
    case SpanKind::Command:
        format.setForeground(QColor(0x00, 0x70, 0x30));
        break;
    case SpanKind::Unknown:
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        format.setUnderlineColor(Qt::red);
        format.setForeground(QColor(0xB0, 0x00, 0x00));
        break;
    }
    return format;
}

} // namespace

MacroHighlighter::MacroHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
{
}

const std::vector<MacroHighlighter::Span> &MacroHighlighter::spans()
{
    QTextDocument *doc = document();
    if (doc->revision() == m_revision)
        return m_spans;
    m_revision = doc->revision();
    const QString text = doc->toPlainText();
    // Code points to UTF-16 positions: the checker counts characters.
    std::vector<int> utf16;
    utf16.reserve(std::size_t(text.size()) + 1);
    for (int i = 0; i < text.size(); ++i) {
        utf16.push_back(i);
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    utf16.push_back(int(text.size()));
    m_spans.clear();
    for (const TokenSpan &span : checkMacroText(text.toStdString()).spans) {
        const std::size_t end = std::min(span.start + span.length, utf16.size() - 1);
        if (span.start < end)
            m_spans.push_back(Span { utf16[span.start], utf16[end], span.kind });
    }
    return m_spans;
}

void MacroHighlighter::highlightBlock(const QString &text)
{
    const int from = currentBlock().position();
    const int to = from + int(text.size());
    const auto &all = spans();
    // Spans follow each other without overlapping: start at the first that reaches the block.
    auto it = std::partition_point(
        all.begin(), all.end(), [from](const Span &span) { return span.end <= from; });
    for (; it != all.end() && it->start < to; ++it) {
        const Span &span = *it;
        if (span.end <= from)
            continue;
        const int start = std::max(span.start, from);
        setFormat(start - from, std::min(span.end, to) - start, formatOf(span.kind));
    }
}

bool MacroHighlighter::marks(int position, SpanKind kind)
{
    return std::any_of(spans().begin(), spans().end(), [&](const Span &span) {
        return span.kind == kind && position >= span.start && position < span.end;
    });
}

} // namespace quorvel
