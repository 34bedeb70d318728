// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Real peers for the X11 backend tests on the private X server of scripts/with-xvfb.sh:
// xterm windows (typing targets running `cat > FILE`, titled windows), xdotool, setxkbmap.
// Xlib appears only as opaque pointers here.

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeTimers.h"
#include "fakes/FakeValuePrompt.h"
#include "fakes/TestSupport.h"
#include "platform/EventPump.h"
#include "platform/x11/X11Backend.h"
#include "playback/MacroRunner.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay;

namespace quorvel::testing {

using namespace std::chrono_literals;

// Runs a program to its end, no shell; its standard output in out. The exit status, -1 when
// it could not start or did not end in time.
int run(const std::vector<std::string> &argv, std::string *out = nullptr,
    std::chrono::milliseconds timeout = 20s);
std::string output(const std::vector<std::string> &argv);

// A program in the background, ended when the object goes.
class Child
{
public:
    Child() = default;
    explicit Child(const std::vector<std::string> &argv, const std::vector<std::string> &env = {});
    ~Child();
    Child(Child &&other) noexcept;
    Child &operator=(Child &&other) noexcept;
    void stop();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = 10s);

// Windows whose title is exactly title (xdotool search).
std::vector<unsigned long> windowsTitled(const std::string &title);
unsigned long activeWindow(); // xdotool getactivewindow; 0 when none
void activate(unsigned long window); // xdotool windowactivate --sync
void setLayout(const std::string &layout); // setxkbmap
// xdotool key, from a process of its own.
void pressKeys(const std::string &keys);
// Grabs a key combination on the root window from a connection of its own, as another program
// would; false when the server refuses it. The grab lasts until releaseOtherGrabs.
bool grabFromOtherClient(const std::string &keysym, unsigned modifiers);
void releaseOtherGrabs();

// Xlib's error handler replaced by one that swallows every error, as a toolkit opening its own
// display after ours does; the one before comes back at the end.
class ForeignErrorHandler
{
public:
    ForeignErrorHandler();
    ~ForeignErrorHandler();
    ForeignErrorHandler(const ForeignErrorHandler &) = delete;
    ForeignErrorHandler &operator=(const ForeignErrorHandler &) = delete;

private:
    void *m_previous = nullptr;
};

struct XtermOptions
{
    bool iconic = false;
    bool utf8 = true; // run it in a UTF-8 locale (titles then go out as COMPOUND_TEXT)
};

// An xterm with a title, running a command; waits until the window manager lists it.
class Xterm
{
public:
    Xterm(const std::string &title, const std::vector<std::string> &command,
        XtermOptions options = {});
    unsigned long window() const { return m_window; }
    void close();

private:
    Child m_process;
    unsigned long m_window = 0;
};

// xterm running `cat > FILE`: what is typed into it lands in the file line by line.
class TypingTarget
{
public:
    explicit TypingTarget(const std::string &title = "typing target");
    unsigned long window() const { return m_xterm->window(); }
    // Gives it the focus and waits until it has it.
    void focus();
    // What the file holds once it ends with a line break (or the time runs out).
    std::string waitForLine(std::chrono::milliseconds timeout = 10s);
    std::string contents() const;

private:
    TempDir m_dir;
    std::string m_file;
    std::unique_ptr<Xterm> m_xterm;
    bool m_ready = false;
    std::size_t m_probe = 0; // the probe line's bytes at the start of the file
};

// A plain window of the tests' own that notes every key event it receives.
class KeyCapture
{
public:
    struct Key
    {
        bool press;
        std::string keysym; // XKeysymToString of the keysym the event types
        unsigned state; // modifier mask at the event
    };

    KeyCapture();
    ~KeyCapture();
    KeyCapture(const KeyCapture &) = delete;
    KeyCapture &operator=(const KeyCapture &) = delete;

    unsigned long window() const { return m_window; }
    void focus();
    // Marks the window as one of this process's own (its _NET_WM_PID).
    void claimForThisProcess();
    void drain();
    const std::vector<Key> &keys() const { return m_keys; }
    // Presses only, as "a", "Ctrl+a", "Alt+x", "Level3+q": modifiers by their X masks.
    std::vector<std::string> presses() const;
    void clear() { m_keys.clear(); }

private:
    _XDisplay *m_display = nullptr;
    unsigned long m_window = 0;
    std::vector<Key> m_keys;
};

// Keys the server reports down (XQueryKeymap), by keysym name.
std::vector<std::string> keysDown();

// The backend's events, handled as the application's pump handles them.
class BackendPump : public EventPump
{
public:
    explicit BackendPump(x11::X11Backend &backend)
        : m_backend(backend)
    {
    }
    std::function<void()> onProcess;
    void processMessages() override
    {
        m_backend.processEvents();
        if (onProcess)
            onProcess();
    }
    void sleep(int milliseconds) override;

private:
    x11::X11Backend &m_backend;
};

// A macro runner on the real backend; the rest of the platform is fakes.
struct X11Rig
{
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    x11::X11Backend backend;
    BackendPump pump { backend };
    FakeLauncher launcher;
    FakeJournal journal;
    FakeValuePrompt prompt;
    FakeDateTimeFormatter dateTime;
    FakeTimers timers;
    MacroRunner runner;

    explicit X11Rig(const x11::X11BackendOptions &options = {});
    ~X11Rig();
    // Appends an advanced macro with this text; returns its number.
    int addAdvanced(const std::string &name, const std::string &text, unsigned hotKey = 0,
        const std::string &trigger = "");
    // Pumps for a while (hot keys arrive in the pumps).
    void pumpFor(std::chrono::milliseconds duration);
    bool pumpUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = 10s);
};

} // namespace quorvel::testing
