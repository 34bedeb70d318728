// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/MacroCheck.h"

#include "catalogue/Catalogue.h"
#include "catalogue/MacroFiles.h"
#include "common/Text.h"
#include "playback/MacroInterpreter.h"
#include "playback/MacroTokens.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <set>

namespace quorvel {

using namespace tokens;

namespace {

constexpr std::size_t npos = std::u32string::npos;

// The characters of a quoted piece of text in a message.
constexpr std::size_t kQuoteLimit = 40;

bool isLineBreak(char32_t c)
{
    return c == U'\r' || c == U'\n';
}

// The first occurrence of a needle at or after a position. Remembers its last answer, so
// that a scan that moves forward through the text searches each stretch once.
class Finder
{
public:
    Finder(const std::u32string &text, std::u32string needle)
        : m_text(text)
        , m_needle(std::move(needle))
    {
    }

    std::size_t find(std::size_t from)
    {
        if (m_needle.empty())
            return npos;
        if (!m_valid || from < m_from || from > m_found) {
            m_found = m_text.find(m_needle, from);
            m_from = from;
            m_valid = true;
        }
        return m_found;
    }

private:
    const std::u32string &m_text;
    std::u32string m_needle;
    bool m_valid = false;
    std::size_t m_from = 0;
    std::size_t m_found = npos;
};

struct RunSite
{
    std::size_t start;
    std::size_t length;
    std::string name;
};

// One pass over a text. Each step mirrors what the interpreter consumes, so the findings
// and spans are where the run would be.
class Scanner
{
public:
    // report: findings are kept; spans: tokens are marked too.
    Scanner(std::u32string text, std::u32string separator, bool report, bool spans)
        : m_text(std::move(text))
        , m_separator(std::move(separator))
        , m_report(report)
        , m_marking(spans)
    {
    }

    void run() { scanSegment(0, m_text.size(), false); }

    const std::u32string &text() const { return m_text; }
    std::vector<RunSite> &runSites() { return m_runSites; }
    std::vector<TokenSpan> &spans() { return m_spans; }
    // start, length, kind, message
    struct Raw
    {
        std::size_t start;
        std::size_t length;
        FindingKind kind;
        std::string message;
    };
    std::vector<Raw> &findings() { return m_findings; }

    std::string quote(std::size_t from, std::size_t to) const
    {
        to = std::min(to, m_text.size());
        std::u32string piece;
        bool cut = false;
        for (std::size_t i = from; i < to; ++i) {
            if (isLineBreak(m_text[i]) || piece.size() == kQuoteLimit) {
                cut = true;
                break;
            }
            piece += m_text[i];
        }
        std::string quoted(1, '"');
        quoted += text::encode(piece);
        quoted += cut ? "...\"" : "\"";
        return quoted;
    }

private:
    Finder &finder(std::u32string_view needle)
    {
        const std::u32string key(needle);
        auto it = m_finders.find(key);
        if (it == m_finders.end())
            it = m_finders.emplace(key, Finder(m_text, key)).first;
        return it->second;
    }

    // Within [from, end): the needle must end inside the segment.
    std::size_t find(std::u32string_view needle, std::size_t from, std::size_t end)
    {
        if (from >= end)
            return npos;
        const std::size_t at = finder(needle).find(from);
        if (at == npos || at + needle.size() > end)
            return npos;
        return at;
    }

    // Whether a line ends in [from, to). The next break is remembered like a needle's.
    bool breaksLine(std::size_t from, std::size_t to)
    {
        if (!m_breakValid || from < m_breakFrom || from > m_break) {
            m_break = from;
            while (m_break < m_text.size() && !isLineBreak(m_text[m_break]))
                ++m_break;
            m_breakFrom = from;
            m_breakValid = true;
        }
        return m_break < std::min(to, m_text.size());
    }

    // A command cut short by the end of the text leaves positions past it: they read as
    // nothing, as the run reads them.
    std::u32string_view at(std::size_t pos, std::size_t end) const
    {
        end = std::min(end, m_text.size());
        if (pos >= end)
            return {};
        return std::u32string_view(m_text).substr(pos, end - pos);
    }

