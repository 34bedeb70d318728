// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileRemover.h"
#include "shell/HelpViewer.h"
#include "shell/ListPrinter.h"
#include "shell/ShortcutMaker.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::testing {

// Help, shortcuts, printing and file deletion, each call logged in order
// ("help Operation", "shortcut 1 2", "print", "remove /d/Mail.key").
class FakeShell : public HelpViewer, public ShortcutMaker, public ListPrinter, public FileRemover
{
public:
    std::vector<std::string> log;

    void showHelp(std::string_view topic) override { log.push_back("help " + std::string(topic)); }
    void Shortcut_Create(ShellFolder folder, int number) override
    {
        log.push_back("shortcut " + std::to_string(int(folder)) + " " + std::to_string(number));
    }
    void printMacroList() override { log.push_back("print"); }
    void removeFile(const std::string &path) override { log.push_back("remove " + path); }
};

} // namespace quorvel::testing
