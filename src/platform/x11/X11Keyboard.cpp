// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Keyboard.h"

#include "platform/x11/KeysymUnicode.h"
#include "platform/x11/VirtualKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace quorvel::x11 {

namespace {
constexpr std::size_t kSpareKeys = 32;
}

struct X11Keyboard::Impl
{
    XkbDescPtr xkb = nullptr;
    unsigned minKey = 8, maxKey = 255;
    unsigned locked = 0;
    int group = 0;
    bool mapDirty = true;
    bool indexDirty = true;
    bool notify = false;

    std::vector<unsigned> modKeys[8];
    unsigned altMask = Mod1Mask, level3Mask = 0, numLockMask = 0, scrollLockMask = 0;
    unsigned shiftKey = 0, controlKey = 0, altKey = 0, level3Key = 0;
    std::vector<unsigned> spares;
    // What we bound on a spare key: the plain and the shifted keysym.
    std::unordered_map<unsigned, std::pair<unsigned long, unsigned long>> spareSyms;

    std::unordered_map<char32_t, Binding> chars;
    std::unordered_map<unsigned long, Binding> keysyms;
    std::unordered_map<unsigned long, unsigned> lowest;
    std::vector<std::function<void()>> listeners;
    // Ranges of keys our own batched bindings rewrote (the spares and what lies between them):
    // their notifications are ours too.
    std::vector<std::pair<unsigned, unsigned>> ownChanges;

    bool isOwnChange(unsigned first, unsigned count)
    {
        auto it = std::find(ownChanges.begin(), ownChanges.end(), std::make_pair(first, count));
        return it != ownChanges.end();
    }

    ~Impl()
    {
        if (xkb)
            XkbFreeKeyboard(xkb, 0, True);
    }

    bool isSpare(unsigned kc) const
    {
        return std::find(spares.begin(), spares.end(), kc) != spares.end();
    }

    // A rebinding of our spare keys alone, by us or echoed later, leaves the layout as read.
    bool onlySparesChanged(bool keysOnly, int first, int count)
    {
        bool ours = keysOnly && count > 0;
        if (ours && isOwnChange(unsigned(first), unsigned(count)))
            return true;
        for (int i = 0; ours && i < count; ++i)
            ours = isSpare(unsigned(first + i));
        return ours;
    }

    int groupOf(unsigned kc) const
    {
        const int groups = XkbKeyNumGroups(xkb, kc);
        if (groups <= 0)
            return -1;
        if (group < groups)
            return group;
        const unsigned info = XkbKeyGroupInfo(xkb, kc);
        switch (XkbOutOfRangeGroupAction(info)) {
        case XkbRedirectIntoRange: {
            const int g = XkbOutOfRangeGroupNumber(info);
            return g < groups ? g : 0;
        }
        case XkbClampIntoRange:
            return groups - 1;
        default:
            return group % groups;
        }
    }

    // The level that the modifiers select on the key's type.
    static int levelFor(XkbKeyTypePtr type, unsigned mods)
    {
        const unsigned relevant = mods & type->mods.mask;
        for (int i = 0; i < type->map_count; ++i) {
            const XkbKTMapEntryRec &e = type->map[i];
            if (e.active && e.mods.mask == relevant)
                return e.level;
        }
        return 0;
    }