    void span(std::size_t start, std::size_t end, SpanKind kind)
    {
        if (m_marking && end > start)
            m_spans.push_back(TokenSpan { start, end - start, kind });
    }

    void finding(std::size_t start, std::size_t length, FindingKind kind, std::string message)
    {
        if (m_report)
            m_findings.push_back(
                Raw { start, std::max<std::size_t>(length, 1), kind, std::move(message) });
    }

    void scanSegment(std::size_t pos, std::size_t end, bool inBody)
    {
        while (pos < end) {
            if (pos + 1 < end && m_text[pos] == U'<' && m_text[pos + 1] == U'<')
                pos = token(pos, end, inBody);
            else
                ++pos;
        }
    }

    // The token at pos; returns where the scan goes on. end may shrink (the cut after a
    // modifier and key).
    std::size_t token(std::size_t pos, std::size_t &end, bool inBody)
    {
        const Token token = recognize(at(pos, end));
        if (token.modifier)
            return modifier(pos, end, *token.modifier);
        if (token.key) {
            span(pos, pos + token.length(), SpanKind::Key);
            return pos + token.length();
        }
        if (token.command)
            return command(pos, end, *token.command, inBody);
        unknown(pos, end);
        return pos + 2;
    }

    void unknown(std::size_t pos, std::size_t end)
    {
        const auto view = at(pos, end);
        if (startsWithToken(view, kEndRep)) {
            const std::size_t stop = pos + kEndRep.size();
            span(pos, stop, SpanKind::Unknown);
            const bool capitals = view.substr(0, kEndRep.size()) == kEndRep;
            finding(pos, kEndRep.size(), FindingKind::StrayEndRepeat,
                capitals ? "\"<<ENDREP>>\" ends no repeat: the run types \"ENDREP>>\""
                         : quote(pos, stop)
                        + " ends no repeat (only \"<<ENDREP>>\" in capitals does): the run "
                          "types "
                        + quote(pos + 2, stop));
            return;
        }
        // The would-be token: up to its ">>" when that closes it on the same line.
        std::size_t stop = pos + 2;
        const std::size_t limit = std::min(end, pos + kQuoteLimit);
        while (stop < limit && !isLineBreak(m_text[stop])
            && !(m_text[stop] == U'<' && stop + 1 < end && m_text[stop + 1] == U'<')) {
            if (m_text[stop] == U'>' && stop + 1 < end && m_text[stop + 1] == U'>') {
                stop += 2;
                span(pos, stop, SpanKind::Unknown);
                finding(pos, stop - pos, FindingKind::UnknownToken,
                    "unknown token " + quote(pos, stop) + ": the run drops \"<<\" and types "
                        + quote(pos + 2, stop));
                return;
            }
            ++stop;
        }
        span(pos, pos + 2, SpanKind::Unknown);
        finding(pos, 2, FindingKind::UnknownToken,
            "\"<<\" starts no token: the run drops it (write \"<\" twice apart to type it)");
    }

    std::size_t modifier(std::size_t pos, std::size_t &end, const ModifierToken &row)
    {
        const std::size_t after = pos + row.token.size();
        span(pos, after, SpanKind::Modifier);
        const auto rest = at(after, end);
        if (!startsWithMarker(rest)) {
            if (!rest.empty() && rest.front() == U'{')
                finding(pos, row.token.size() + 1, FindingKind::Brace,
                    quote(pos, after + 1)
                        + " sends \"{\" as the start of a key name: the run "
                          "stops with \"No Closing brackets\"");
            return std::min(after + 1, end);
        }
        if (end - after > MacroInterpreter::ModifiedKeyCut) {
            const std::size_t cut = after + MacroInterpreter::ModifiedKeyCut;
            finding(cut, end - cut, FindingKind::Cut,
                "the run reads only 10000 characters after " + quote(pos, after)
                    + " followed by a key token: the text from here on is dropped");
            end = cut;
        }
        if (const auto *key = matchToken(at(after, end), kKeyTokens)) {
            span(after, after + key->token.size(), SpanKind::Key);
            return after + key->token.size();
        }
        // Not a key: a modifier or a command token, or no token at all.
        const std::size_t otherLength = recognize(at(after, end)).length();
        if (otherLength > 0) {
            span(after, after + 2, SpanKind::Unknown);
            finding(pos, after + otherLength - pos, FindingKind::ModifierCommand,
                quote(pos, after) + " combines only with a key: the run drops the \"<<\" of "
                    + quote(after, after + otherLength) + " and types the rest");
        } else {
            unknown(after, end);
        }
        return after + 2;
    }

