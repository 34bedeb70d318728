// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestSupport.h"
#include "platform/x11/X11WindowSystem.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

// Last: Xlib's macros would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace quorvel::testing {
namespace {

using x11::X11WindowSystem;

std::vector<std::string> titlesStartingWith(WindowSystem &windows, const std::string &prefix)
{
    std::vector<std::string> out;
    windows.enumWindows([&](const WindowInfo &w) {
        if (w.title.rfind(prefix, 0) == 0)
            out.push_back(w.title);
        return true;
    });
    return out;
}

WindowInfo infoOf(WindowSystem &windows, const std::string &title)
{
    WindowInfo found;
    windows.enumWindows([&](const WindowInfo &w) {
        if (w.title != title)
            return true;
        found = w;
        return false;
    });
    return found;
}

std::vector<std::string> sleeper()
{
    return { "sleep", "60" };
}

TEST(Windows, TopmostFirstAndHandlesAreTheClientWindows)
{
    x11::X11Backend backend;
    WindowSystem &windows = backend.windowSystem();
    Xterm a("Stack A", sleeper());
    Xterm b("Stack B", sleeper());
    Xterm c("Stack C", sleeper());
    // The manager restacks a new window once it has listed it.
    const std::vector<std::string> created { "Stack C", "Stack B", "Stack A" };
    EXPECT_TRUE(waitUntil([&] { return titlesStartingWith(windows, "Stack ") == created; }, 3s));
    EXPECT_EQ(infoOf(windows, "Stack B").handle, b.window());

    activate(a.window()); // raised to the top
    const std::vector<std::string> raised { "Stack A", "Stack C", "Stack B" };
    EXPECT_TRUE(waitUntil([&] { return titlesStartingWith(windows, "Stack ") == raised; }, 3s));
    EXPECT_TRUE(backend.x11Windows().usesManagerList());
}

TEST(Windows, TitlesOfEveryEncodingReadAsUtf8)
{
    x11::X11Backend backend;
    WindowSystem &windows = backend.windowSystem();
    // xterm sets only WM_NAME: COMPOUND_TEXT for this title in a UTF-8 locale...
    const std::string mixed = "Gr\xC3\xBC\xC3\x9F"
                              "e \xC5\x91 \xD0\x96 \xE4\xB8\xAD";
    Xterm compound(mixed, sleeper());
    // ...and Latin-1 bytes as STRING in the C locale.
    Xterm latin1("Latin \xE9t\xE9", sleeper(), XtermOptions { false, false });
    EXPECT_EQ(infoOf(windows, mixed).handle, compound.window());
    EXPECT_EQ(infoOf(windows, "Latin \xC3\xA9t\xC3\xA9").handle, latin1.window());

    // A title change arrives as an event; _NET_WM_NAME (UTF-8) wins over WM_NAME.
    run({ "xdotool", "set_window", "--name", "Renamed \xE2\x82\xAC",
        std::to_string(latin1.window()) });
    EXPECT_TRUE(waitUntil([&] { return windows.findWindow("renamed \xE2\x82\xAC") != 0; }, 3s));
    EXPECT_EQ(windows.findWindow("Latin \xC3\xA9t\xC3\xA9"), 0u);
}

TEST(Windows, FindWindowTakesTheWholeTitleIgnoringAsciiCase)
{
    x11::X11Backend backend;
    WindowSystem &windows = backend.windowSystem();
    Xterm plain("Find Me", sleeper());
    Xterm longer("Find Me 2", sleeper());
    Xterm hidden("Find Hidden", sleeper(), XtermOptions { true });
    EXPECT_EQ(windows.findWindow("FIND me"), plain.window());
    EXPECT_EQ(windows.findWindow("find me 2"), longer.window());
    EXPECT_EQ(windows.findWindow("Find"), 0u);
    EXPECT_EQ(windows.findWindow(" Find Me"), 0u);
    EXPECT_EQ(windows.findWindow("find hidden"), hidden.window());
}

TEST(Windows, VisibleMeansMappedOrMinimizedButNotWithdrawn)
{
    x11::X11Backend backend;
    WindowSystem &windows = backend.windowSystem();
    Xterm shown("Visibility Shown", sleeper());
    Xterm iconic("Visibility Iconic", sleeper(), XtermOptions { true });
    const auto visible = [&](const Xterm &x, const char *title) {
        return windows.isWindowVisible(x.window()) && infoOf(windows, title).visible;
    };
    EXPECT_TRUE(visible(shown, "Visibility Shown"));
    EXPECT_TRUE(visible(iconic, "Visibility Iconic"));

    // The manager unmaps it a moment before it marks it minimized.
    run({ "xdotool", "windowminimize", "--sync", std::to_string(shown.window()) });
    EXPECT_TRUE(waitUntil([&] { return windows.isWindowVisible(shown.window()); }));
    activate(shown.window());
    EXPECT_TRUE(windows.isWindowVisible(shown.window()));
    // The client takes its window back: the manager withdraws it.
    run({ "xdotool", "windowunmap", "--sync", std::to_string(shown.window()) });
    EXPECT_TRUE(waitUntil([&] { return !windows.isWindowVisible(shown.window()); }));
    // A handle of no window is not visible.
    EXPECT_FALSE(windows.isWindowVisible(0x7FFFFFF));
}

TEST(Windows, TheOwnerHearsAtOnceOfWindowsThatAppearChangeTitleOrShow)
{
    x11::X11Backend backend;
    X11WindowSystem &windows = backend.x11Windows();
    int told = 0;
    windows.setOnWindowsChange([&] { ++told; });
    // Heard of from the events alone, with no search in between.
    const auto heard = [&] {
        return waitUntil([&] {
            backend.processEvents();
            return told > 0;
        });
    };
    Xterm term("Heard Of", sleeper());
    EXPECT_TRUE(heard()) << "appeared";
    // The model knows it now, as after the scan that follows.
    EXPECT_TRUE(waitUntil([&] { return windows.findWindow("Heard Of") == term.window(); }));
    const std::string id = std::to_string(term.window());
    const struct
    {
        const char *what;
        std::vector<std::string> command;
    } steps[] = {
        { "retitled", { "xdotool", "set_window", "--name", "Heard Of Again", id } },
        { "minimized", { "xdotool", "windowminimize", "--sync", id } },
        { "shown", { "xdotool", "windowactivate", "--sync", id } },
        { "withdrawn", { "xdotool", "windowunmap", "--sync", id } },
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        // What the manager still had to say about the step before is no answer.
        waitUntil([&] { return backend.processEvents(), false; }, 200ms);
        told = 0;
        run(step.command);
        EXPECT_TRUE(heard());
    }
}

TEST(Windows, ForegroundIsTheActiveWindowAndActivationWaitsForTheFocus)
{
    x11::X11Backend backend;
    WindowSystem &windows = backend.windowSystem();
    Xterm left("Focus Left", sleeper());
    Xterm right("Focus Right", sleeper());
    EXPECT_TRUE(waitUntil([&] { return windows.foregroundWindow() == activeWindow(); }, 3s));
    for (int round = 0; round < 3; ++round) {
        windows.setForegroundWindow(left.window());
        EXPECT_EQ(activeWindow(), left.window());
        EXPECT_EQ(windows.foregroundWindow(), left.window());
        windows.setForegroundWindow(right.window());
        EXPECT_EQ(activeWindow(), right.window());
    }
    // An iconified window is brought back.
    run({ "xdotool", "windowminimize", "--sync", std::to_string(left.window()) });
    windows.setForegroundWindow(left.window());
    EXPECT_EQ(activeWindow(), left.window());
}

TEST(Windows, AnIdTheServerHandsOutAgainGetsANewHandle)
{
    x11::X11Backend backend;
    WindowSystem &windows = backend.windowSystem();
    auto first = std::make_unique<Xterm>("Reused", sleeper());
    const WindowHandle firstHandle = windows.findWindow("Reused");
    const unsigned long firstId = first->window();
    first->close();
    first.reset();
    EXPECT_EQ(windows.findWindow("Reused"), 0u);
    Xterm second("Reused", sleeper());
    const WindowHandle secondHandle = windows.findWindow("Reused");
    EXPECT_NE(secondHandle, firstHandle);
    EXPECT_EQ(X11WindowSystem::windowOf(secondHandle), second.window());
    if (second.window() == firstId) {
        // The stale handle names no window any more.
        EXPECT_FALSE(windows.isWindowVisible(firstHandle));
        // Listed by the manager a moment before it maps it.
        EXPECT_TRUE(waitUntil([&] { return windows.isWindowVisible(secondHandle); }, 3s));
        windows.setForegroundWindow(secondHandle);
        EXPECT_EQ(activeWindow(), second.window());
    }
}

TEST(Windows, WindowsVanishingInTheMiddleOfSearchesAreNoError)
{
    x11::X11Backend backend;
    WindowSystem &windows = backend.windowSystem();
    std::vector<std::unique_ptr<Xterm>> terms;
    for (int i = 0; i < 8; ++i)
        terms.push_back(std::make_unique<Xterm>("Vanish " + std::to_string(i), sleeper()));
    std::atomic<bool> done { false };
    std::thread closer([&] {
        for (auto &t : terms)
            t.reset(); // ends the xterm without waiting for the manager
        done = true;
    });
    int searches = 0;
    while (!done || searches < 50) {
        windows.enumWindows([&](const WindowInfo &w) {
            windows.isWindowVisible(w.handle);
            return true;
        });
        windows.findWindow("Vanish 3");
        ++searches;
    }
    closer.join();
    EXPECT_TRUE(waitUntil([&] { return titlesStartingWith(windows, "Vanish ").empty(); }, 5s));
}

// A private X server without a window manager.
class BareServer
{
public:
    BareServer()
    {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe");
        // The write end is inherited: Xvfb writes its display number into it.
        m_server = Child({ "Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp",
            "-screen", "0", "640x480x24" });
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            throw std::runtime_error("Xvfb did not start");
        name = ":" + number;
    }
    std::string name;

private:
    Child m_server;
};

TEST(Windows, WithoutAWindowManagerTheRootsChildrenServe)
{
    BareServer server;
    Display *d = XOpenDisplay(server.name.c_str());
    ASSERT_NE(d, nullptr);
    const Window root = DefaultRootWindow(d);
    auto make = [&](const char *title, bool map) {
        const Window w = XCreateSimpleWindow(d, root, 10, 10, 100, 50, 0, 0, 0);
        XStoreName(d, w, title);
        if (map)
            XMapWindow(d, w);
        return w;
    };
    const Window one = make("Bare One", true);
    const Window two = make("Bare Two", true);
    const Window unmapped = make("Bare Unmapped", false);
    // A frame with the client inside, as a manager without EWMH would leave it.
    const Window frame = XCreateSimpleWindow(d, root, 0, 0, 120, 80, 0, 0, 0);
    const Window client = XCreateSimpleWindow(d, frame, 5, 5, 100, 60, 0, 0, 0);
    XStoreName(d, client, "Bare Framed");
    const long normalState[2] = { 1, 0 };
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    XChangeProperty(d, client, wmState, wmState, 32, PropModeReplace,
        reinterpret_cast<const unsigned char *>(normalState), 2);
    XMapWindow(d, client);
    XMapWindow(d, frame);
    XSync(d, False);

    x11::X11BackendOptions options;
    options.display = server.name;
    x11::X11Backend backend(options);
    WindowSystem &windows = backend.windowSystem();
    EXPECT_FALSE(backend.x11Windows().usesManagerList());
    EXPECT_EQ(titlesStartingWith(windows, "Bare "),
        (std::vector<std::string> { "Bare Framed", "Bare Unmapped", "Bare Two", "Bare One" }));
    EXPECT_EQ(windows.findWindow("bare framed"), client);
    EXPECT_FALSE(windows.isWindowVisible(unmapped));
    EXPECT_TRUE(windows.isWindowVisible(client));

    XRaiseWindow(d, one);
    XUnmapWindow(d, frame); // the frame goes: its client is no longer viewable
    XStoreName(d, two, "Bare Second");
    XSync(d, False);
    EXPECT_TRUE(waitUntil(
        [&] {
            return titlesStartingWith(windows, "Bare ")
                == std::vector<std::string> { "Bare One", "Bare Framed", "Bare Unmapped",
                       "Bare Second" };
        },
        3s));
    EXPECT_FALSE(windows.isWindowVisible(client));

    windows.setForegroundWindow(two);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    EXPECT_EQ(focus, two);
    EXPECT_EQ(windows.foregroundWindow(), two);
    XCloseDisplay(d);
}

} // namespace
} // namespace quorvel::testing