    bool hasSymbols(unsigned kc) const
    {
        const int groups = XkbKeyNumGroups(xkb, kc);
        for (int g = 0; g < groups; ++g) {
            for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, g); ++l) {
                if (XkbKeySymEntry(xkb, kc, l, g) != NoSymbol)
                    return true;
            }
        }
        return false;
    }

    bool isModifierKey(unsigned kc) const
    {
        for (const auto &keys : modKeys) {
            if (std::find(keys.begin(), keys.end(), kc) != keys.end())
                return true;
        }
        return false;
    }

    void readModifiers(Display *dpy)
    {
        for (auto &keys : modKeys)
            keys.clear();
        XModifierKeymap *map = XGetModifierMapping(dpy);
        if (!map)
            return;
        for (int m = 0; m < 8; ++m) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                const unsigned kc = map->modifiermap[m * map->max_keypermod + k];
                if (kc)
                    modKeys[m].push_back(kc);
            }
        }
        XFreeModifiermap(map);

        auto maskOf = [&](unsigned long keysym) -> unsigned {
            for (int m = 0; m < 8; ++m) {
                for (unsigned kc : modKeys[m]) {
                    const int groups = XkbKeyNumGroups(xkb, kc);
                    for (int g = 0; g < groups; ++g) {
                        for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, g); ++l) {
                            if (XkbKeySymEntry(xkb, kc, l, g) == keysym)
                                return 1u << m;
                        }
                    }
                }
            }
            return 0;
        };
        altMask = maskOf(XK_Alt_L);
        if (!altMask)
            altMask = maskOf(XK_Meta_L);
        if (!altMask)
            altMask = Mod1Mask;
        level3Mask = maskOf(XK_ISO_Level3_Shift);
        numLockMask = maskOf(XK_Num_Lock);
        scrollLockMask = maskOf(XK_Scroll_Lock);
    }

    unsigned long firstSymbol(unsigned kc) const
    {
        return XkbKeyNumGroups(xkb, kc) > 0 ? XkbKeySymEntry(xkb, kc, 0, 0) : NoSymbol;
    }

    void chooseSpares()
    {
        // A spare keeps its place while it holds nothing or what we bound on it; a new layout
        // may have emptied it (our binding is gone) or taken it over (no longer spare).
        std::erase_if(spares, [&](unsigned kc) {
            auto bound = spareSyms.find(kc);
            const bool empty = !hasSymbols(kc);
            if (bound != spareSyms.end() && !empty && firstSymbol(kc) == bound->second.first)
                return isModifierKey(kc);
            if (bound != spareSyms.end())
                spareSyms.erase(bound);
            return !empty || isModifierKey(kc);
        });
        for (unsigned kc = maxKey; kc >= minKey && spares.size() < kSpareKeys; --kc) {
            if (!isSpare(kc) && !hasSymbols(kc) && !isModifierKey(kc))
                spares.push_back(kc);
        }
    }

    void rebuildIndex()
    {
        chars.clear();
        keysyms.clear();
        if (!xkb || !xkb->map)
            return;
        unsigned combos[4] = { 0, ShiftMask, 0, 0 };
        int comboCount = 2;
        if (level3Mask && level3Key) {
            combos[comboCount++] = level3Mask;
            combos[comboCount++] = ShiftMask | level3Mask;
        }
        // Cheapest modifiers first, then the lowest key: the first entry for a character wins.
        for (int c = 0; c < comboCount; ++c) {
            forEachLayoutKey([&](unsigned kc, int g) {
                XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, g);
                const unsigned mods = combos[c] | locked;
                const int level = levelFor(type, mods);
                if (level >= XkbKeyGroupWidth(xkb, kc, g))
                    return;
                const KeySym sym = XkbKeySymEntry(xkb, kc, level, g);
                if (sym == NoSymbol)
                    return;
                keysyms.try_emplace(sym, Binding { kc, combos[c] });
                KeySym typed = sym;
                // Clients upper-case what a lock the key type ignores leaves unconsumed.
                if ((locked & LockMask) && !(type->mods.mask & LockMask)) {
                    KeySym lower = 0, upper = 0;
                    XConvertCase(sym, &lower, &upper);
                    typed = upper;
                }
                if (const char32_t ch = keysymToUnicode(typed))
                    chars.try_emplace(ch, Binding { kc, combos[c] });
            });
        }
    }

    // Every key of the user's layout (not our spares) with its effective group.
    template <typename Visit> void forEachLayoutKey(Visit visit) const
    {
        for (unsigned kc = minKey; kc <= maxKey; ++kc) {
            if (isSpare(kc))
                continue;
            if (const int g = groupOf(kc); g >= 0)
                visit(kc, g);
        }
    }

    void rebuildLowest()
    {
        lowest.clear();
        if (!xkb || !xkb->map)
            return;
        forEachLayoutKey([&](unsigned kc, int g) {
            for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, g); ++l) {
                const KeySym sym = XkbKeySymEntry(xkb, kc, l, g);
                if (sym == NoSymbol)
                    continue;
                auto it = lowest.find(sym);
                if (it == lowest.end())
                    lowest.emplace(sym, kc | (unsigned(l) << 16));
                else if (unsigned(l) < (it->second >> 16))
                    it->second = kc | (unsigned(l) << 16);
            }
        });
    }
};

