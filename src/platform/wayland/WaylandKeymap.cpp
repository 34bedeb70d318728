// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandKeymap.h"

#include "common/Error.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <chrono>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace quorvel::wayland {

namespace {

struct ContextFree
{
    void operator()(xkb_context *c) const { xkb_context_unref(c); }
};
using Context = std::unique_ptr<xkb_context, ContextFree>;

// X keycodes stop at 255: keys above would not reach X programs under Xwayland.
constexpr unsigned kLastKeycode = 255;

bool isVendorKeysym(xkb_keysym_t sym)
{
    return sym >= 0x10080000 && sym < 0x10090000;
}

// Whether a key of the layout is worth keeping: one that types something or is a named key.
bool typesSomething(xkb_keymap *keymap, xkb_keycode_t kc)
{
    if (kc > kLastKeycode)
        return false;
    const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, kc, 0);
    for (xkb_level_index_t level = 0; level < levels; ++level) {
        const xkb_keysym_t *syms = nullptr;
        const int n = xkb_keymap_key_get_syms_by_level(keymap, kc, 0, level, &syms);
        for (int i = 0; i < n; ++i) {
            if (!isVendorKeysym(syms[i]))
                return true;
        }
    }
    return false;
}

// The keycode of the key named between the first "<" and ">" of a line.
xkb_keycode_t keyNamed(xkb_keymap *keymap, std::string_view line, std::size_t from = 0)
{
    const std::size_t open = line.find('<', from);
    const std::size_t close = line.find('>', open);
    if (open == std::string_view::npos || close == std::string_view::npos)
        return XKB_KEYCODE_INVALID;
    const std::string name(line.substr(open + 1, close - open - 1));
    return xkb_keymap_key_by_name(keymap, name.c_str());
}

// The layout's text without the key statements of the keys dropped, nor the names of keys
// above the last keycode: every client compiles the keymap at each change, the smaller the
// sooner.
std::string withoutKeys(const std::string &text, xkb_keymap *keymap,
    const std::unordered_map<unsigned, std::string> &dropped)
{
    std::string out;
    out.reserve(text.size());
    const std::size_t types = text.find("xkb_types");
    const std::size_t symbols = text.find("xkb_symbols");
    bool skipping = false;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string_view line(text.data() + at, end - at);
        if (at < types && (line.starts_with("\t<") || line.starts_with("\talias <"))) {
            // "<NAME> = 9;" or "alias <AL> = <NAME>;": the keycode is the last name's.
            const xkb_keycode_t kc = keyNamed(keymap, line, line.rfind('<'));
            if (kc == XKB_KEYCODE_INVALID || kc > kLastKeycode) {
                at = end;
                continue;
            }
        }
        if (at > symbols && line.starts_with("\tkey <")) {
            const xkb_keycode_t kc = keyNamed(keymap, line);
            skipping = kc == XKB_KEYCODE_INVALID || dropped.contains(kc) || kc > kLastKeycode;
        }
        if (!skipping)
            out.append(line);
        // A statement ends with its line's "};".
        if (skipping && line.find("};") != std::string_view::npos)
            skipping = false;
        at = end;
    }
    return out;
}

} // namespace

WaylandKeymap::WaylandKeymap()
{
    const Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    const xkb_rule_names names { "evdev", "pc105", "us", "", "" };
    const std::unique_ptr<xkb_keymap, KeymapFree> layout(context
            ? xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS)
            : nullptr);
    if (!layout)
        throw Error("Cannot build a keyboard layout with xkbcommon.");

    std::unordered_map<unsigned, std::string> dropped;
    for (xkb_keycode_t kc = xkb_keymap_min_keycode(layout.get());
         kc <= xkb_keymap_max_keycode(layout.get()); ++kc) {
        const char *name = xkb_keymap_key_get_name(layout.get(), kc);
        if (!name || typesSomething(layout.get(), kc))
            continue;
        dropped.emplace(kc, name);
        if (kc >= 8 && kc <= kLastKeycode) {
            m_spares.push_back(kc);
            m_spareNames.emplace(kc, name);
        }
    }

    char *full = xkb_keymap_get_as_string(layout.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!full)
        throw Error("Cannot build a keyboard layout with xkbcommon.");
    const std::string text = withoutKeys(full, layout.get(), dropped);
    free(full); // NOLINT(cppcoreguidelines-no-malloc): xkbcommon's allocation
    // The spare keys' lines go at the end of the symbols, before the section closes.
    const std::size_t last = text.rfind("};");
    const std::size_t symbolsEnd = last == std::string::npos ? last : text.rfind("};", last - 1);
    if (symbolsEnd == std::string::npos)
        throw Error("Cannot build a keyboard layout with xkbcommon.");
    m_head = text.substr(0, symbolsEnd);
    m_tail = text.substr(symbolsEnd);

    m_base.reset(xkb_keymap_new_from_string(
        context.get(), text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (m_base)
        m_state.reset(xkb_state_new(m_base.get()));
    if (!m_state)
        throw Error("Cannot build a keyboard layout with xkbcommon.");
    xkb_keymap *const base = m_base.get();
    const xkb_mod_mask_t shift = 1u << xkb_keymap_mod_get_index(base, XKB_MOD_NAME_SHIFT);
    // Plain levels of every key first, then the shifted ones: the first key found wins.
    for (const bool shifted : { false, true }) {
        const xkb_mod_mask_t wanted = shifted ? shift : 0;
        for (xkb_keycode_t kc = 8; kc <= kLastKeycode; ++kc) {
            if (xkb_keymap_num_layouts_for_key(base, kc) == 0)
                continue;
            const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(base, kc, 0);
            for (xkb_level_index_t level = 0; level < levels; ++level) {
                xkb_mod_mask_t masks[8] = {};
                const std::size_t n =
                    xkb_keymap_key_get_mods_for_level(base, kc, 0, level, masks, 8);
                bool reached = false;
                for (std::size_t i = 0; i < n; ++i)
                    reached = reached || masks[i] == wanted;
                if (!reached)
                    continue;
                const xkb_keysym_t *syms = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(base, kc, 0, level, &syms);
                for (int i = 0; i < count; ++i) {
                    const Binding binding { kc, shifted };
                    m_keysyms.emplace(syms[i], binding);
                    if (const char32_t ch = xkb_keysym_to_utf32(syms[i]))
                        m_characters.emplace(ch, binding);
                }
            }
        }
    }
}

void WaylandKeymap::KeymapFree::operator()(xkb_keymap *keymap) const
{
    xkb_keymap_unref(keymap);
}

void WaylandKeymap::StateFree::operator()(xkb_state *state) const
{
    xkb_state_unref(state);
}

bool WaylandKeymap::updateModifiers(unsigned keycode, bool press)
{
    const auto changed =
        xkb_state_update_key(m_state.get(), keycode, press ? XKB_KEY_DOWN : XKB_KEY_UP);
    return (changed & (XKB_STATE_MODS_EFFECTIVE | XKB_STATE_LAYOUT_EFFECTIVE)) != 0;
}

WaylandKeymap::Modifiers WaylandKeymap::modifiers() const
{
    xkb_state *state = m_state.get();
    return { xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE) };
}

