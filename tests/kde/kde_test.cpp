// SPDX-License-Identifier: GPL-3.0-or-later
// Runs on a private headless KWin (scripts/with-kwin.sh): windows of weston-terminal, and hot
// keys pressed by the person's keyboard of that script, a RemoteDesktop session of its own.
#include "common/Error.h"
#include "fakes/TestSupport.h"
#include "platform/dbus/Bus.h"
#include "platform/kde/KwinWindowSystem.h"
#include "platform/portal/GlobalShortcuts.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <thread>
#include <unistd.h>

namespace quorvel::kde {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::TempDir;
constexpr unsigned CtrlAlt = hotkeymod::Control | hotkeymod::Alt;
constexpr const char *kTerminal = "org.freedesktop.weston.wayland-terminal";

// Hands what arrives on fd to process until done or the time is up.
bool pumpUntil(int fd, const std::function<void()> &process, const std::function<bool()> &done,
    std::chrono::milliseconds timeout = 3s)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        process();
        if (done())
            return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p { fd, POLLIN, 0 };
        ::poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 50)));
    }
}

// Evdev chords ("29+56+34" is Ctrl+Alt+G) for the person's keyboard.
void press(const std::string &chords)
{
    const char *fifo = std::getenv("QUORVEL_PERSON_KEYS");
    ASSERT_NE(fifo, nullptr) << "not under scripts/with-kwin.sh";
    std::ofstream(fifo) << chords << '\n';
}

std::string shortcutSettings()
{
    const char *home = std::getenv("HOME");
    std::ifstream in(std::string(std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME")
                                                                : std::string(home) + "/.config")
        + "/kglobalshortcutsrc");
    return { std::istreambuf_iterator<char>(in), {} };
}

// Whether the user's shortcut settings come to hold a section of that name within a while;
// KDE's daemon writes them some time after a change.
bool settingsHold(const std::string &component, bool expected)
{
    const auto deadline = Clock::now() + 5s;
    for (;;) {
        // Plasma 6 names a token-only caller's component token_<token>.
        const std::string settings = shortcutSettings();
        const bool holds = settings.find("[" + component + "]") != std::string::npos
            || settings.find("[token_" + component + "]") != std::string::npos;
        if (holds == expected || Clock::now() > deadline)
            return holds;
        std::this_thread::sleep_for(100ms);
    }
}

// A weston-terminal whose title is the first line of its FIFO, then each line after.
class Terminal
{
public:
    Terminal(const TempDir &dir, const std::string &name)
        : m_fifo(dir.file(name + ".titles"))
    {
        const std::string script = dir.file(name + ".sh");
        testing::writeFile(script,
            "#!/bin/sh\nwhile read -r t; do printf '\\033]0;%s\\007' \"$t\"; done <'" + m_fifo
                + "'\nsleep 600\n");
        ::chmod(script.c_str(), 0700);
        ::mkfifo(m_fifo.c_str(), 0600);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execlp("weston-terminal", "weston-terminal", ("--shell=" + script).c_str(), nullptr);
            ::_exit(127);
        }
        m_titles.open(m_fifo);
    }
    ~Terminal()
    {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    void setTitle(const std::string &title) { m_titles << title << std::endl; }

private:
    std::string m_fifo;
    pid_t m_pid = -1;
    std::ofstream m_titles;
};

// A one-line script of the test's own, run in KWin.
void runInKwin(const TempDir &dir, const std::string &body)
{
    dbus::Bus bus = dbus::Bus::session();
    const std::string file = dir.file("test-script.js");
    testing::writeFile(file, body);
    auto load =
        bus.methodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "loadScript");
    sd_bus_message_append(load.get(), "ss", file.c_str(), "quorvel-test");
    std::int32_t id = -1;
    sd_bus_message_read(bus.call(load).get(), "i", &id);
    // Plasma 6 puts the script at /Scripting/Script<id>, Plasma 5 at /<id>.
    try {
        bus.call(bus.methodCall("org.kde.KWin", ("/Scripting/Script" + std::to_string(id)).c_str(),
            "org.kde.kwin.Script", "run"));
    } catch (const Error &) {
        bus.call(bus.methodCall(
            "org.kde.KWin", ("/" + std::to_string(id)).c_str(), "org.kde.kwin.Script", "run"));
    }
    std::this_thread::sleep_for(200ms);
    auto unload =
        bus.methodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript");
    sd_bus_message_append(unload.get(), "s", "quorvel-test");
    bus.call(unload);
}

bool scriptLoaded(pid_t pid)
{
    dbus::Bus bus = dbus::Bus::session();
    auto loaded =
        bus.methodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "isScriptLoaded");
    sd_bus_message_append(loaded.get(), "s", ("quorvel-windows-" + std::to_string(pid)).c_str());
    int isLoaded = 0;
    sd_bus_message_read(bus.call(loaded).get(), "b", &isLoaded);
    return isLoaded != 0;
}

struct KwinWindows : ::testing::Test
{
    TempDir dir, state;
    Terminal first { dir, "first" }, second { dir, "second" };
    int titleChanges = 0;