X11Keyboard::X11Keyboard(X11Connection &connection)
    : m_connection(connection)
    , m_impl(std::make_unique<Impl>())
{
    Display *dpy = connection.display();
    if (connection.xkbEventBase() >= 0) {
        const unsigned events = XkbNewKeyboardNotifyMask | XkbMapNotifyMask | XkbStateNotifyMask;
        XkbSelectEvents(dpy, XkbUseCoreKbd, events, events);
        XkbSelectEventDetails(dpy, XkbUseCoreKbd, XkbStateNotify, XkbAllStateComponentsMask,
            XkbModifierLockMask | XkbGroupStateMask);
    }
    connection.addHandler([this](const XEvent &e) { handleEvent(e); });
    ensure();
}

X11Keyboard::~X11Keyboard() = default;

void X11Keyboard::handleEvent(const XEvent &event)
{
    if (event.type == MappingNotify) {
        XMappingEvent mapping = event.xmapping;
        if (mapping.request == MappingPointer)
            return;
        XRefreshKeyboardMapping(&mapping);
        if (!m_impl->onlySparesChanged(
                mapping.request == MappingKeyboard, mapping.first_keycode, mapping.count))
            invalidate();
        return;
    }
    if (m_connection.xkbEventBase() < 0 || event.type != m_connection.xkbEventBase())
        return;
    const auto &xkbEvent = reinterpret_cast<const XkbEvent &>(event);
    switch (xkbEvent.any.xkb_type) {
    case XkbStateNotify:
        if (m_impl->locked != xkbEvent.state.locked_mods || m_impl->group != xkbEvent.state.group) {
            m_impl->locked = xkbEvent.state.locked_mods;
            m_impl->group = xkbEvent.state.group;
            m_impl->indexDirty = true;
        }
        break;
    case XkbMapNotify: {
        const XkbMapNotifyEvent &map = xkbEvent.map;
        const bool keysOnly = (map.changed
                                  & ~(XkbKeySymsMask | XkbKeyActionsMask | XkbKeyBehaviorsMask
                                      | XkbExplicitComponentsMask | XkbVirtualModMapMask))
            == 0;
        if (!m_impl->onlySparesChanged(keysOnly, map.first_key_sym, map.num_key_syms))
            invalidate();
        break;
    }
    case XkbNewKeyboardNotify:
        invalidate();
        break;
    default:
        break;
    }
}

void X11Keyboard::invalidate()
{
    m_impl->mapDirty = true;
}