WaylandKeymap::Binding WaylandKeymap::findCharacter(char32_t ch) const
{
    auto it = m_characters.find(ch);
    return it == m_characters.end() ? Binding {} : it->second;
}

WaylandKeymap::Binding WaylandKeymap::findKeysym(std::uint32_t keysym) const
{
    auto it = m_keysyms.find(keysym);
    return it == m_keysyms.end() ? Binding {} : it->second;
}

std::uint32_t WaylandKeymap::spareBinding(unsigned keycode) const
{
    auto it = m_bound.find(keycode);
    return it == m_bound.end() ? 0 : it->second;
}

void WaylandKeymap::bindSpare(unsigned keycode, std::uint32_t keysym)
{
    if (keysym)
        m_bound[keycode] = keysym;
    else
        m_bound.erase(keycode);
}

std::string WaylandKeymap::text() const
{
    std::string text = m_head;
    char name[64];
    for (const auto &[kc, keysym] : m_bound) {
        if (xkb_keysym_get_name(keysym, name, sizeof name) < 0)
            continue;
        std::string syms = name;
        const xkb_keysym_t upper = xkb_keysym_to_upper(keysym);
        if (upper != keysym && xkb_keysym_to_lower(upper) == keysym
            && xkb_keysym_get_name(upper, name, sizeof name) >= 0)
            syms += std::string(", ") + name;
        text += "\tkey <" + m_spareNames.at(kc) + "> { [ " + syms + " ] };\n";
    }
    text += m_tail;
    return text;
}

void sendKeymap(zwp_virtual_keyboard_v1 *keyboard, const WaylandKeymap &keymap)
{
    const std::string text = keymap.text();
    const int fd = memfd_create("quorvel-keymap", MFD_CLOEXEC);
    if (fd < 0)
        throw Error("Cannot make a keymap for the virtual keyboard.");
    // The compositor reads it as a C string: the size counts the terminating zero.
    const std::size_t size = text.size() + 1;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, text.c_str() + written, size - written);
        if (n <= 0) {
            close(fd);
            throw Error("Cannot make a keymap for the virtual keyboard.");
        }
        written += std::size_t(n);
    }
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
    close(fd);
    // A client starts a new keymap with no modifiers, and the compositor passes on only a
    // change: modifiers held go again, cleared first.
    const WaylandKeymap::Modifiers mods = keymap.modifiers();
    if (mods.depressed || mods.latched || mods.locked || mods.group) {
        zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
        zwp_virtual_keyboard_v1_modifiers(
            keyboard, mods.depressed, mods.latched, mods.locked, mods.group);
    }
}

int sendKey(zwp_virtual_keyboard_v1 *keyboard, WaylandKeymap &keymap, unsigned keycode, bool press)
{
    constexpr unsigned evdevOffset = 8; // XKB keycodes are evdev codes plus 8
    zwp_virtual_keyboard_v1_key(keyboard, eventTime(), keycode - evdevOffset,
        press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    // The compositor takes a virtual keyboard's modifiers only from what it is told, as a
    // keyboard's own state follows its keys.
    if (!keymap.updateModifiers(keycode, press))
        return 1;
    const WaylandKeymap::Modifiers mods = keymap.modifiers();
    zwp_virtual_keyboard_v1_modifiers(
        keyboard, mods.depressed, mods.latched, mods.locked, mods.group);
    return 2;
}

std::uint32_t eventTime()
{
    using namespace std::chrono;
    return std::uint32_t(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace quorvel::wayland
