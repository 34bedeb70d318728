// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xkb/LayoutKeys.h"

#include "common/Error.h"

#include <xkbcommon/xkbcommon.h>

namespace quorvel::xkb {

namespace {

constexpr unsigned kEvdevOffset = 8;

// The modifier mask a key gives while it is held.
xkb_mod_mask_t maskOfKey(xkb_keymap *keymap, xkb_keycode_t key)
{
    xkb_state *state = xkb_state_new(keymap);
    if (!state)
        return 0;
    xkb_state_update_key(state, key, XKB_KEY_DOWN);
    const xkb_mod_mask_t mask = xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED);
    xkb_state_unref(state);
    return mask;
}

} // namespace

struct LayoutKeys::Keymap
{
    xkb_context *context = nullptr;
    xkb_keymap *keymap = nullptr;
    ~Keymap()
    {
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
};

LayoutKeys::LayoutKeys(const LayoutNames &names)
    : m_keymap(std::make_unique<Keymap>())
{
    m_keymap->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!m_keymap->context)
        throw Error("Cannot read the keyboard layout: xkbcommon is not usable");
    // A bad name is told by the Error below, not on the terminal.
    xkb_context_set_log_level(m_keymap->context, XKB_LOG_LEVEL_CRITICAL);
    const auto orNull = [](const std::string &s) { return s.empty() ? nullptr : s.c_str(); };
    const xkb_rule_names rules { "evdev", nullptr, orNull(names.layout), orNull(names.variant),
        orNull(names.options) };
    m_keymap->keymap =
        xkb_keymap_new_from_names(m_keymap->context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!m_keymap->keymap)
        throw Error("Cannot read the keyboard layout \"" + names.layout + "\"");
    xkb_keymap *keymap = m_keymap->keymap;

    // The keys that give Shift and the third level, and the masks they give.
    struct Modifier
    {
        xkb_keycode_t key = XKB_KEYCODE_INVALID;
        xkb_mod_mask_t mask = 0;
    };
    Modifier shift, level3;
    const xkb_keycode_t first = xkb_keymap_min_keycode(keymap);
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t kc = first; kc <= last; ++kc) {
        const xkb_keysym_t *syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, kc, 0, 0, &syms) != 1)
            continue;
        // The keys a person presses: left Shift, and right Alt where it is AltGr (not the
        // layout's hidden third-level key).
        const bool isShift = syms[0] == XKB_KEY_Shift_L || syms[0] == XKB_KEY_Shift_R;
        Modifier *modifier = isShift              ? &shift
            : syms[0] == XKB_KEY_ISO_Level3_Shift ? &level3
                                                  : nullptr;
        const bool preferred =
            syms[0] == XKB_KEY_Shift_L || kc == xkb_keymap_key_by_name(keymap, "RALT");
        if (modifier && (modifier->key == XKB_KEYCODE_INVALID || preferred))
            *modifier = { kc, maskOfKey(keymap, kc) };
    }

    // The modifier keys that make up a level's mask; false when other modifiers are needed.
    const auto keysFor = [&](xkb_mod_mask_t mask, std::vector<unsigned> &keys) {
        for (const Modifier *m : { &shift, &level3 }) {
            if (m->mask && (mask & m->mask) == m->mask) {
                keys.push_back(m->key - kEvdevOffset);
                mask &= ~m->mask;
            }
        }
        return mask == 0;
    };

    for (xkb_keycode_t kc = first; kc <= last; ++kc) {
        if (kc < kEvdevOffset)
            continue;
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, kc, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t *syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, kc, 0, level, &syms) != 1)
                continue;
            if (level == 0)
                m_keysyms.try_emplace(syms[0], kc - kEvdevOffset);
            const char32_t ch = xkb_keysym_to_utf32(syms[0]);
            if (ch < 0x20 || ch == 0x7F)
                continue;
            xkb_mod_mask_t masks[8];
            const std::size_t n = xkb_keymap_key_get_mods_for_level(keymap, kc, 0, level, masks, 8);
            for (std::size_t i = 0; i < n; ++i) {
                KeyStroke stroke { kc - kEvdevOffset, {} };
                if (!keysFor(masks[i], stroke.modifiers))
                    continue;
                const auto found = m_characters.find(ch);
                if (found == m_characters.end()
                    || found->second.modifiers.size() > stroke.modifiers.size())
                    m_characters.insert_or_assign(ch, std::move(stroke));
                break;
            }
        }
    }
}

LayoutKeys::~LayoutKeys() = default;
LayoutKeys::LayoutKeys(LayoutKeys &&) noexcept = default;
LayoutKeys &LayoutKeys::operator=(LayoutKeys &&) noexcept = default;

std::optional<KeyStroke> LayoutKeys::character(char32_t ch) const
{
    const auto found = m_characters.find(ch);
    if (found == m_characters.end())
        return std::nullopt;
    return found->second;
}

std::optional<unsigned> LayoutKeys::keysym(std::uint32_t keysym) const
{
    const auto found = m_keysyms.find(keysym);
    if (found == m_keysyms.end())
        return std::nullopt;
    return found->second;
}

} // namespace quorvel::xkb
