// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel {

// Prints the reference sheet of the list's hot keys.
class ListPrinter
{
public:
    virtual ~ListPrinter() = default;
    virtual void printMacroList() = 0;
};

} // namespace quorvel
