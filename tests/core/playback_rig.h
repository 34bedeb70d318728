// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A macro runner over fakes and a catalogue in a fresh folder.

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeKeySink.h"
#include "fakes/FakeKeyboardState.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeTimers.h"
#include "fakes/FakeValuePrompt.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/TestSupport.h"
#include "playback/MacroRunner.h"

#include <cctype>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::testing {

// A readable test name for a table row: its index, then the row's text with letters and
// digits kept, the sender's symbols spelled out and everything else a separator
// ("^@{DEL}" in row 5 is "5_Caret_At_LBrace_DEL_RBrace").
inline std::string caseName(std::size_t index, std::string_view utf8)
{
    static const std::map<char32_t, std::string> symbols { { U'^', "Caret" }, { U'@', "At" },
        { U'~', "Tilde" }, { U'{', "LBrace" }, { U'}', "RBrace" }, { U'-', "Minus" },
        { U'+', "Plus" }, { U'|', "Bar" }, { U'#', "Hash" }, { U'\r', "CR" }, { U'\n', "LF" },
        { U'\t', "Tab" } };
    std::vector<std::string> words(1);
    for (const char32_t c : text::decode(utf8)) {
        if (c < 0x80 && std::isalnum(static_cast<unsigned char>(c))) {
            words.back() += static_cast<char>(c);
            continue;
        }
        if (const auto it = symbols.find(c); it != symbols.end()) {
            words.push_back(it->second);
        } else if (c >= 0x80) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U%04X", static_cast<unsigned>(c));
            words.emplace_back(hex);
        }
        words.emplace_back();
    }
    std::string name = std::to_string(index);
    for (const auto &w : words) {
        if (w.empty())
            continue;
        if (name.size() + 1 + w.size() > 60)
            break;
        name += '_' + w;
    }
    return name;
}

// How a table row shows in test listings: its text quoted, on one line, bytes outside
// printable ASCII escaped.
inline void printCase(std::string_view text, std::ostream *os)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    *os << out << '"';
}

// The name generator for a table whose rows keep their text in the member field.
template <auto field> struct CaseNamer
{
    template <typename Info> std::string operator()(const Info &info) const
    {
        return caseName(info.index, info.param.*field);
    }
};

// Every hook as a line: "run 3", "wait 5 s", "lookfor T 10 timeout", "focus T found",
// "status NoRecord".
class RecordingObserver : public PlaybackObserver
{
public:
    std::vector<std::string> log;
    void runStarted(int record) override { log.push_back("run " + std::to_string(record)); }
    void timedWait(int amount, WaitUnit unit) override
    {
        log.push_back(
            "wait " + std::to_string(amount) + (unit == WaitUnit::Seconds ? " s" : " min"));
    }
    void lookedFor(const std::string &title, std::int64_t polls, bool found) override
    {
        log.push_back(
            "lookfor " + title + " " + std::to_string(polls) + (found ? " found" : " timeout"));
    }
    void focused(const std::string &title, bool found) override
    {
        log.push_back("focus " + title + (found ? " found" : " none"));
    }
    void runStatus(const std::string &status) override { log.push_back("status " + status); }
};

struct PlaybackRig
{
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    FakeKeySink keys;
    FakeKeyboardState keyboard;
    FakeEventPump pump;
    FakeWindowSystem windows;
    FakeLauncher launcher;
    FakeJournal journal;
    FakeValuePrompt prompt;
    FakeDateTimeFormatter dateTime;
    FakeTimers timers;
    RecordingObserver observer;
    MacroRunner runner { PlaybackServices { keys, keyboard, pump, windows, launcher, journal,
        prompt, dateTime, timers, catalogue, dir.path() + "/", &observer, false } };
    int ticks = 0;

    PlaybackRig()
    {
        journal.OnFinished = [this](bool) { runner.journalFinished(); };
        // The wait timer ticks once per pass while it is on; a runaway wait fails the test.
        pump.onProcess = [this] {
            if (pump.passes > 200000)
                throw std::runtime_error("the pump runs without end");
            if (timers.waitEnabled) {
                ++ticks;
                runner.tmr1Timer();
            }
        };
    }

    std::string folder() const { return dir.path() + "/"; }

    // Appends an advanced macro whose text file holds content; returns its number.
    int addAdvanced(const std::string &name, const std::string &content)
    {
        writeFile(dir.file(name + ".key"), content);
        return catalogue.append(MacroRecord { name, macrokind::Advanced, 0, name + ".key", "", 1 });
    }
    int addRecord(const std::string &name, int type, const std::string &fileName, int speed = 1)
    {
        return catalogue.append(MacroRecord { name, type, 0, fileName, "", speed });
    }
};

} // namespace quorvel::testing
