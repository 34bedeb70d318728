// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestSupport.h"

#include "playback/SendKey.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace quorvel::testing {

namespace {

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    for (auto &s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

pid_t spawnProcess(
    const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv, int outFd)
{
    std::vector<std::string> args = argv;
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const auto &extra : extraEnv) {
        const auto name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&](const std::string &s) { return s.rfind(name, 0) == 0; });
        env.push_back(extra);
    }
    auto argp = pointers(args);
    auto envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Its own group, so stopping it takes its children (the shell of an xterm) along.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0].c_str(), &actions, &attr, argp.data(), envp.data()) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitFor(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0)
            return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(2ms);
    }
}

Display *sharedDisplay()
{
    static Display *display = XOpenDisplay(nullptr);
    return display;
}

} // namespace

int run(const std::vector<std::string> &argv, std::string *out, std::chrono::milliseconds timeout)
{
    int pipeFds[2] = { -1, -1 };
    if (out && pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = spawnProcess(argv, {}, out ? pipeFds[1] : -1);
    if (out)
        close(pipeFds[1]);
    if (pid < 0) {
        if (out)
            close(pipeFds[0]);
        return -1;
    }
    if (out) {
        out->clear();
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0)
                out->append(buffer, std::size_t(n));
        }
        close(pipeFds[0]);
    }
    return waitFor(pid, timeout);
}

std::string output(const std::vector<std::string> &argv)
{
    std::string out;
    run(argv, &out);
    return out;
}

Child::Child(const std::vector<std::string> &argv, const std::vector<std::string> &env)
    : m_pid(spawnProcess(argv, env, -1))
{
    if (m_pid < 0)
        throw std::runtime_error("cannot start " + argv.front());
}

Child::~Child()
{
    stop();
}

Child::Child(Child &&other) noexcept
    : m_pid(other.m_pid)
{
    other.m_pid = -1;
}

Child &Child::operator=(Child &&other) noexcept
{
    if (this != &other) {
        stop();
        m_pid = other.m_pid;
        other.m_pid = -1;
    }
    return *this;
}

