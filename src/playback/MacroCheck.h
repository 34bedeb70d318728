// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reads an advanced macro text the way a run would and reports what the run would do
// without a word: text typed instead of a token, repeats that do not repeat, arguments
// that swallow the rest of the text, counts that stop the run, "<<RUN:" of nothing or of a
// circle of macros. Also marks the tokens for an editor. Nothing is typed or run.

#include "platform/KeySink.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class Catalogue;

enum class FindingKind {
    UnknownToken, // "<<FOO>>": "<<" dropped, the rest typed
    UnclosedRepeat, // "<<REP" without "<<ENDREP>>"
    StrayEndRepeat, // "<<ENDREP>>" that closes nothing
    NestedRepeat, // "<<REP" inside a repeat body
    Unterminated, // a command whose argument does not end where it should
    BadCount, // a count the run cannot convert: the run stops
    UnknownMacro, // "<<RUN:" of a name no macro has
    RunCycle, // "<<RUN:" that comes back round or nests too deep
    ModifierCommand, // a modifier token followed by a command or modifier token
    LookForNoLimit, // "<<LOOKFOR:" without "SECS:" or "MINS:"
    Brace, // a modifier followed by "{": the sender fails
    Cut, // text beyond the 10000 characters after a modifier and key token
    Pasted, // characters this desktop types through the clipboard
    Untypable, // characters this desktop cannot type: the run stops before typing
};

// The stable name used in one-line reports ("unknown-token", ...).
std::string_view findingKindName(FindingKind kind);

struct MacroFinding
{
    int line = 1; // from 1
    int column = 1; // from 1, in characters
    int length = 0; // in characters
    FindingKind kind = FindingKind::UnknownToken;
    std::string message;
    bool operator==(const MacroFinding &) const = default;
};

enum class SpanKind { Key, Modifier, Command, Unknown };

// A token as the run reads it, in characters from the start of the text.
struct TokenSpan
{
    std::size_t start = 0;
    std::size_t length = 0;
    SpanKind kind = SpanKind::Key;
    bool operator==(const TokenSpan &) const = default;
};

// The catalogue as the checker reads it.
class MacroDirectory
{
public:
    virtual ~MacroDirectory() = default;
    // Every record whose name equals name ignoring ASCII case, ascending.
    virtual std::vector<int> recordsNamed(std::string_view name) const = 0;
    virtual std::string nameOf(int record) const = 0;
    // The file text of an advanced macro; nothing for another kind or an unreadable file.
    virtual std::optional<std::string> advancedText(int record) const = 0;
};

// A catalogue and its data folder (with its trailing separator).
class CatalogueDirectory : public MacroDirectory
{
public:
    CatalogueDirectory(const Catalogue &catalogue, std::string dataFolder);
    std::vector<int> recordsNamed(std::string_view name) const override;
    std::string nameOf(int record) const override;
    std::optional<std::string> advancedText(int record) const override;

private:
    const Catalogue &m_catalogue;
    std::string m_dataFolder;
};

struct MacroCheckContext
{
    // Without one, "<<RUN:" names are not looked up.
    const MacroDirectory *macros = nullptr;
    // The record whose text is checked (its stored file is not read: the text given stands
    // for it); 0 for a macro not stored yet, known by selfName.
    int self = 0;
    std::string selfName;
    // The "<<LOOKFOR:" separator setting.
    std::string separator = "~~";
    // Whether to mark the tokens (for an editor); a check that only reports leaves them out.
    bool spans = true;
    // How this desktop types each character; without it, every character is taken as typed.
    std::function<CharacterRoute(char32_t)> route = {};
};

struct MacroCheck
{
    std::vector<MacroFinding> findings; // in text order
    std::vector<TokenSpan> spans; // in text order
};

// Text is UTF-8 (other bytes read as Windows-1252); CR, LF and CR LF end lines. Linear in
// the text's length.
MacroCheck checkMacroText(std::string_view text, const MacroCheckContext &context = {});
// The same for text already decoded, which the check takes over.
MacroCheck checkMacroText(std::u32string text, const MacroCheckContext &context = {});

// The distinct characters of a text's plain text (not its tokens) that route sends by the
// given way, in their first order.
std::u32string charactersRouted(std::u32string_view text,
    const std::function<CharacterRoute(char32_t)> &route, CharacterRoute way);
// What a run says when a text holds characters the desktop cannot type.
std::string untypableMessage(std::u32string_view characters);

} // namespace quorvel