    // Reports a count the run would fail to convert; true when it converts.
    bool count(std::size_t from, std::size_t to, const char *what)
    {
        if (parseCount(at(from, to)))
            return true;
        const std::string written = text::encode(at(from, to));
        finding(from, to - from, FindingKind::BadCount,
            std::string(what) + " " + quote(from, to)
                + " is not a whole number: the run stops with \"'" + written
                + "' is not a valid integer value\"");
        return false;
    }

    void unterminated(std::size_t pos, std::size_t length, const std::string &message)
    {
        finding(pos, length, FindingKind::Unterminated, message);
    }

    // The argument of token [pos, r) runs from r to the terminator at t (npos: none).
    // Returns false when it was reported.
    bool closedOnItsLine(std::size_t pos, std::size_t r, std::size_t t, std::string_view needed)
    {
        const std::string token = quote(pos, r);
        if (t == npos) {
            unterminated(pos, r - pos,
                token + " has no \"" + std::string(needed)
                    + "\" after it: the run takes its argument as empty and drops one "
                      "character");
            return false;
        }
        if (breaksLine(r, t)) {
            unterminated(pos, r - pos,
                token + " is not closed on its line: its argument runs on to the next \""
                    + std::string(needed) + "\"");
            return false;
        }
        const std::size_t marker = finder(U"<<").find(r);
        if (marker != npos && marker < t) {
            unterminated(pos, r - pos,
                token + " is not closed before the next token: its argument takes in "
                    + quote(marker, t + 1) + " up to the next \"" + std::string(needed) + "\"");
            return false;
        }
        return true;
    }

    // After the ">" of a "<<SECS", "<<MINS" or "<<RUN:" the run drops one more character,
    // meant to be the second ">".
    void secondCloser(std::size_t pos, std::size_t p, std::size_t end)
    {
        if (p + 1 < end && m_text[p + 1] != U'>')
            unterminated(pos, p + 2 - pos,
                quote(pos, p + 1) + " is not closed by \">>\": the run drops the "
                    + quote(p + 1, p + 2) + " after \">\"");
    }

    std::size_t command(std::size_t pos, std::size_t &end, const CommandToken &row, bool inBody)
    {
        const std::size_t r = pos + row.token.size();
        std::size_t next = r;
        switch (row.command) {
        case Command::Secs:
        case Command::Mins: {
            const std::size_t p = find(U">", r, end);
            if (closedOnItsLine(pos, r, p, ">>")) {
                count(r, p, "the time");
                secondCloser(pos, p, end);
            } else if (p == npos) {
                finding(pos, r - pos, FindingKind::BadCount,
                    "the run stops with \"'' is not a valid integer value\"");
            }
            next = p == npos ? r + 1 : p + 2;
            break;
        }
        case Command::Rep:
            return repeat(pos, r, end, inBody);
        case Command::ShortDate:
        case Command::LongDate:
        case Command::ShortTime:
        case Command::LongTime:
        case Command::WriteValue:
            break;
        case Command::Input: {
            const std::size_t e = find(U">>", r, end);
            closedOnItsLine(pos, r, e, ">>");
            next = e == npos ? r + 1 : e + 2;
            break;
        }
        case Command::Run: {
            const std::size_t p = find(U">", r, end);
            if (closedOnItsLine(pos, r, p, ">>"))
                secondCloser(pos, p, end);
            next = p == npos ? r + 1 : p + 2;
            m_runSites.push_back(
                RunSite { pos, std::min(next, end) - pos, text::encode(at(r, p == npos ? r : p)) });
            break;
        }
        case Command::LookFor:
            next = lookFor(pos, r, end);
            break;
        case Command::Focus: {
            const std::size_t p = find(U">", r, end);
            const std::size_t e = find(U">>", r, end);
            if (closedOnItsLine(pos, r, e, ">>") && p != e)
                unterminated(pos, e + 2 - pos,
                    "the window title ends at the first \">\" but the run goes on after "
                    "the first \">>\": "
                        + quote(p, e + 2) + " is dropped");
            next = e == npos ? r + 1 : e + 2;
            break;
        }
        case Command::Execute:
            next = execute(pos, r, end);
            break;
        }
        next = std::min(next, end);
        span(pos, next, SpanKind::Command);
        return next;
    }

