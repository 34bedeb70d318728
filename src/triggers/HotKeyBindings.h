// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/Catalogue.h"
#include "triggers/TEPHotKey.h"

#include <array>
#include <functional>
#include <memory>

namespace quorvel {

// The main window's hot-key slots EPHotKey0 to EPHotKey100: slot N serves catalogue record N;
// EPHotKey0 has the same handler but no record and is never bound.
class HotKeyBindings
{
public:
    static constexpr int SlotCount = 101;

    // onHotKey gets the slot number and the key of every press (EPHotKey0HotKey's role);
    // reloadList is LoadMacroList, run after a binding pass over a non-empty catalogue.
    HotKeyBindings(HotKeyRegistrar &registrar, ErrorDisplay *errors,
        const std::function<void(int slot, KeyCode key)> &onHotKey,
        std::function<void()> reloadList = {});

    TEPHotKey &EPHotKey(int slot) { return *m_slots.at(std::size_t(slot)); }
    // The slot a component is, -1 for none of ours.
    int slotOf(const TEPHotKey &component) const;

    // Unbinds every slot, then binds slots 1 to 100 from the catalogue.
    void BindHotKeys(Catalogue &catalogue);

    // Slot holds a combination the platform refused when it was bound.
    bool refused(int slot) const;

private:
    std::array<std::unique_ptr<TEPHotKey>, SlotCount> m_slots;
    std::function<void()> m_reloadList;
};

// The wizard's stop-recording key EPHotkeyStopRecord: Ctrl+Shift+F12, disabled until the
// wizard or the properties dialog is shown.
class StopRecordHotKey : public TEPHotKey
{
public:
    explicit StopRecordHotKey(HotKeyRegistrar &registrar, ErrorDisplay *errors = nullptr);
};

} // namespace quorvel