    std::vector<WindowInfo> list(KwinWindowSystem &windows)
    {
        std::vector<WindowInfo> out;
        windows.enumWindows([&](const WindowInfo &w) {
            out.push_back(w);
            return true;
        });
        return out;
    }
    bool wait(KwinWindowSystem &windows, const std::function<bool()> &done)
    {
        return pumpUntil(
            windows.fileDescriptor(), [&] { windows.processEvents(); }, done);
    }
};

TEST_F(KwinWindows, TitlesRetitlesActivationAndMinimizedWindows)
{
    first.setTitle("First window");
    second.setTitle("Second — ünïcode 窓");
    std::unique_ptr<KwinWindowSystem> made;
    // The terminals map some time after they start; the script reports them as they come.
    made = std::make_unique<KwinWindowSystem>(state.path());
    KwinWindowSystem &windows = *made;
    windows.setOnTitleChange([&] { ++titleChanges; });
    ASSERT_TRUE(wait(windows, [&] {
        return windows.findWindow("first WINDOW") && windows.findWindow("Second — ünïcode 窓");
    }));
    const WindowHandle one = windows.findWindow("First window");
    const WindowHandle two = windows.findWindow("Second — ünïcode 窓");
    EXPECT_NE(one, two);
    EXPECT_EQ(windows.findWindow("First"), 0u) << "a part of a title";

    // A retitle is told at once, not at the next scan.
    const int before = titleChanges;
    const auto retitled = Clock::now();
    first.setTitle("Renamed window");
    ASSERT_TRUE(wait(windows, [&] { return titleChanges > before; }));
    EXPECT_LT(Clock::now() - retitled, 1s);
    EXPECT_EQ(windows.findWindow("Renamed window"), one) << "the same window, the same handle";
    EXPECT_EQ(windows.findWindow("First window"), 0u);

    const struct
    {
        WindowHandle window;
        const char *what;
    } activations[] = { { one, "the first" }, { two, "the second" }, { one, "back to the first" } };
    for (const auto &a : activations) {
        windows.setForegroundWindow(a.window);
        EXPECT_EQ(windows.foregroundWindow(), a.window) << a.what;
        EXPECT_EQ(list(windows).front().handle, a.window) << "the active window first";
        EXPECT_EQ(windows.focusedAppId(), kTerminal);
    }

    // A minimized window is still a window, and activating it restores it.
    runInKwin(dir,
        "var l = workspace.clientList ? workspace.clientList() : workspace.windowList();"
        "for (var i = 0; i < l.length; ++i) if (l[i].caption === 'Renamed window')"
        " l[i].minimized = true;");
    ASSERT_TRUE(wait(windows, [&] { return windows.foregroundWindow() != one; }))
        << "KWin gives the focus away from a window it minimizes";
    const auto all = list(windows);
    ASSERT_EQ(all.size(), 2u);
    for (const auto &w : all)
        EXPECT_TRUE(w.visible) << w.title;
    EXPECT_TRUE(windows.isWindowVisible(one));
    EXPECT_EQ(windows.findWindow("renamed window"), one);
    windows.setForegroundWindow(one);
    EXPECT_EQ(windows.foregroundWindow(), one) << "a minimized window activated";

    // Our scripts leave KWin with us, and those of a process that died go at the next start.
    made.reset();
    EXPECT_FALSE(scriptLoaded(::getpid()));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        KwinWindowSystem crashing(state.path());
        ::kill(::getpid(), SIGKILL);
    }
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(scriptLoaded(child));
    KwinWindowSystem restarted(state.path());
    EXPECT_FALSE(scriptLoaded(child));
}

struct KdeHotKeys : ::testing::Test
{
    TempDir state;

    static bool pumpUntil(portal::GlobalShortcutsRegistrar &hotKeys,
        const std::function<bool()> &done, std::chrono::milliseconds timeout = 3s)
    {
        return kde::pumpUntil(
            hotKeys.fileDescriptor(), [&] { hotKeys.processEvents(); }, done, timeout);
    }
};

