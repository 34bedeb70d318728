// SPDX-License-Identifier: GPL-3.0-or-later
// The portal sink's rules without a desktop: which programs are terminals, which characters one
// paste carries, KDE's layout names, and what a macro's text turns into, read back as the
// desktop's US keymap would read the keys (with each paste's text where it was pasted).
#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeTimers.h"
#include "fakes/FakeValuePrompt.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/TestSupport.h"
#include "platform/portal/Clipboard.h"
#include "platform/portal/KdeLayout.h"
#include "platform/portal/KeyInput.h"
#include "platform/portal/NamedKeys.h"
#include "platform/portal/PasteRules.h"
#include "platform/portal/PortalKeySink.h"
#include "playback/MacroRunner.h"

#include <chrono>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <xkbcommon/xkbcommon.h>

using namespace quorvel;
using namespace quorvel::portal;
using namespace quorvel::testing;

namespace {

TEST(PortalRules, TerminalsAreToldApart)
{
    const std::pair<const char *, bool> rows[] = { { "org.kde.konsole", true }, { "konsole", true },
        { "weston-terminal", true }, { "XTerm", true }, { "URxvt", true },
        { "org.gnome.Console", true }, { "foot", true }, { "org.kde.kate", false },
        { "featherpad", false }, { "", false }, { "konsole2", false } };
    for (const auto &[app, terminal] : rows)
        EXPECT_EQ(isTerminal(app), terminal) << app;
}

TEST(PortalRules, OnePasteCarriesARunOfLackingCharacters)
{
    const auto lacks = [](char32_t c) { return c > 0x7F; };
    struct Row
    {
        const char32_t *ahead;
        std::size_t limit;
        const char32_t *run;
    } rows[] = {
        { U"中文字a中", 100, U"中文字" },
        { U"Привет мир, ok", 100, U"Привет мир" }, // a space between two goes along
        { U"é  ü", 100, U"é  ü" },
        { U"é a", 100, U"é" }, // not one before a character the layout has
        { U"é ", 100, U"é" },
        { U"中文字", 2, U"中文" },
        { U"東\n京", 100, U"東" },
    };
    for (const Row &row : rows)
        EXPECT_EQ(text::encode(lackingRun(row.ahead, lacks, row.limit)), text::encode(row.run))
            << text::encode(row.ahead);
}

TEST(PortalRules, KdeLayoutNamesComeFromTheLayoutGroup)
{
    struct Row
    {
        const char *kxkbrc;
        xkb::LayoutNames names;
    } rows[] = {
        { "[Layout]\nLayoutList=de,us\nVariantList=nodeadkeys,\nOptions=grp:alt_shift_toggle\n",
            { "de,us", "nodeadkeys,", "grp:alt_shift_toggle" } },
        { "[Other]\nLayoutList=fr\n[Layout]\r\nUse=true\r\nLayoutList[$i]= ru \r\n",
            { "ru", "", "" } },
        { "[Layout]\nOptions=caps:escape\n", {} }, // alone they would change the default
        { "", {} },
    };
    for (const Row &row : rows) {
        const xkb::LayoutNames names = kdeLayoutNames(row.kxkbrc);
        EXPECT_EQ(names.layout, row.names.layout) << row.kxkbrc;
        EXPECT_EQ(names.variant, row.names.variant) << row.kxkbrc;
        EXPECT_EQ(names.options, row.names.options) << row.kxkbrc;
    }
    // The user's files are data: a FIFO in their place reads as nothing, at once.
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("kxkbrc").c_str(), 0600), 0);
    EXPECT_TRUE(readKdeLayoutNames(dir.path()).layout.empty());
}

TEST(PortalRules, NamedKeysAreEvdevKeys)
{
    const std::tuple<KeyCode, unsigned, bool> rows[] = { { vk::Return, 28, false },
        { 'A', 30, false }, { '0', 11, false }, { vk::F1, 59, false }, { vk::F24, 194, false },
        { vk::Numpad0, 82, true }, { 0xA5, 100, false }, { 0xFF, 0, false } };
    for (const auto &[key, evdev, shift] : rows) {
        EXPECT_EQ(namedKey(key).evdev, evdev) << key;
        EXPECT_EQ(namedKey(key).shift, shift) << key;
    }
}