void Child::stop()
{
    if (m_pid <= 0)
        return;
    kill(-m_pid, SIGTERM);
    if (waitFor(m_pid, 3s) < 0)
        kill(-m_pid, SIGKILL);
    m_pid = -1;
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::vector<unsigned long> windowsTitled(const std::string &title)
{
    std::string pattern = "^";
    for (char c : title) {
        if (std::strchr(".^$*+?()[]{}|\\", c))
            pattern += '\\';
        pattern += c;
    }
    pattern += "$";
    std::vector<unsigned long> out;
    const std::string text = output({ "xdotool", "search", "--name", pattern });
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find('\n', at);
        const std::string line = text.substr(at, end == std::string::npos ? end : end - at);
        if (!line.empty())
            out.push_back(std::stoul(line));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return out;
}

unsigned long activeWindow()
{
    const std::string text = output({ "xdotool", "getactivewindow" });
    return text.empty() ? 0 : std::stoul(text);
}

void activate(unsigned long window)
{
    run({ "xdotool", "windowactivate", "--sync", std::to_string(window) });
}

void setLayout(const std::string &layout)
{
    if (run({ "setxkbmap", layout }) != 0)
        throw std::runtime_error("setxkbmap " + layout + " failed");
}

void pressKeys(const std::string &keys)
{
    run({ "xdotool", "key", keys });
}

Xterm::Xterm(
    const std::string &title, const std::vector<std::string> &command, XtermOptions options)
{
    std::vector<std::string> argv { "xterm", "-T", title, "-geometry", "60x10" };
    if (options.iconic)
        argv.push_back("-iconic");
    argv.push_back("-e");
    argv.insert(argv.end(), command.begin(), command.end());
    std::vector<std::string> env;
    if (options.utf8)
        env = { "LC_ALL=C.UTF-8" };
    else
        env = { "LC_ALL=C", "LANG=C" };
    m_process = Child(argv, env);
    const pid_t pid = m_process.pid();
    // The window manager lists it once it manages it.
    // Found by its process (titles outside ASCII do not survive xdotool's pattern match).
    const bool listed = waitUntil([&] {
        const std::string found = output({ "xdotool", "search", "--pid", std::to_string(pid) });
        const std::string stack =
            output({ "xprop", "-root", "-notype", "_NET_CLIENT_LIST_STACKING" });
        std::size_t at = 0;
        while (at < found.size()) {
            const auto end = found.find('\n', at);
            const unsigned long w = std::stoul(found.substr(at, end - at));
            char hex[32];
            std::snprintf(hex, sizeof hex, "0x%lx", w);
            if (stack.find(std::string(hex) + ",") != std::string::npos
                || stack.find(std::string(hex) + "\n") != std::string::npos) {
                m_window = w;
                return true;
            }
            if (end == std::string::npos)
                break;
            at = end + 1;
        }
        return false;
    });
    if (!listed)
        throw std::runtime_error("xterm \"" + title + "\" did not show up");
    // The manager lists a window a moment before it maps it.
    if (!options.iconic && !waitUntil([&] {
            return output({ "xwininfo", "-id", std::to_string(m_window) }).find("IsViewable")
                != std::string::npos;
        }))
        throw std::runtime_error("xterm \"" + title + "\" was not mapped");
}

void Xterm::close()
{
    m_process.stop();
    const unsigned long w = m_window;
    waitUntil([&] {
        const std::string stack =
            output({ "xprop", "-root", "-notype", "_NET_CLIENT_LIST_STACKING" });
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lx", w);
        return stack.find(std::string(hex) + ",") == std::string::npos
            && stack.find(std::string(hex) + "\n") == std::string::npos;
    });
}

TypingTarget::TypingTarget(const std::string &title)
    : m_file(m_dir.file("typed.txt"))
{
    writeFile(m_file, "");
    m_xterm = std::make_unique<Xterm>(
        title, std::vector<std::string> { "sh", "-c", "exec cat > \"$0\"", m_file });
    focus();
}

void TypingTarget::focus()
{
    if (!waitUntil([&] { return activeWindow() == window(); }, 2s))
        activate(window());
    if (activeWindow() != window())
        throw std::runtime_error("the typing target did not get the focus");
    if (m_ready)
        return;
    // The manager may name it active before the keyboard is its own, and a terminal that has
    // just started is not always taking input yet: a line from another client proves both.
    for (int attempt = 0; attempt < 5 && !m_ready; ++attempt) {
        pressKeys("Return");
        m_ready = waitUntil([&] { return !readFile(m_file).empty(); }, 2s);
        if (!m_ready)
            activate(window());
    }
    if (!m_ready)
        throw std::runtime_error("the typing target takes no input");
    m_probe = readFile(m_file).size();
}

std::string TypingTarget::contents() const
{
    return readFile(m_file).substr(m_probe);
}

std::string TypingTarget::waitForLine(std::chrono::milliseconds timeout)
{
    std::string text;
    waitUntil(
        [&] {
            text = contents();
            return !text.empty() && text.back() == '\n';
        },
        timeout);
    // A moment more: nothing may follow the line.
    std::this_thread::sleep_for(50ms);
    return contents();
}

KeyCapture::KeyCapture()
    : m_display(XOpenDisplay(nullptr))
{
    if (!m_display)
        throw std::runtime_error("no display");
    const int screen = DefaultScreen(m_display);
    m_window = XCreateSimpleWindow(m_display, RootWindow(m_display, screen), 0, 0, 200, 100, 0,
        BlackPixel(m_display, screen), WhitePixel(m_display, screen));
    XStoreName(m_display, m_window, "key capture");
    XSelectInput(m_display, m_window, KeyPressMask | KeyReleaseMask | FocusChangeMask);
    XMapWindow(m_display, m_window);
    XSync(m_display, False);
    waitUntil([&] { return !windowsTitled("key capture").empty(); });
    focus();
}

KeyCapture::~KeyCapture()
{
    XDestroyWindow(m_display, m_window);
    XCloseDisplay(m_display);
}

void KeyCapture::focus()
{
    // The keyboard focus itself, not only the manager's word that the window is active.
    auto focused = [&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        return focus == m_window;
    };
    for (int attempt = 0; attempt < 5 && !focused(); ++attempt) {
        activate(m_window);
        waitUntil(focused, 2s);
    }
    if (!focused())
        throw std::runtime_error("the capture window did not get the focus");
    drain();
    clear();
}

void KeyCapture::drain()
{
    XSync(m_display, False);
    while (XPending(m_display)) {
        XEvent e;
        XNextEvent(m_display, &e);
        if (e.type != KeyPress && e.type != KeyRelease)
            continue;
        char buffer[16];
        KeySym sym = 0;
        XLookupString(&e.xkey, buffer, sizeof buffer, &sym, nullptr);
        const char *name = XKeysymToString(sym);
        m_keys.push_back({ e.type == KeyPress, name ? name : "?", e.xkey.state });
    }
}

void KeyCapture::claimForThisProcess()
{
    const long pid = getpid();
    XChangeProperty(m_display, m_window, XInternAtom(m_display, "_NET_WM_PID", False), XA_CARDINAL,
        32, PropModeReplace, reinterpret_cast<const unsigned char *>(&pid), 1);
    XSync(m_display, False);
}

std::vector<std::string> KeyCapture::presses() const
{
    std::vector<std::string> out;
    for (const Key &k : m_keys) {
        if (!k.press)
            continue;
        std::string s;
        if (k.state & ControlMask)
            s += "Ctrl+";
        if (k.state & Mod1Mask)
            s += "Alt+";
        if (k.state & Mod5Mask)
            s += "Level3+";
        if (k.state & ShiftMask)
            s += "Shift+";
        out.push_back(s + k.keysym);
    }
    return out;
}

std::vector<std::string> keysDown()
{
    Display *d = sharedDisplay();
    char state[32] = {};
    XQueryKeymap(d, state);
    std::vector<std::string> out;
    for (int kc = 8; kc < 256; ++kc) {
        if (state[kc / 8] & (1 << (kc % 8))) {
            const char *name = XKeysymToString(XkbKeycodeToKeysym(d, KeyCode(kc), 0, 0));
            out.push_back(name ? name : std::to_string(kc));
        }
    }
    return out;
}

void BackendPump::sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

X11Rig::X11Rig(const x11::X11BackendOptions &options)
    : backend(options)
    , runner(PlaybackServices { backend.keySink(), backend.keyboardState(), pump,
          backend.windowSystem(), launcher, journal, prompt, dateTime, timers, catalogue,
          dir.path() + "/" })
{
    journal.OnFinished = [this](bool) { runner.journalFinished(); };
}

X11Rig::~X11Rig() = default;

int X11Rig::addAdvanced(
    const std::string &name, const std::string &text, unsigned hotKey, const std::string &trigger)
{
    writeFile(dir.file(name + ".key"), text);
    return catalogue.append(
        MacroRecord { name, macrokind::Advanced, hotKey, name + ".key", trigger, 1 });
}

void X11Rig::pumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        pump.processMessages();
        std::this_thread::sleep_for(2ms);
    }
}