TEST_F(KdeHotKeys, APressRunsItsHotKeyAloneAndARemovedKeyIsGivenBack)
{
    portal::GlobalShortcutsRegistrar hotKeys(state.path());
    const struct
    {
        unsigned modifiers;
        KeyCode key;
        const char *chord, *trigger;
    } keys[] = {
        { CtrlAlt, 'G', "29+56+34", "CTRL+ALT+g" },
        { hotkeymod::Control | hotkeymod::Shift, vk::F1 + 4, "29+42+63", "CTRL+SHIFT+F5" },
        { hotkeymod::Alt, 0xBC, "56+51", "ALT+comma" },
    };
    int presses[std::size(keys)] {};
    int ids[std::size(keys)] {};
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        ids[i] = hotKeys.registerHotKey(
            keys[i].modifiers, keys[i].key, [&, i](unsigned, KeyCode) { ++presses[i]; });
        ASSERT_NE(ids[i], 0) << keys[i].trigger;
    }
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        const auto pressed = Clock::now();
        press(keys[i].chord);
        EXPECT_TRUE(pumpUntil(hotKeys, [&] { return presses[i] == 1; })) << keys[i].trigger;
        std::printf("%s: %lld ms from the press\n", keys[i].trigger,
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed)
                    .count()));
        pumpUntil(
            hotKeys, [] { return false; }, 200ms);
        for (std::size_t j = 0; j < std::size(keys); ++j)
            EXPECT_EQ(presses[j], j <= i ? 1 : 0)
                << keys[i].trigger << " pressed, " << keys[j].trigger;
    }
    EXPECT_TRUE(settingsHold(hotKeys.componentName(), true));
    EXPECT_NE(shortcutSettings().find("CTRL+ALT+g"), std::string::npos);

    // A cleared key is given back to the desktop; the others stay.
    hotKeys.unregisterHotKey(ids[0]);
    hotKeys.processEvents();
    press(keys[0].chord);
    press(keys[1].chord);
    EXPECT_TRUE(pumpUntil(hotKeys, [&] { return presses[1] == 2; }));
    EXPECT_EQ(presses[0], 1);
    EXPECT_FALSE(hotKeys.heldElsewhere(CtrlAlt, 'G'));
    const auto deadline = Clock::now() + 5s;
    while (shortcutSettings().find("CTRL+ALT+g") != std::string::npos && Clock::now() < deadline)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(shortcutSettings().find("CTRL+ALT+g"), std::string::npos);

    // Rebinding every key, as after an edit: cleared, then set again before any event.
    hotKeys.unregisterHotKey(ids[1]);
    ids[1] = hotKeys.registerHotKey(
        keys[1].modifiers, keys[1].key, [&](unsigned, KeyCode) { presses[1] += 10; });
    ASSERT_NE(ids[1], 0);
    press(keys[1].chord);
    EXPECT_TRUE(pumpUntil(hotKeys, [&] { return presses[1] == 12; }));
}

TEST_F(KdeHotKeys, ACombinationTheDesktopOrAnotherQuorvelHoldsIsRefused)
{
    portal::GlobalShortcutsRegistrar hotKeys(state.path());
    // KWin's own window menu.
    EXPECT_TRUE(hotKeys.heldElsewhere(hotkeymod::Alt, vk::F1 + 2));
    EXPECT_EQ(hotKeys.registerHotKey(hotkeymod::Alt, vk::F1 + 2, [](unsigned, KeyCode) {}), 0);
    EXPECT_FALSE(hotKeys.heldElsewhere(CtrlAlt, 'J'));
    ASSERT_NE(hotKeys.registerHotKey(CtrlAlt, 'J', [](unsigned, KeyCode) {}), 0);
    EXPECT_EQ(hotKeys.registerHotKey(CtrlAlt, 'J', [](unsigned, KeyCode) {}), 0) << "twice";
    EXPECT_FALSE(hotKeys.heldElsewhere(CtrlAlt, 'J')) << "our own key";

    // A second running Quorvel keeps apart, and takes nothing of the first's with it.
    {
        portal::GlobalShortcutsRegistrar second(state.path());
        EXPECT_NE(second.componentName(), hotKeys.componentName());
        EXPECT_TRUE(second.heldElsewhere(CtrlAlt, 'J'));
        EXPECT_EQ(second.registerHotKey(CtrlAlt, 'J', [](unsigned, KeyCode) {}), 0);
        ASSERT_NE(second.registerHotKey(CtrlAlt, 'L', [](unsigned, KeyCode) {}), 0);
    }
    EXPECT_FALSE(hotKeys.heldElsewhere(CtrlAlt, 'L'));
    int presses = 0;
    ASSERT_NE(hotKeys.registerHotKey(CtrlAlt, 'L', [&](unsigned, KeyCode) { ++presses; }), 0);
    press("29+56+38");
    EXPECT_TRUE(pumpUntil(hotKeys, [&] { return presses == 1; }));
}

TEST_F(KdeHotKeys, NothingOfOursStaysInTheShortcutSettingsAcrossRestarts)
{
    {
        portal::GlobalShortcutsRegistrar ended(state.path());
        ASSERT_NE(ended.registerHotKey(CtrlAlt, 'K', [](unsigned, KeyCode) {}), 0);
        EXPECT_TRUE(settingsHold(ended.componentName(), true));
    }
    EXPECT_FALSE(settingsHold("quorvel", false)) << "after an orderly end";

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        portal::GlobalShortcutsRegistrar crashing(state.path());
        crashing.registerHotKey(CtrlAlt, 'K', [](unsigned, KeyCode) {});
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(settingsHold("quorvel", true));

    portal::GlobalShortcutsRegistrar restarted(state.path());
    EXPECT_FALSE(restarted.heldElsewhere(CtrlAlt, 'K'));
    EXPECT_FALSE(settingsHold("quorvel", false)) << "after a crash and a new start";
    int presses = 0;
    ASSERT_NE(restarted.registerHotKey(CtrlAlt, 'K', [&](unsigned, KeyCode) { ++presses; }), 0);
    press("29+56+37");
    EXPECT_TRUE(pumpUntil(restarted, [&] { return presses == 1; }));
}

} // namespace
} // namespace quorvel::kde