// The desktop's side: keys read with a US keymap, a paste's text where it was pasted, and
// chords with Ctrl as "^" and the key (Shift as "+").
class Desktop : public KeyInput, public PasteRoute
{
public:
    Desktop()
    {
        m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names { "evdev", nullptr, "us", nullptr, nullptr };
        m_keymap = xkb_keymap_new_from_names(m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        m_state = xkb_state_new(m_keymap);
    }
    ~Desktop() override
    {
        xkb_state_unref(m_state);
        xkb_keymap_unref(m_keymap);
        xkb_context_unref(m_context);
    }

    void keycode(unsigned evdev, bool pressed) override
    {
        const xkb_keycode_t kc = evdev + 8;
        if (pressed && refusals > 0) {
            --refusals;
            throw Error("no session");
        }
        if (pressed) {
            EXPECT_TRUE(down.insert(evdev).second) << "pressed twice: " << evdev;
            const xkb_keysym_t sym = xkb_state_key_get_one_sym(m_state, kc);
            const bool ctrl =
                xkb_state_mod_name_is_active(m_state, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE)
                > 0;
            if (ctrl && xkb_keysym_to_utf32(sym)) {
                const bool shift = xkb_state_mod_name_is_active(
                                       m_state, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE)
                    > 0;
                seen += std::string("^") + (shift ? "+" : "") + char(xkb_keysym_to_lower(sym));
            } else {
                char utf8[16] = {};
                xkb_state_key_get_utf8(m_state, kc, utf8, sizeof utf8);
                seen += utf8;
            }
        } else {
            EXPECT_EQ(down.erase(evdev), 1U) << "released but not down: " << evdev;
        }
        xkb_state_update_key(m_state, kc, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
        ++events;
    }
    void sync() override { }
    void paste(std::string_view text, const std::function<void()> &pressPasteKey,
        std::chrono::milliseconds) override
    {
        seen += "[" + std::string(text) + "]";
        pressPasteKey();
        ++pastes;
    }

    std::string seen;
    std::set<unsigned> down;
    int refusals = 0; // presses refused, as when the desktop's session could not be had
    int events = 0;
    int pastes = 0;

private:
    xkb_context *m_context = nullptr;
    xkb_keymap *m_keymap = nullptr;
    xkb_state *m_state = nullptr;
};

struct Typed
{
    std::string seen;
    int pastes = 0;
    int events = 0;
};

Typed typeMacro(const std::string &macro, const std::string &app, bool withPaste = true)
{
    TempDir dir;
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    Desktop desktop;
    PortalKeySink keys(
        desktop, { "us", "", "" }, withPaste ? &desktop : nullptr, [app] { return app; });
    struct : EventPump
    {
        void processMessages() override { }
        void sleep(int) override { }
    } pump;
    FakeWindowSystem windows;
    FakeLauncher launcher;
    FakeJournal journal;
    FakeValuePrompt prompt;
    FakeDateTimeFormatter dateTime;
    FakeTimers timers;
    MacroRunner runner(PlaybackServices { keys, keys, pump, windows, launcher, journal, prompt,
        dateTime, timers, catalogue, dir.path() + "/" });
    runner.interpreter().runAdvancedMacroText(macro);
    keys.releaseAll();
    EXPECT_TRUE(desktop.down.empty()) << "a key stayed down after " << macro;
    return { desktop.seen, desktop.pastes, desktop.events };
}

TEST(PortalKeySink, TypesWhatTheMacroSays)
{
    struct Row
    {
        const char *macro;
        const char *app;
        const char *seen;
        int pastes;
    } rows[] = {
        { "Hello, World! ~1", "", "Hello, World! ~1", 0 },
        { "中文字 a 東京", "org.kde.kate", "[中文字]^v a [東京]^v", 2 },
        { "中文字 a 東京", "org.kde.konsole", "[中文字]^+v a [東京]^+v", 2 },
        { "Привет мир, ok", "", "[Привет мир]^v, ok", 1 },
        { "<<SHIFT>>a<<SHIFT>>é ABC", "", "A[É]^v ABC", 1 },
        { "x<<CTRL>>é", "", "x[é]^v", 1 },
    };
    for (const Row &row : rows) {
        const Typed typed = typeMacro(row.macro, row.app);
        EXPECT_EQ(typed.seen, row.seen) << row.macro;
        EXPECT_EQ(typed.pastes, row.pastes) << row.macro;
    }
}

TEST(PortalKeySink, ShiftStaysDownThroughCapitals)
{
    // Each key pressed and released, and Shift once for the word.
    EXPECT_EQ(typeMacro("ABCDEF", "").events, 2 * 6 + 2);
    EXPECT_EQ(typeMacro("AbC", "").seen, "AbC");
}

// Releasing a key that never went out would ask the desktop for a session again, with its
// dialog, while the program ends.
TEST(PortalKeySink, APressThatNeverWentOutIsNeverReleased)
{
    Desktop desktop;
    desktop.refusals = 1;
    PortalKeySink keys(desktop, { "us", "", "" });
    EXPECT_THROW(keys.keyEvent(keys.keyScan(U'A').key, 0, false, false), Error);
    keys.releaseAll();
    EXPECT_EQ(desktop.events, 0);
}

TEST(PortalKeySink, WithoutAPasteRouteWhatTheLayoutLacksHasNone)
{
    Desktop desktop;
    PortalKeySink keys(desktop, { "us", "", "" });
    EXPECT_EQ(keys.routeOf(U'a'), CharacterRoute::Key);
    EXPECT_EQ(keys.routeOf(U'\n'), CharacterRoute::Key);
    EXPECT_EQ(keys.routeOf(U'中'), CharacterRoute::None);
    PortalKeySink pasting(desktop, { "us", "", "" }, &desktop);
    EXPECT_EQ(pasting.routeOf(U'中'), CharacterRoute::Pasted);
}

TEST(PortalKeySink, AHotKeysModifiersCountAsDownUntilAMomentAfterItIsLetGo)
{
    Desktop desktop;
    PortalKeySink keys(desktop, { "us", "", "" });
    EXPECT_FALSE(keys.isKeyDown(vk::Control));
    keys.userShortcutHeld(true);
    EXPECT_TRUE(keys.isKeyDown(vk::Control));
    EXPECT_TRUE(keys.isKeyDown(vk::Menu));
    EXPECT_FALSE(keys.isKeyDown('A'));
    keys.userShortcutHeld(false);
    EXPECT_TRUE(keys.isKeyDown(vk::Shift));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(keys.isKeyDown(vk::Control));
}

} // namespace
