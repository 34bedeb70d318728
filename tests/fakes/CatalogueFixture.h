// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "fakes/TestSupport.h"

#include <string>
#include <vector>

namespace quorvel::testing {

// The text of a catalogue: [Main] with Entries and any other main keys, then a [MacroN]
// section for each record, given as its "Key=Value\n" lines.
inline std::string catalogueIni(
    const std::vector<std::string> &records, const std::string &mainKeys = {})
{
    std::string ini = "[Main]\nEntries=" + std::to_string(records.size()) + "\n" + mainKeys;
    for (std::size_t n = 0; n < records.size(); ++n)
        ini += "[Macro" + std::to_string(n + 1) + "]\n" + records[n];
    return ini;
}

// macros.ini in a fresh folder and the store and catalogue over it, for fixtures to derive
// from; being a base, it outlives the models a fixture builds over it.
struct CatalogueFolder
{
    void writeCatalogue(const std::vector<std::string> &records, const std::string &mainKeys = {})
    {
        writeFile(dir.file("macros.ini"), catalogueIni(records, mainKeys));
    }

    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
};

} // namespace quorvel::testing