    std::size_t repeat(std::size_t pos, std::size_t r, std::size_t end, bool inBody)
    {
        const std::size_t countEnd = find(U">", r, end);
        const std::size_t bodyStart = std::min(countEnd == npos ? r + 1 : countEnd + 2, end);
        const std::size_t closing = find(kEndRep, r, end);
        if (closing == npos) {
            const std::size_t next = std::min(r + 9, end);
            span(pos, next, SpanKind::Command);
            const std::string dropped = quote(r, next);
            if (inBody)
                finding(pos, r - pos, FindingKind::NestedRepeat,
                    "repeats do not nest: the first \"<<ENDREP>>\" closed the outer repeat, so "
                    "this one repeats nothing and the run drops "
                        + dropped);
            else
                finding(pos, r - pos, FindingKind::UnclosedRepeat,
                    "\"<<REP\" without \"<<ENDREP>>\" repeats nothing: the run drops " + dropped);
            return next;
        }
        if (countEnd == npos || countEnd > closing)
            unterminated(
                pos, r - pos, "the count of \"<<REP\" has no \">>\" before \"<<ENDREP>>\"");
        else
            count(r, countEnd, "the count");
        span(pos, bodyStart, SpanKind::Command);
        const std::size_t bodyEnd = find(kEndRep, bodyStart, end);
        if (bodyEnd != npos)
            scanSegment(bodyStart, bodyEnd, true);
        span(closing, closing + kEndRep.size(), SpanKind::Command);
        return closing + kEndRep.size();
    }

    std::size_t lookFor(std::size_t pos, std::size_t r, std::size_t end)
    {
        const std::size_t at = find(m_separator, r, end);
        std::size_t q = at == npos ? r + 1 : at + m_separator.size();
        const std::string separator = text::encode(m_separator);
        if (at == npos) {
            finding(pos, r - pos, FindingKind::LookForNoLimit,
                "\"<<LOOKFOR:\" without the separator \"" + separator
                    + "\" and \"SECS:\" or \"MINS:\": no wait happens and the rest is typed");
            return q;
        }
        if (breaksLine(r, at))
            unterminated(pos, r - pos,
                "\"<<LOOKFOR:\" is not closed on its line: its window title runs on to the "
                "next \""
                    + separator + "\"");
        bool limited = false;
        static constexpr std::u32string_view kLabels[] = { U"SECS:", U"MINS:" };
        for (const std::u32string_view label : kLabels) {
            if (!startsWithToken(this->at(q, end), label))
                continue;
            limited = true;
            const std::size_t from = q + label.size();
            const std::size_t e = find(U">>", from, end);
            if (e == npos) {
                unterminated(pos, r - pos,
                    "\"<<LOOKFOR:\" has no \">>\" after its time: the run stops with \"'' is not "
                    "a valid integer value\"");
                q = from + 1;
            } else {
                if (!breaksLine(from, e))
                    count(from, e, "the time");
                else
                    unterminated(pos, r - pos,
                        "\"<<LOOKFOR:\" is not closed on its line: its time runs on to the next "
                        "\">>\"");
                q = e + 2;
            }
        }
        if (!limited)
            finding(pos, std::min(q, end) - pos, FindingKind::LookForNoLimit,
                "\"<<LOOKFOR:\" without \"SECS:\" or \"MINS:\" after \"" + separator
                    + "\": no wait happens and the rest is typed");
        return q;
    }

