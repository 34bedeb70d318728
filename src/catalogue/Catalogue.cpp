// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"

#include "common/Text.h"

#include <algorithm>

namespace quorvel {

using namespace macrokey;

std::string storedMacroName(std::string_view name)
{
    return std::string(text::trimControl(name));
}

Catalogue::Catalogue(ProfileStore &store)
    : m_store(store)
{
}

std::string Catalogue::sectionName(int n)
{
    return "Macro" + std::to_string(n);
}

int Catalogue::recordCount(const IniDocument &doc)
{
    const int entries = profileInteger(doc, settings::Main, settings::Entries, 0);
    if (entries < 1)
        return 0;
    return std::min(entries, doc.highestNumberedSection("Macro"));
}

int Catalogue::recordCount() const
{
    return recordCount(*m_store.document());
}

MacroRecord Catalogue::record(int n) const
{
    return record(*m_store.document(), n);
}

MacroRecord Catalogue::record(const IniDocument &doc, int n)
{
    const auto section = sectionName(n);
    MacroRecord r;
    r.name = profileString(doc, section, Name, "");
    r.type = profileInteger(doc, section, Type, 0);
    r.hotKey = unsigned(profileInteger(doc, section, HotKey, 0)) & 0xFFFF;
    r.fileName = profileString(doc, section, FileName, "");
    r.trigger = profileString(doc, section, Trigger, "");
    r.speed = profileInteger(doc, section, Speed, 1);
    return r;
}

std::string Catalogue::listedName(const IniDocument &doc, int n)
{
    const auto section = sectionName(n);
    return profileString(doc, section, Name, section);
}

std::vector<int> Catalogue::findByName(std::string_view name) const
{
    std::vector<int> found;
    const auto doc = m_store.document();
    const auto wanted = text::upperAscii(name);
    const int count = recordCount(*doc);
    for (int n = 1; n <= count; ++n) {
        if (text::upperAscii(profileString(*doc, sectionName(n), Name, "")) == wanted)
            found.push_back(n);
    }
    return found;
}

int Catalogue::append(const MacroRecord &record)
{
    int number = 0;
    m_store.edit([&](IniDocument &doc) {
        // A negative count in a hand-edited file must not put the record at Macro0 or below.
        number = std::max(0, profileInteger(doc, settings::Main, settings::Entries, 0)) + 1;
        const auto section = sectionName(number);
        doc.setValue(settings::Main, settings::Entries, std::to_string(number));
        doc.setValue(section, Name, storedMacroName(record.name));
        doc.setValue(section, Type, std::to_string(record.type));
        doc.setValue(section, HotKey, std::to_string(record.hotKey & 0xFFFF));
        doc.setValue(section, FileName, record.fileName);
        doc.setValue(section, Trigger, record.trigger);
        if (record.type == macrokind::MouseAndKeys)
            doc.setValue(section, Speed, std::to_string(record.speed));
    });
    return number;
}

void Catalogue::removeRecord(int n)
{
    m_store.edit([&](IniDocument &doc) { removeFrom(doc, n); });
}

bool Catalogue::removeRecord(int n, std::string_view name)
{
    bool removed = false;
    m_store.edit([&](IniDocument &doc) {
        if (n <= recordCount(doc) && profileString(doc, sectionName(n), Name, "") == name)
            removed = removeFrom(doc, n);
    });
    return removed;
}

bool Catalogue::removeFrom(IniDocument &doc, int n)
{
    const int count = profileInteger(doc, settings::Main, settings::Entries, 0);
    if (n < 1 || n > count)
        return false;
    for (int j = n; j < count; ++j) {
        const auto from = sectionName(j + 1);
        const auto to = sectionName(j);
        const auto text = [&](std::string_view key) { return profileString(doc, from, key, ""); };
        const auto integer = [&](std::string_view key, int def) {
            return profileInteger(doc, from, key, def);
        };
        const std::string name = text(Name);
        const int type = integer(Type, 1);
        const int hotKey = integer(HotKey, 0);
        const std::string fileName = text(FileName);
        const std::string trigger = text(Trigger);
        const bool triggerRan = integer(TriggerRan, 0) != 0;
        const int speed = integer(Speed, 1);
        doc.setValue(to, Name, name);
        doc.setValue(to, Type, std::to_string(type));
        doc.setValue(to, HotKey, std::to_string(hotKey));
        doc.setValue(to, FileName, fileName);
        doc.setValue(to, Trigger, trigger);
        doc.setValue(to, TriggerRan, triggerRan ? "1" : "0");
        doc.setValue(to, Speed, std::to_string(speed));
    }
    doc.eraseSection(sectionName(count));
    doc.setValue(settings::Main, settings::Entries, std::to_string(count - 1));
    return true;
}

std::string Catalogue::foundHandles(int n) const
{
    return m_store.readString(sectionName(n), FoundHandle, "");
}

void Catalogue::addFoundHandle(int n, std::string_view window)
{
    m_store.edit([&](IniDocument &doc) {
        const auto section = sectionName(n);
        const auto earlier = profileString(doc, section, FoundHandle, "");
        doc.setValue(section, FoundHandle,
            earlier.empty() ? std::string(window) : std::string(window) + "," + earlier);
    });
}

void Catalogue::resetTriggerMemory()
{
    const auto holdsHandles = [](const IniDocument &doc, int n) {
        const auto v = doc.value(sectionName(n), FoundHandle);
        return v && !v->empty();
    };
    const auto anyToEmpty = [&](const IniDocument &doc) {
        const int count = recordCount(doc);
        for (int n = 1; n <= count; ++n) {
            if (holdsHandles(doc, n))
                return true;
        }
        return false;
    };
    // Most starts find nothing to empty: then the file is neither locked nor rewritten.
    if (!anyToEmpty(*m_store.document()))
        return;
    m_store.edit([&](IniDocument &doc) {
        const int count = recordCount(doc);
        for (int n = 1; n <= count; ++n) {
            // Only existing values change, so the document keeps its index between writes.
            if (holdsHandles(doc, n))
                doc.setValue(sectionName(n), FoundHandle, "");
        }
    });
}

} // namespace quorvel
