// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/ProfileStore.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

namespace macrokind {
constexpr int Launch = 1, Keystrokes = 2, MouseAndKeys = 3, Advanced = 4;
}

// The key names of a "Macro<n>" section.
namespace macrokey {
constexpr std::string_view Name = "Name", Type = "Type", HotKey = "HotKey", FileName = "FileName",
                           Trigger = "Trigger", Speed = "Speed", TriggerRan = "TriggerRan",
                           FoundHandle = "FoundHandle";
}

struct MacroRecord
{
    std::string name;
    int type = macrokind::Launch;
    unsigned hotKey = 0;
    std::string fileName;
    std::string trigger;
    int speed = 1; // kind 3 only
    bool operator==(const MacroRecord &) const = default;
};

// A macro's name as the catalogue keeps it: without the leading and trailing characters of
// code 32 or less that reading the file would drop anyway. Stored names, data file names and
// the check for a name in use all go by it, so two names that read back alike are one name.
std::string storedMacroName(std::string_view name);

// The macro records of macros.ini: sections "Macro1" .. "Macro<Entries>" and section "Main".
class Catalogue
{
public:
    explicit Catalogue(ProfileStore &store);

    ProfileStore &store() { return m_store; }
    const ProfileStore &store() const { return m_store; }

    static std::string sectionName(int n); // "Macro" + n
    // The records 1..count every walk over the catalogue visits: Entries (default 0, negative
    // as 0), but never past the highest "Macro" section the file holds, so a hand-edited count
    // cannot make the list, the scan or a run by name walk millions of absent records.
    static int recordCount(const IniDocument &doc);
    int recordCount() const;

    // Record n as the file holds it now; a missing key reads as empty or 0, Speed as 1 (so a
    // record without a Type is of no kind). The snapshot form serves several reads at once.
    MacroRecord record(int n) const;
    static MacroRecord record(const IniDocument &doc, int n);
    // The name the list and its messages show: a record without a Name goes by its section.
    static std::string listedName(const IniDocument &doc, int n);

    // Every record whose Name equals name ignoring ASCII case, in ascending order.
    std::vector<int> findByName(std::string_view name) const;

    // Raises Entries first, then writes the record; returns its number.
    int append(const MacroRecord &record);

    // Moves every later record down by one (the seven keys with their defaults; FoundHandle
    // stays with the section number), erases the last section and lowers Entries. A number
    // outside 1..Entries changes nothing.
    void removeRecord(int n);
    // The same, but only while record n still holds the macro named name (exactly), read under
    // the write's lock; false, with nothing written, when another write changed it meanwhile.
    bool removeRecord(int n, std::string_view name);

    // The windows record n's trigger already fired for (FoundHandle), comma-separated, and
    // putting one more in front of them.
    std::string foundHandles(int n) const;
    void addFoundHandle(int n, std::string_view window);

    // Empties FoundHandle of every record, in one write; absent sections and keys are left
    // absent (they read as empty), and nothing is written when all are empty already.
    void resetTriggerMemory();

private:
    static bool removeFrom(IniDocument &doc, int n);

    ProfileStore &m_store;
};

// Shown when an editor or the list finds its record changed by another write.
inline constexpr const char *RecordChangedMessage =
    "This macro was changed elsewhere after Quorvel read it, so nothing was written.  The list "
    "now shows the macros as they are.";

// Section "Main" and "Position" key names and defaults used across the program.
namespace settings {
constexpr std::string_view Main = "Main";
constexpr std::string_view Entries = "Entries";
constexpr std::string_view FirstRun = "FirstRun";
constexpr std::string_view ShowHints = "Show Hints";
constexpr std::string_view SearchInterval = "SearchInterval";
constexpr int SearchIntervalDefault = 250;
constexpr std::string_view WaitForSeparator = "WaitForSeparator";
constexpr std::string_view WaitForSeparatorDefault = "~~";
constexpr std::string_view Position = "Position";
} // namespace settings

} // namespace quorvel