bool X11Rig::pumpUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pump.processMessages();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

} // namespace quorvel::testing

namespace quorvel::testing {

namespace {
bool g_grabRefused = false;
int noteRefusal(Display *, XErrorEvent *error)
{
    if (error->error_code == BadAccess)
        g_grabRefused = true;
    return 0;
}
Display *otherClient()
{
    static Display *display = XOpenDisplay(nullptr);
    return display;
}
} // namespace

bool grabFromOtherClient(const std::string &keysym, unsigned modifiers)
{
    Display *d = otherClient();
    const KeyCode kc = XKeysymToKeycode(d, XStringToKeysym(keysym.c_str()));
    g_grabRefused = false;
    XSync(d, False);
    const auto previous = XSetErrorHandler(&noteRefusal);
    XGrabKey(d, kc, modifiers, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync);
    XSync(d, False);
    XSetErrorHandler(previous);
    return !g_grabRefused;
}

void releaseOtherGrabs()
{
    Display *d = otherClient();
    XUngrabKey(d, AnyKey, AnyModifier, DefaultRootWindow(d));
    XSync(d, False);
}

namespace {
int swallowError(Display *, XErrorEvent *)
{
    return 0;
}
} // namespace

ForeignErrorHandler::ForeignErrorHandler()
    : m_previous(reinterpret_cast<void *>(XSetErrorHandler(&swallowError)))
{
}

ForeignErrorHandler::~ForeignErrorHandler()
{
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(m_previous));
}

} // namespace quorvel::testing
