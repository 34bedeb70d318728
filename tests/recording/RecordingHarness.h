// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for driving the X11 journal against the private X server of scripts/with-xvfb.sh.
// Xlib types appear only as opaque pointers, so the tests need no X headers.

#include "recording/JournalFile.h"
#include "recording/x11/X11Journal.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay;

namespace quorvel::testing {

// Runs the journal's part of an event loop for up to ms milliseconds, or until done().
bool pumpUntil(X11Journal &journal, const std::function<bool()> &done, int ms);
void pumpFor(X11Journal &journal, int ms);

// Runs a program (no shell) to its end while the journal keeps handling its events.
int runPumping(X11Journal &journal, const std::vector<std::string> &argv);
int run(const std::vector<std::string> &argv);
pid_t spawn(const std::vector<std::string> &argv);
// Standard output and error go to logPath.
pid_t spawnLogged(const std::vector<std::string> &argv, const std::string &logPath);
// The exit status, or -1 when the process did not end in time (it is then killed).
int waitExit(pid_t pid, int timeoutMs);
// xdotool with the given arguments, the journal pumped meanwhile.
int xdotool(X11Journal &journal, const std::vector<std::string> &args);

// One event as a client received it.
struct Seen
{
    enum Type { KeyDown, KeyUp, ButtonDown, ButtonUp, Motion } type;
    unsigned code = 0; // keycode or button
    int x = 0; // root position
    int y = 0;
    bool operator==(const Seen &) const = default;
};
std::string describe(const std::vector<Seen> &events);

// A plain window of the tests' own that notes the input it receives.
class CaptureWindow
{
public:
    CaptureWindow(int x, int y, int width, int height);
    ~CaptureWindow();
    CaptureWindow(const CaptureWindow &) = delete;
    CaptureWindow &operator=(const CaptureWindow &) = delete;

    void focus();
    // Reads everything the server has delivered so far.
    void drain();
    void clear() { m_events.clear(); }
    const std::vector<Seen> &events() const { return m_events; }
    std::vector<Seen> keysAndButtons() const;
    _XDisplay *display() const { return m_display; }

private:
    _XDisplay *m_display = nullptr;
    unsigned long m_window = 0;
    std::vector<Seen> m_events;
};

// The keycode of a keysym name ("a", "Escape", "F12") on the current keymap.
unsigned keycodeOf(const char *keysymName);
// True when no key is down and no pointer button is held.
bool nothingHeld(std::string *whatIsHeld = nullptr);
void warpPointer(int x, int y);
void pointerPosition(int &x, int &y);

// Sends a key press and release through XTEST from a connection of its own, and syncs it.
void typeKeyFromOtherClient(unsigned keycode);

JournalRecording recordingOf(const std::vector<JournalEvent> &events);
void writeRecording(const std::string &path, const std::vector<JournalEvent> &events);

} // namespace quorvel::testing
