// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/HotKeyValue.h"

#include <string>
#include <vector>

namespace quorvel {

class Catalogue;
class HotKeyRegistrar;

// Only records 1 to 100 have a hot-key slot.
inline constexpr int HighestBoundMacro = 100;

enum class HotKeyHolder {
    Free, // nobody: the key starts this macro
    Macro, // another record of the catalogue has it too; the lower number owns it
    StopRecording, // the wizard's stop-recording key
    OtherProgram, // another program (or another running copy) grabbed it first
    NoSlot, // the macro is numbered above 100 and never gets a hot key
};

struct HotKeyConflict
{
    unsigned hotKey = 0;
    int macro = 0; // the record the line is about; 0 for a macro not stored yet
    std::string macroName;
    HotKeyHolder holder = HotKeyHolder::Free;
    int holderMacro = 0; // Macro: the lowest-numbered other record with the key
    std::string holderName;
    bool keeps = false; // Macro: this record has the lower number and keeps the key
    std::string text; // one plain line
};

// Who holds value if it is the hot key of record macro (0: a new macro, which is stored after
// every existing record). registrar, when given, is asked whether another program holds the
// key. A value of 0 gives Free with an empty text.
HotKeyConflict hotKeyConflict(unsigned value, const Catalogue &catalogue, int macro,
    HotKeyRegistrar *registrar = nullptr, const KeyNameLookup &keyName = {});

// Every hot key of the catalogue that will not start its macro: keys shared by several
// records (one entry for each record that loses it), the stop-recording key, keys of records
// above 100, and, with a registrar, keys another program holds. Each text names the macro
// first: "Mail2 (macro 7): Ctrl+Alt+M is the hot key of Mail (macro 3); ...".
std::vector<HotKeyConflict> catalogueHotKeyConflicts(const Catalogue &catalogue,
    HotKeyRegistrar *registrar = nullptr, const KeyNameLookup &keyName = {});

// The lines for a key a lower-numbered macro or another program holds.
std::string heldByMacroText(const std::string &key, const std::string &holderName, int holder);
std::string heldByOtherProgramText(const std::string &key);

} // namespace quorvel