    std::size_t execute(std::size_t pos, std::size_t r, std::size_t end)
    {
        const std::size_t a1 = find(U"~~", r, end);
        const std::size_t x = a1 == npos ? r + 1 : a1 + 2;
        const std::size_t a2 = find(U"~~", x, end);
        const std::size_t y = a2 == npos ? x + 1 : a2 + 2;
        const std::size_t e = find(U">>", y, end);
        const std::size_t firstClose = find(U">>", r, end);
        if (a1 == npos || a2 == npos || e == npos || firstClose != e || breaksLine(r, e))
            unterminated(pos, r - pos,
                "\"<<EXECUTE:\" needs \"program~~parameters~~folder>>\" on one line: the run "
                "reads the parts up to the next \"~~\", \"~~\" and \">>\" wherever they are");
        return e == npos ? y + 1 : e + 2;
    }

    std::u32string m_text;
    std::u32string m_separator;
    bool m_report;
    bool m_marking;
    std::map<std::u32string, Finder> m_finders;
    bool m_breakValid = false;
    std::size_t m_breakFrom = 0;
    std::size_t m_break = 0;
    std::vector<RunSite> m_runSites;
    std::vector<TokenSpan> m_spans;
    std::vector<Raw> m_findings;
};

// "<<RUN:" between macros: whether running a record comes back round, or nests deeper than
// the run allows.
class RunGraph
{
public:
    static constexpr int Self = -1; // a macro not stored yet

    RunGraph(const MacroCheckContext &context, const std::vector<std::string> &selfRuns)
        : m_context(context)
    {
        m_edges[selfNode()] = targetsOf(selfRuns);
    }

    int selfNode() const { return m_context.self > 0 ? m_context.self : Self; }

    std::vector<int> recordsNamed(const std::string &name) const
    {
        std::vector<int> records = m_context.macros->recordsNamed(name);
        if (m_context.self <= 0 && !m_context.selfName.empty()
            && text::equalsIgnoreAsciiCase(
                text::trimControl(m_context.selfName), std::string_view(name)))
            records.push_back(Self);
        return records;
    }

    std::string nameOf(int node) const
    {
        if (node == Self)
            return std::string(text::trimControl(m_context.selfName));
        return m_context.macros->nameOf(node);
    }

    // The chain of names from node that comes back round, or nests too deep; empty when the
    // runs from node end.
    std::vector<int> trouble(int node, int depth)
    {
        m_path.clear();
        m_onPath.clear();
        return walk(node, depth);
    }

private:
    std::vector<int> targetsOf(const std::vector<std::string> &names) const
    {
        std::vector<int> targets;
        for (const auto &name : names) {
            for (const int record : recordsNamed(name))
                targets.push_back(record);
        }
        return targets;
    }

    const std::vector<int> &edges(int node)
    {
        auto it = m_edges.find(node);
        if (it != m_edges.end())
            return it->second;
        std::vector<std::string> names;
        if (const auto text = m_context.macros->advancedText(node)) {
            Scanner scanner(text::decode(*text), text::decode(m_context.separator), false, false);
            scanner.run();
            for (auto &site : scanner.runSites())
                names.push_back(std::move(site.name));
        }
        return m_edges[node] = targetsOf(names);
    }

    // depth: the nesting level of the run of node (1 for a run from the checked text).
    std::vector<int> walk(int node, int depth)
    {
        if (m_onPath.count(node) || depth > MacroInterpreter::MaxRunNesting) {
            auto chain = m_path;
            chain.push_back(node);
            return chain;
        }
        if (m_safe.count(node) && m_safe[node] + depth <= MacroInterpreter::MaxRunNesting)
            return {};
        m_path.push_back(node);
        m_onPath.insert(node);
        int deepest = 0;
        for (const int target : edges(node)) {
            auto chain = walk(target, depth + 1);
            if (!chain.empty())
                return chain;
            deepest = std::max(deepest, m_safe[target] + 1);
        }
        m_onPath.erase(node);
        m_path.pop_back();
        m_safe[node] = deepest;
        return {};
    }

