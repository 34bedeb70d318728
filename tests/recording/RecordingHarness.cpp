// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingHarness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace quorvel::testing {

namespace {

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Display *openDisplay()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        throw std::runtime_error("no X display; run under scripts/with-xvfb.sh");
    return display;
}

} // namespace

bool pumpUntil(X11Journal &journal, const std::function<bool()> &done, int ms)
{
    const std::int64_t deadline = nowMs() + ms;
    for (;;) {
        journal.processEvents();
        if (done && done())
            return true;
        const std::int64_t left = deadline - nowMs();
        if (left <= 0)
            return false;
        pollfd pfd { journal.fileDescriptor(), POLLIN, 0 };
        ::poll(&pfd, 1, int(std::min<std::int64_t>(left, 20)));
    }
}

void pumpFor(X11Journal &journal, int ms)
{
    pumpUntil(journal, nullptr, ms);
}

namespace {

pid_t spawnWith(const std::vector<std::string> &argv, const posix_spawn_file_actions_t *actions)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), environ) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

} // namespace

pid_t spawn(const std::vector<std::string> &argv)
{
    return spawnWith(argv, nullptr);
}

pid_t spawnLogged(const std::vector<std::string> &argv, const std::string &logPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const pid_t pid = spawnWith(argv, &actions);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitExit(pid_t pid, int timeoutMs)
{
    const std::int64_t deadline = nowMs() + timeoutMs;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        if (nowMs() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runPumping(X11Journal &journal, const std::vector<std::string> &argv)
{
    const pid_t pid = spawn(argv);
    int status = 0;
    pumpUntil(
        journal, [&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30000);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int run(const std::vector<std::string> &argv)
{
    const pid_t pid = spawn(argv);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int xdotool(X11Journal &journal, const std::vector<std::string> &args)
{
    std::vector<std::string> argv { "xdotool" };
    argv.insert(argv.end(), args.begin(), args.end());
    return runPumping(journal, argv);
}

std::string describe(const std::vector<Seen> &events)
{
    std::string out;
    for (const Seen &e : events) {
        if (!out.empty())
            out += ' ';
        switch (e.type) {
        case Seen::KeyDown:
            out += "K+" + std::to_string(e.code);
            break;
        case Seen::KeyUp:
            out += "K-" + std::to_string(e.code);
            break;
        case Seen::ButtonDown:
        case Seen::ButtonUp:
            out += (e.type == Seen::ButtonDown ? "B+" : "B-") + std::to_string(e.code) + "@"
                + std::to_string(e.x) + "," + std::to_string(e.y);
            break;
        case Seen::Motion:
            out += "M" + std::to_string(e.x) + "," + std::to_string(e.y);
            break;
        }
    }
    return out;
}

CaptureWindow::CaptureWindow(int x, int y, int width, int height)
{
    m_display = openDisplay();
    XSetWindowAttributes attributes {};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(m_display, DefaultScreen(m_display));
    attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask
        | PointerMotionMask | StructureNotifyMask;
    m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), x, y, unsigned(width),
        unsigned(height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    XMapRaised(m_display, m_window);
    XEvent event;
    do
        XNextEvent(m_display, &event);
    while (event.type != MapNotify);
    focus();
}

CaptureWindow::~CaptureWindow()
{
    XDestroyWindow(m_display, m_window);
    XCloseDisplay(m_display);
}

void CaptureWindow::focus()
{
    XRaiseWindow(m_display, m_window);
    XSetInputFocus(m_display, m_window, RevertToPointerRoot, CurrentTime);
    XSync(m_display, False);
}

void CaptureWindow::drain()
{
    XSync(m_display, False);
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        Seen seen {};
        switch (event.type) {
        case KeyPress:
        case KeyRelease:
            seen.type = event.type == KeyPress ? Seen::KeyDown : Seen::KeyUp;
            seen.code = event.xkey.keycode;
            seen.x = event.xkey.x_root;
            seen.y = event.xkey.y_root;
            break;
        case ButtonPress:
        case ButtonRelease:
            seen.type = event.type == ButtonPress ? Seen::ButtonDown : Seen::ButtonUp;
            seen.code = event.xbutton.button;
            seen.x = event.xbutton.x_root;
            seen.y = event.xbutton.y_root;
            break;
        case MotionNotify:
            seen.type = Seen::Motion;
            seen.x = event.xmotion.x_root;
            seen.y = event.xmotion.y_root;
            break;
        default:
            continue;
        }
        m_events.push_back(seen);
    }
}

std::vector<Seen> CaptureWindow::keysAndButtons() const
{
    std::vector<Seen> out;
    for (const Seen &e : m_events)
        if (e.type != Seen::Motion)
            out.push_back(e);
    return out;
}

unsigned keycodeOf(const char *keysymName)
{
    Display *display = openDisplay();
    const unsigned code = XKeysymToKeycode(display, XStringToKeysym(keysymName));
    XCloseDisplay(display);
    return code;
}

bool nothingHeld(std::string *whatIsHeld)
{
    Display *display = openDisplay();
    char keys[32] = {};
    XQueryKeymap(display, keys);
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rx, &ry, &wx, &wy, &mask);
    XCloseDisplay(display);
    std::string held;
    for (int code = 0; code < 256; ++code)
        if (keys[code / 8] & (1 << (code % 8)))
            held += "key " + std::to_string(code) + " ";
    const unsigned buttons = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;
    if (mask & buttons)
        held += "buttons " + std::to_string(mask & buttons);
    if (whatIsHeld)
        *whatIsHeld = held;
    return held.empty();
}

void warpPointer(int x, int y)
{
    Display *display = openDisplay();
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

void pointerPosition(int &x, int &y)
{
    Display *display = openDisplay();
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    XCloseDisplay(display);
}

void typeKeyFromOtherClient(unsigned keycode)
{
    Display *display = openDisplay();
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

JournalRecording recordingOf(const std::vector<JournalEvent> &events)
{
    JournalRecording r;
    r.events = events;
    return r;
}

void writeRecording(const std::string &path, const std::vector<JournalEvent> &events)
{
    saveJournal(path, recordingOf(events));
}

} // namespace quorvel::testing
