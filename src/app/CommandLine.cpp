// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "common/Text.h"

namespace quorvel {

namespace {
constexpr std::string_view kOpen = "/OPEN:";
constexpr std::string_view kClose = "/CLOSE";

std::string head(std::string_view argument)
{
    return text::upperAscii(argument.substr(0, 6));
}
} // namespace

std::string unquoteArgument(std::string_view argument)
{
    // /Open:"name" as a shortcut passes it: only the outer pair goes, so a name holding a
    // double quote still arrives whole.
    const auto open = argument.find('"');
    if (open != std::string_view::npos && argument.size() >= open + 2 && argument.back() == '"'
        && argument.substr(0, open).find('"') == std::string_view::npos) {
        return std::string(argument.substr(0, open))
            + std::string(argument.substr(open + 1, argument.size() - open - 2));
    }
    std::string out;
    out.reserve(argument.size());
    for (char c : argument) {
        if (c != '"')
            out.push_back(c);
    }
    return out;
}

std::string wantedName(std::string_view argument)
{
    const auto h = head(argument);
    if (h == kOpen) {
        // Characters 7 to 156: at most 150 characters after the switch.
        const auto rest = argument.substr(kOpen.size());
        return std::string(text::trimControl(text::leftChars(rest, 150)));
    }
    if (h == kClose)
        return {};
    return std::string(argument);
}

CommandLineResult DoCommandLine(const std::vector<std::string> &arguments,
    const Catalogue &catalogue, const std::function<void(int record)> &runRecord,
    const std::function<void()> &pump)
{
    CommandLineResult result;
    for (const auto &raw : arguments) {
        const auto argument = unquoteArgument(raw);
        const auto h = head(argument);
        if (h != kClose) {
            const auto wanted = text::upperAscii(wantedName(argument));
            // Names are re-read per record: a run may change the catalogue under us.
            for (int n = 1; n <= catalogue.recordCount(); ++n) {
                if (text::upperAscii(catalogue.record(n).name) == wanted)
                    runRecord(n);
                pump();
            }
        }
        if (h == kClose)
            result.closeWhenDone = true;
    }
    return result;
}

} // namespace quorvel