    const MacroCheckContext &m_context;
    std::map<int, std::vector<int>> m_edges;
    std::map<int, int> m_safe; // node: how deep the runs below it go
    std::vector<int> m_path;
    std::set<int> m_onPath;
};

std::string quoted(const std::string &s)
{
    return "\"" + s + "\"";
}

// Calls visit(start, end) for each stretch of the text that a run types as it stands: all
// but the tokens, where an unknown one types what follows its "<<".
template <typename Visit>
void plainStretches(std::u32string_view text, std::vector<TokenSpan> spans, Visit visit)
{
    std::stable_sort(spans.begin(), spans.end(),
        [](const TokenSpan &a, const TokenSpan &b) { return a.start < b.start; });
    std::size_t at = 0;
    for (const TokenSpan &span : spans) {
        const std::size_t typedFrom = span.kind == SpanKind::Unknown
            ? span.start + std::min<std::size_t>(2, span.length)
            : span.start + span.length;
        if (span.start > at)
            visit(at, span.start);
        if (span.kind == SpanKind::Unknown && span.start + span.length > typedFrom)
            visit(typedFrom, span.start + span.length);
        at = std::max(at, span.start + span.length);
    }
    if (at < text.size())
        visit(at, text.size());
}

bool isPrintable(char32_t c)
{
    return c >= 0x20 && c != 0x7F;
}

template <typename Raw>
void routeFindings(std::u32string_view text, const std::vector<TokenSpan> &spans,
    const std::function<CharacterRoute(char32_t)> &route, std::vector<Raw> &raw)
{
    plainStretches(text, spans, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to;) {
            const CharacterRoute kind = isPrintable(text[i]) ? route(text[i]) : CharacterRoute::Key;
            if (kind != CharacterRoute::Pasted && kind != CharacterRoute::None) {
                ++i;
                continue;
            }
            std::size_t end = i + 1;
            while (end < to && isPrintable(text[end]) && route(text[end]) == kind)
                ++end;
            const std::string piece = quoted(text::encode(text.substr(i, end - i)));
            if (kind == CharacterRoute::Pasted)
                raw.push_back({ i, end - i, FindingKind::Pasted,
                    piece
                        + " is pasted through the clipboard: this desktop's keyboard layout "
                          "has no key for it" });
            else
                raw.push_back({ i, end - i, FindingKind::Untypable,
                    piece
                        + " cannot be typed on this desktop: the run stops before typing "
                          "anything" });
            i = end;
        }
    });
}

} // namespace

std::u32string charactersRouted(std::u32string_view text,
    const std::function<CharacterRoute(char32_t)> &route, CharacterRoute way)
{
    std::u32string found;
    // Most texts have nothing to find: a look at each character first spares the scan.
    if (std::none_of(text.begin(), text.end(),
            [&](char32_t c) { return isPrintable(c) && route(c) == way; }))
        return found;
    Scanner scanner(std::u32string(text), U"~~", false, true);
    scanner.run();
    plainStretches(text, scanner.spans(), [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (isPrintable(text[i]) && route(text[i]) == way
                && found.find(text[i]) == std::u32string::npos)
                found.push_back(text[i]);
        }
    });
    return found;
}

std::string untypableMessage(std::u32string_view characters)
{
    std::string list;
    for (const char32_t c : characters) {
        if (!list.empty())
            list += ", ";
        list += "\"" + text::encode(std::u32string_view(&c, 1)) + "\"";
    }
    const bool one = characters.size() == 1;
    return std::string("This desktop cannot type the character") + (one ? " " : "s ") + list
        + (one ? ": its keyboard layout has no key for it and no other route carries it"
               : ": its keyboard layout has no key for them and no other route carries them");
}

