// SPDX-License-Identifier: GPL-3.0-or-later
#include "triggers/HotKeyBindings.h"

#include "catalogue/HotKeyValue.h"

namespace quorvel {

HotKeyBindings::HotKeyBindings(HotKeyRegistrar &registrar, ErrorDisplay *errors,
    const std::function<void(int slot, KeyCode key)> &onHotKey, std::function<void()> reloadList)
    : m_reloadList(std::move(reloadList))
{
    for (int slot = 0; slot < SlotCount; ++slot) {
        auto component = std::make_unique<TEPHotKey>(registrar, errors);
        component->OnHotKey = [onHotKey, slot](TEPHotKey &, unsigned &key, unsigned) {
            if (onHotKey)
                onHotKey(slot, KeyCode(key));
        };
        m_slots[std::size_t(slot)] = std::move(component);
    }
}

int HotKeyBindings::slotOf(const TEPHotKey &component) const
{
    for (int slot = 0; slot < SlotCount; ++slot) {
        if (m_slots[std::size_t(slot)].get() == &component)
            return slot;
    }
    return -1;
}

bool HotKeyBindings::refused(int slot) const
{
    if (slot < 0 || slot >= SlotCount)
        return false;
    const TEPHotKey &component = *m_slots[std::size_t(slot)];
    return component.HotKey() != 0 && component.Enabled() && !component.registered();
}

void HotKeyBindings::BindHotKeys(Catalogue &catalogue)
{
    const int entries = catalogue.recordCount();
    // Every combination is released before any is taken again.
    for (int slot = 1; slot < SlotCount; ++slot)
        EPHotKey(slot).SetHotKey(0);
    if (entries < 1)
        return;
    // All 100 slots are read, also those above Entries.
    const auto doc = catalogue.store().document();
    for (int slot = 1; slot < SlotCount; ++slot) {
        EPHotKey(slot).SetHotKey(Catalogue::record(*doc, slot).hotKey);
    }
    if (m_reloadList)
        m_reloadList();
}

StopRecordHotKey::StopRecordHotKey(HotKeyRegistrar &registrar, ErrorDisplay *errors)
    : TEPHotKey(registrar, errors)
{
    SetEnabled(false);
    SetHotKey(hotkey::StopRecord);
}

} // namespace quorvel
