// SPDX-License-Identifier: GPL-3.0-or-later
#include "triggers/HotKeyConflicts.h"

#include "catalogue/Catalogue.h"
#include "triggers/TEPHotKey.h"

#include <algorithm>

namespace quorvel {

namespace {

unsigned storedHotKey(const IniDocument &doc, int n)
{
    return Catalogue::record(doc, n).hotKey;
}

std::string keyText(unsigned value, const KeyNameLookup &keyName)
{
    std::string text = hotKeyText(value, keyName);
    return text.empty() ? "hot key " + std::to_string(value) : text;
}

std::string macroLabel(const std::string &name, int n)
{
    return name + " (macro " + std::to_string(n) + ")";
}

// The lowest-numbered record other than own whose slot takes value.
int lowestOtherHolder(const IniDocument &doc, unsigned value, int own)
{
    for (int n = 1; n <= HighestBoundMacro; ++n) {
        if (n != own && storedHotKey(doc, n) == value)
            return n;
    }
    return 0;
}

HotKeyConflict conflictIn(const IniDocument &doc, unsigned value, int macro,
    HotKeyRegistrar *registrar, const KeyNameLookup &keyName)
{
    HotKeyConflict c;
    c.hotKey = value & 0xFFFF;
    c.macro = macro;
    if (c.hotKey == 0)
        return c;
    if (macro > 0)
        c.macroName = Catalogue::listedName(doc, macro);
    // A new macro is appended after Entries, whatever the file holds beyond it.
    const int own = macro > 0
        ? macro
        : std::max(0, profileInteger(doc, settings::Main, settings::Entries, 0)) + 1;
    const std::string key = keyText(c.hotKey, keyName);

    if (own > HighestBoundMacro) {
        c.holder = HotKeyHolder::NoSlot;
        c.text = "Only macros 1 to 100 can have a hot key; " + key
            + " will not start this one (macro " + std::to_string(own) + ").";
        return c;
    }
    if (c.hotKey == hotkey::StopRecord) {
        c.holder = HotKeyHolder::StopRecording;
        c.text = key
            + " stops a recording; given to a macro, it starts the macro instead and "
              "stops no recording.";
        return c;
    }
    // Asked first: a key another program holds is lost to every macro, the lower one too.
    const auto modifiers = TEPHotKey::registrationModifiers(c.hotKey);
    if (registrar && registrar->heldElsewhere(modifiers, KeyCode(c.hotKey & hotkey::KeyMask))) {
        c.holder = HotKeyHolder::OtherProgram;
        c.text = heldByOtherProgramText(key);
        return c;
    }
    if (const int other = lowestOtherHolder(doc, c.hotKey, own)) {
        c.holder = HotKeyHolder::Macro;
        c.holderMacro = other;
        c.holderName = Catalogue::listedName(doc, other);
        c.keeps = own < other;
        c.text = c.keeps ? key + " is also the hot key of " + macroLabel(c.holderName, other)
                + "; this macro has the lower number and keeps it."
                         : heldByMacroText(key, c.holderName, other);
        return c;
    }
    c.text = key + " is free.";
    return c;
}

} // namespace

std::string heldByMacroText(const std::string &key, const std::string &holderName, int holder)
{
    return key + " is the hot key of " + macroLabel(holderName, holder)
        + "; the lower number keeps it.";
}

std::string heldByOtherProgramText(const std::string &key)
{
    return "Another program holds " + key + "; Quorvel cannot use it.";
}

HotKeyConflict hotKeyConflict(unsigned value, const Catalogue &catalogue, int macro,
    HotKeyRegistrar *registrar, const KeyNameLookup &keyName)
{
    return conflictIn(*catalogue.store().document(), value, macro, registrar, keyName);
}

std::vector<HotKeyConflict> catalogueHotKeyConflicts(
    const Catalogue &catalogue, HotKeyRegistrar *registrar, const KeyNameLookup &keyName)
{
    std::vector<HotKeyConflict> conflicts;
    const auto doc = catalogue.store().document();
    const int count = Catalogue::recordCount(*doc);
    for (int n = 1; n <= count; ++n) {
        const unsigned value = storedHotKey(*doc, n);
        if (value == 0)
            continue;
        HotKeyConflict c = conflictIn(*doc, value, n, registrar, keyName);
        if (c.holder == HotKeyHolder::Free || (c.holder == HotKeyHolder::Macro && c.keeps))
            continue;
        c.text = macroLabel(c.macroName, n) + ": " + c.text;
        conflicts.push_back(std::move(c));
    }
    return conflicts;
}

} // namespace quorvel