std::string_view findingKindName(FindingKind kind)
{
    switch (kind) {
    case FindingKind::UnknownToken:
        return "unknown-token";
    case FindingKind::UnclosedRepeat:
        return "unclosed-repeat";
    case FindingKind::StrayEndRepeat:
        return "stray-endrep";
    case FindingKind::NestedRepeat:
        return "nested-repeat";
    case FindingKind::Unterminated:
        return "unterminated";
    case FindingKind::BadCount:
        return "bad-count";
    case FindingKind::UnknownMacro:
        return "unknown-macro";
    case FindingKind::RunCycle:
        return "run-cycle";
    case FindingKind::ModifierCommand:
        return "modifier-command";
    case FindingKind::LookForNoLimit:
        return "lookfor-no-limit";
    case FindingKind::Brace:
        return "brace";
    case FindingKind::Cut:
        return "cut";
    case FindingKind::Pasted:
        return "pasted";
    case FindingKind::Untypable:
        return "untypable";
    }
    return "unknown";
}

CatalogueDirectory::CatalogueDirectory(const Catalogue &catalogue, std::string dataFolder)
    : m_catalogue(catalogue)
    , m_dataFolder(std::move(dataFolder))
{
}

std::vector<int> CatalogueDirectory::recordsNamed(std::string_view name) const
{
    return m_catalogue.findByName(name);
}

std::string CatalogueDirectory::nameOf(int record) const
{
    return m_catalogue.record(record).name;
}

std::optional<std::string> CatalogueDirectory::advancedText(int record) const
{
    const auto macro = m_catalogue.record(record);
    if (macro.type != macrokind::Advanced)
        return std::nullopt;
    const auto path = dataFilePath(m_dataFolder, macro.fileName);
    return path ? readWholeFile(*path) : std::nullopt;
}

MacroCheck checkMacroText(std::string_view text, const MacroCheckContext &context)
{
    return checkMacroText(text::decode(text), context);
}

MacroCheck checkMacroText(std::u32string text, const MacroCheckContext &context)
{
    const bool routes = bool(context.route);
    Scanner scanner(
        std::move(text), text::decode(context.separator), true, context.spans || routes);
    scanner.run();
    auto &raw = scanner.findings();
    if (routes)
        routeFindings(scanner.text(), scanner.spans(), context.route, raw);
    if (!context.spans)
        scanner.spans().clear();

    if (context.macros) {
        std::vector<std::string> names;
        for (const auto &site : scanner.runSites())
            names.push_back(site.name);
        RunGraph graph(context, names);
        for (const auto &site : scanner.runSites()) {
            const auto records = graph.recordsNamed(site.name);
            if (records.empty()) {
                raw.push_back({ site.start, site.length, FindingKind::UnknownMacro,
                    "no macro is named " + quoted(site.name) + ": \"<<RUN:\" runs nothing" });
                continue;
            }
            for (const int record : records) {
                const auto chain = graph.trouble(record, 1);
                if (chain.empty())
                    continue;
                std::string path;
                for (const int node : chain)
                    path.append(path.empty() ? "" : " runs ").append(quoted(graph.nameOf(node)));
                const bool circle =
                    std::find(chain.begin(), chain.end() - 1, chain.back()) != chain.end() - 1;
                raw.push_back({ site.start, site.length, FindingKind::RunCycle,
                    (circle ? "runs come back round: " : "runs nest too deep: ") + path
                        + "; the run stops at the nesting limit with \"Macro nesting is too "
                          "deep\"" });
                break;
            }
        }
    }

    // Line starts, for line and column.
    const std::u32string &t = scanner.text();
    std::vector<std::size_t> lineStarts { 0 };
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == U'\n' || (t[i] == U'\r' && (i + 1 >= t.size() || t[i + 1] != U'\n')))
            lineStarts.push_back(i + 1);
    }
    std::stable_sort(
        raw.begin(), raw.end(), [](const auto &a, const auto &b) { return a.start < b.start; });
    MacroCheck check;
    check.findings.reserve(raw.size());
    for (auto &f : raw) {
        const auto line = std::upper_bound(lineStarts.begin(), lineStarts.end(), f.start) - 1;
        check.findings.push_back(MacroFinding { int(line - lineStarts.begin()) + 1,
            int(f.start - *line) + 1, int(f.length), f.kind, std::move(f.message) });
    }
    check.spans = std::move(scanner.spans());
    std::stable_sort(check.spans.begin(), check.spans.end(),
        [](const TokenSpan &a, const TokenSpan &b) { return a.start < b.start; });
    return check;
}

} // namespace quorvel