void X11Keyboard::ensure()
{
    Display *dpy = m_connection.display();
    if (m_impl->mapDirty) {
        m_impl->mapDirty = false;
        if (m_impl->xkb)
            XkbFreeKeyboard(m_impl->xkb, 0, True);
        m_impl->xkb =
            XkbGetMap(dpy, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
        if (m_impl->xkb) {
            m_impl->minKey = m_impl->xkb->min_key_code;
            m_impl->maxKey = m_impl->xkb->max_key_code;
        }
        XkbStateRec state {};
        if (XkbGetState(dpy, XkbUseCoreKbd, &state) == Success) {
            m_impl->locked = state.locked_mods;
            m_impl->group = state.group;
        }
        m_impl->readModifiers(dpy);
        m_impl->chooseSpares();
        m_impl->notify = true;
        m_impl->indexDirty = true;
        m_impl->rebuildLowest();
        // The modifier keys we press: their lowest binding, whatever the layout.
        auto key = [&](unsigned long sym) {
            auto it = m_impl->lowest.find(sym);
            return it == m_impl->lowest.end() ? 0u : (it->second & 0xFFFF);
        };
        m_impl->shiftKey = key(XK_Shift_L);
        m_impl->controlKey = key(XK_Control_L);
        m_impl->altKey = key(XK_Alt_L);
        if (!m_impl->altKey)
            m_impl->altKey = key(XK_Meta_L);
        m_impl->level3Key = key(XK_ISO_Level3_Shift);
    }
    if (m_impl->indexDirty) {
        m_impl->indexDirty = false;
        m_impl->rebuildIndex();
    }
    if (m_impl->notify) {
        m_impl->notify = false;
        const auto listeners = m_impl->listeners;
        for (const auto &l : listeners)
            l();
    }
}

void X11Keyboard::update()
{
    ensure();
}

void X11Keyboard::addChangeListener(std::function<void()> listener)
{
    m_impl->listeners.push_back(std::move(listener));
}

X11Keyboard::Binding X11Keyboard::findCharacter(char32_t ch)
{
    ensure();
    auto it = m_impl->chars.find(ch);
    return it == m_impl->chars.end() ? Binding {} : it->second;
}

X11Keyboard::Binding X11Keyboard::findKeysym(unsigned long keysym)
{
    ensure();
    auto it = m_impl->keysyms.find(keysym);
    return it == m_impl->keysyms.end() ? Binding {} : it->second;
}

unsigned X11Keyboard::keycodeFor(unsigned long keysym)
{
    ensure();
    auto it = m_impl->lowest.find(keysym);
    return it == m_impl->lowest.end() ? 0 : (it->second & 0xFFFF);
}

std::vector<unsigned> X11Keyboard::keycodesFor(unsigned long keysym)
{
    ensure();
    std::vector<unsigned> out;
    if (!m_impl->xkb || !keysym)
        return out;
    for (unsigned kc = m_impl->minKey; kc <= m_impl->maxKey; ++kc) {
        const int groups = XkbKeyNumGroups(m_impl->xkb, kc);
        bool found = false;
        for (int g = 0; g < groups && !found; ++g) {
            for (int l = 0; l < XkbKeyGroupWidth(m_impl->xkb, kc, g) && !found; ++l)
                found = XkbKeySymEntry(m_impl->xkb, kc, l, g) == keysym;
        }
        if (found)
            out.push_back(kc);
    }
    return out;
}

int X11Keyboard::virtualKeyOf(unsigned keycode)
{
    ensure();
    auto *xkb = m_impl->xkb;
    if (!xkb || keycode < m_impl->minKey || keycode > m_impl->maxKey)
        return 0;
    const int group = m_impl->groupOf(keycode);
    if (group < 0)
        return 0;
    int first = 0;
    for (int level = 0; level < XkbKeyGroupWidth(xkb, keycode, group); ++level) {
        const int vk = keysymToVirtualKey(XkbKeySymEntry(xkb, keycode, level, group));
        if (vk >= 0x60 && vk <= 0x6F)
            return vk;
        if (!first)
            first = vk;
    }
    return first;
}

std::vector<unsigned> X11Keyboard::modifierKeys(unsigned mask)
{
    ensure();
    std::vector<unsigned> out;
    for (int i = 0; i < 8; ++i) {
        if (mask & (1u << i))
            out.insert(out.end(), m_impl->modKeys[i].begin(), m_impl->modKeys[i].end());
    }
    return out;
}

unsigned X11Keyboard::altMask()
{
    ensure();
    return m_impl->altMask;
}

unsigned X11Keyboard::level3Mask()
{
    ensure();
    return m_impl->level3Key ? m_impl->level3Mask : 0;
}

unsigned X11Keyboard::numLockMask()
{
    ensure();
    return m_impl->numLockMask;
}

unsigned X11Keyboard::scrollLockMask()
{
    ensure();
    return m_impl->scrollLockMask;
}

unsigned X11Keyboard::lockedModifiers()
{
    ensure();
    return m_impl->locked;
}

unsigned X11Keyboard::shiftKey()
{
    ensure();
    return m_impl->shiftKey;
}

unsigned X11Keyboard::controlKey()
{
    ensure();
    return m_impl->controlKey;
}

unsigned X11Keyboard::altKey()
{
    ensure();
    return m_impl->altKey;
}

unsigned X11Keyboard::level3Key()
{
    ensure();
    return m_impl->level3Key;
}

const std::vector<unsigned> &X11Keyboard::spareKeys()
{
    ensure();
    return m_impl->spares;
}

unsigned long X11Keyboard::spareBinding(unsigned keycode)
{
    ensure();
    auto it = m_impl->spareSyms.find(keycode);
    return it == m_impl->spareSyms.end() ? 0 : it->second.first;
}

unsigned long X11Keyboard::spareShiftedBinding(unsigned keycode)
{
    ensure();
    auto it = m_impl->spareSyms.find(keycode);
    return it == m_impl->spareSyms.end() ? 0 : it->second.second;
}

void X11Keyboard::setSpareBinding(unsigned keycode, unsigned long keysym)
{
    if (keysym)
        m_impl->spareSyms[keycode] = { keysym, keysym };
    else
        m_impl->spareSyms.erase(keycode);
}

void X11Keyboard::bindSpares(const std::vector<SpareBindingRequest> &bindings)
{
    ensure();
    XkbDescPtr xkb = m_impl->xkb;
    if (!xkb || !xkb->map || bindings.empty())
        return;
    unsigned first = m_impl->maxKey, last = m_impl->minKey;
    for (const SpareBindingRequest &b : bindings) {
        if (!m_impl->isSpare(b.keycode))
            continue;
        // A cased pair is alphabetic, so CapsLock works on it; two characters without case
        // are one plain and one shifted, which CapsLock leaves alone; one alone types the same
        // with or without Shift.
        const bool single = b.lower == b.upper;
        KeySym lower = 0, upper = 0;
        XConvertCase(b.lower, &lower, &upper);
        const bool cased = !single && lower == b.lower && upper == b.upper;
        const int width = single ? 1 : 2;
        KeySym *syms = XkbResizeKeySyms(xkb, int(b.keycode), width);
        if (!syms)
            continue;
        XkbSymMapRec &map = xkb->map->key_sym_map[b.keycode];
        map.kt_index[0] = single ? XkbOneLevelIndex : cased ? XkbAlphabeticIndex : XkbTwoLevelIndex;
        map.group_info = XkbSetNumGroups(0, 1);
        map.width = std::uint8_t(width);
        syms[0] = b.lower;
        if (!single)
            syms[1] = b.upper;
        m_impl->spareSyms[b.keycode] = { b.lower, b.upper };
        first = std::min(first, b.keycode);
        last = std::max(last, b.keycode);
    }
    if (first > last)
        return;
    XkbMapChangesRec changes {};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = KeyCode(first);
    changes.num_key_syms = std::uint8_t(last - first + 1);
    if (!m_impl->isOwnChange(first, last - first + 1)) {
        m_impl->ownChanges.emplace_back(first, last - first + 1);
        if (m_impl->ownChanges.size() > 64)
            m_impl->ownChanges.erase(m_impl->ownChanges.begin());
    }
    XkbChangeMap(m_connection.display(), xkb, &changes);
}

} // namespace quorvel::x11
