// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What an advanced macro would do, told step by step in words ("Ctrl+F4", "type: Hello",
// "wait 5 s", "ask: Your name?", "run: Daily report"), found by running it through the
// real interpreter over stand-ins: nothing is typed, waited for, asked or started.

#include "platform/KeySink.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class Catalogue;
class DateTimeFormatter;

struct DryRunSetup
{
    // "<<RUN:" finds its macros here and runs them dry too.
    Catalogue &catalogue;
    std::string dataFolder; // with its trailing separator
    // What "<<SHORTDATE>>" and the others type.
    DateTimeFormatter &dateTime;
    // How the desktop types each character; unset: as a desktop that types every one.
    std::function<CharacterRoute(char32_t)> route = {};
};

// At most this many lines; a longer run is cut short with a last line saying so.
inline constexpr std::size_t DryRunMaxLines = 2000;

// text: the macro's text (lines ended by LF, CR LF or CR) as the editor or its file holds it.
// Lines of a macro run by "<<RUN:" are indented by two blanks per level. An error of the
// run is the last line, "error: " and its message. With a route, a last line names the
// characters of the text that the desktop pastes.
std::vector<std::string> dryRunMacroText(std::string_view text, const DryRunSetup &setup);

} // namespace quorvel
