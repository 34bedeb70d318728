// SPDX-License-Identifier: GPL-3.0-or-later
// Typing into real programs on the private X server of scripts/with-xvfb.sh (with openbox),
// Quorvel beside `xdotool type --delay 0` on the same text in the same run. Each figure is
// characters per second from the first key until the target holds the whole text, and the
// lost, extra or wrong characters counted (the most in one round), the pace as a median over
// the rounds:
//   XtermAscii     10,000 printable ASCII characters into xterm running `cat > FILE`, five
//                  rounds, beside the same keys sent bare through XTest (xtest_cps): the most
//                  the server and xterm take on this machine
//   XtermOffLayout 2,000 characters of Cyrillic, Greek, CJK and symbols on a US layout
//   GtkEditor      `zenity --text-info --editable`, read back from its output after OK
//   QtEditor       featherpad on a file, read back from the file after Ctrl+S
// The editors get 2,000 characters of ASCII and then of the mixed text.
// Run: scripts/with-xvfb.sh build/rel/bench/quorvel_typing_bench
// QUORVEL_BENCH_SHOW=1 prints what was sent and received; QUORVEL_BENCH_NO_XDOTOOL=1 leaves
// xdotool out (it types text off the layout at some 30 characters a second).

#include "BenchRig.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "platform/NullPlatform.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11KeySink.h"
#include "playback/MacroRunner.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Last: Xlib's macros would break the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace quorvel;
using namespace quorvel::bench;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Plumbing ---------------------------------------------------------------------------------

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(200us);
    }
    return true;
}

// Waits for the window to show, and gives it the focus when the manager did not.
void focus(const std::string &titlePattern, const std::function<bool()> &focused)
{
    if (waitUntil(focused, 10s))
        return;
    runToEnd({ "sh", "-c",
        "xdotool search --name '" + titlePattern
            + "' | head -n1 | xargs -r xdotool windowactivate --sync" });
    waitUntil(focused, 5s);
}

// The title of the window holding the focus, or of its nearest named ancestor.
std::string focusTitle(Display *display)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    while (focus > PointerRoot) {
        char *name = nullptr;
        if (XFetchName(display, focus, &name) && name) {
            std::string title = name;
            XFree(name);
            return title;
        }
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, focus, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        focus = parent;
    }
    return {};
}

// Texts ------------------------------------------------------------------------------------

// Lines of at most 64 characters: a terminal takes no longer line than 4,095 bytes.
std::u32string inLines(const std::u32string &text)
{
    std::u32string out;
    std::size_t column = 0;
    for (const char32_t c : text) {
        if (column >= 56 && c == U' ') {
            out += U'\n';
            column = 0;
            continue;
        }
        out += c;
        ++column;
    }
    return out;
}

std::string asciiText(std::size_t n)
{
    // Printable ASCII, words and punctuation, never "<<" (a token in a macro text), nothing an
    // editor completes on its own (brackets, quotes).
    const std::string pool = "The quick brown fox jumps over the lazy dog 0123456789 "
                             "!#$%&*+,-./:;=?@\\^_|~ PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS ";
    std::u32string s;
    for (std::size_t i = 0; s.size() < n; ++i)
        s += char32_t(pool[(i * 7) % pool.size()]);
    s = inLines(s);
    s.resize(n);
    // A macro text's ends are trimmed.
    if (s.back() == U' ' || s.back() == U'\n')
        s.back() = U'.';
    return text::encode(s);
}

std::string mixedText(std::size_t n)
{
    // Sentences in each script and symbols, as words a user would type.
    const std::u32string pool[] = {
        U"Съешь же ещё этих мягких французских булок, да выпей чаю.",
        U"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία.",
        U"天地玄黄，宇宙洪荒。日月盈昃，辰宿列张。寒来暑往，秋收冬藏。",
        U"→ ∑ € © ± ≤ ≥ ∞ ✓ № § ° µ — “quoted” «Ёлка»",
        U"Любая буква: ЖЗИЙКЛМН, φχψω ΦΧΨΩ, 東京 大阪 北京.",
    };
    std::u32string s;
    for (std::size_t i = 0; s.size() < n; ++i) {
        s += pool[(i * 3) % std::size(pool)];
        s += U' ';
    }
    s = inLines(s);
    s.resize(n);
    // A macro text's ends are trimmed.
    if (s.back() == U' ' || s.back() == U'\n')
        s.back() = U'.';
    return text::encode(s);
}

// What to give the runner for a text: line breaks as Enter.
std::string macroText(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += "<<ENTER>>";
        else
            out += c;
    }
    return out;
}

// Targets ----------------------------------------------------------------------------------

// A program that types land in; start() opens it focused and empty, finish() ends the input
// (whatever the program needs beyond the text) and returns what it holds.
struct Target
{
    virtual ~Target() = default;
    virtual void start() = 0;
    virtual void finish(const std::function<void(const std::string &)> &keys) = 0;
    virtual std::string received() = 0;
};

// xterm running `cat > FILE`: a line ends the input.
// A program that writes what it holds to a file of a scratch folder, started afresh on an
// empty file each time.
struct FileTarget : Target
{
    Display *display;
    std::string folder = tempFolder();
    std::string file = folder + "/typed.txt";
    pid_t pid = -1;
    std::string got;

    explicit FileTarget(Display *d)
        : display(d)
    {
    }
    ~FileTarget() override
    {
        stop(pid);
        std::filesystem::remove_all(folder);
    }
    void restart(std::vector<std::string> argv, const std::vector<std::string> &extraEnv = {})
    {
        stop(pid);
        std::ofstream(file, std::ios::trunc).flush();
        pid = spawn(std::move(argv), extraEnv);
    }
    std::string received() override { return got; }
};

struct Xterm : FileTarget
{
    using FileTarget::FileTarget;
    void start() override
    {
        restart({ "xterm", "-T", "bench xterm", "-e", "sh", "-c", "exec cat > \"$0\"", file });
        waitUntil([&] { return focusTitle(display) == "bench xterm"; }, 10s);
        std::this_thread::sleep_for(300ms);
    }
    std::size_t lines = 1;
    void finish(const std::function<void(const std::string &)> &keys) override
    {
        keys("\n");
        waitUntil(
            [&] {
                got = readAll(file);
                return std::size_t(std::count(got.begin(), got.end(), '\n')) >= lines;
            },
            60s);
        if (!got.empty() && got.back() == '\n')
            got.pop_back();
    }
};

// zenity's editable text box (GTK): OK prints what it holds.
struct GtkEditor : Target
{
    Display *display;
    pid_t pid = -1;
    int out = -1;
    std::string got;

    explicit GtkEditor(Display *d)
        : display(d)
    {
    }
    ~GtkEditor() override { close(); }
    void close()
    {
        stop(pid);
        pid = -1;
        if (out >= 0)
            ::close(out);
        out = -1;
    }
    void start() override
    {
        close();
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        pid = spawn({ "zenity", "--text-info", "--editable", "--title", "bench gtk", "--width",
                        "800", "--height", "600" },
            { "NO_AT_BRIDGE=1", "GTK_A11Y=none" }, fds[1]);
        ::close(fds[1]);
        out = fds[0];
        focus("^bench gtk$", [&] { return focusTitle(display) == "bench gtk"; });
        std::this_thread::sleep_for(500ms);
    }
    void finish(const std::function<void(const std::string &)> &) override
    {
        // OK has no mnemonic: a click, from a process of its own.
        runToEnd({ "sh", "-c",
            "w=$(xdotool search --name '^bench gtk$' | head -n1) && "
            "eval \"$(xdotool getwindowgeometry --shell \"$w\")\" && "
            "xdotool mousemove --window \"$w\" $((WIDTH - 45)) $((HEIGHT - 22)) click 1" });
        got.clear();
        char buffer[65536];
        const auto deadline = Clock::now() + 60s;
        while (Clock::now() < deadline) {
            pollfd fd { out, POLLIN, 0 };
            if (poll(&fd, 1, 100) <= 0)
                continue;
            const ssize_t n = read(out, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, std::size_t(n));
        }
        close();
        while (!got.empty() && got.back() == '\n')
            got.pop_back();
    }
    std::string received() override { return got; }
};

// featherpad (Qt) on an empty file: Ctrl+S writes what it holds.
struct QtEditor : FileTarget
{
    using FileTarget::FileTarget;
    void start() override
    {
        // A fresh configuration each time: no session, no other window to restore.
        std::filesystem::remove_all(folder + "/config");
        restart({ "featherpad", "--standalone", file },
            { "XDG_CONFIG_HOME=" + folder + "/config", "QT_ACCESSIBILITY=0" });
        focus("typed\\.txt",
            [&] { return focusTitle(display).find("typed.txt") != std::string::npos; });
        std::this_thread::sleep_for(800ms);
    }
    void finish(const std::function<void(const std::string &)> &) override
    {
        runToEnd({ "xdotool", "key", "ctrl+s" });
        waitUntil(
            [&] {
                got = readAll(file);
                return !got.empty();
            },
            60s);
        // Written at once, but let a slow write end.
        std::this_thread::sleep_for(50ms);
        got = readAll(file);
        while (!got.empty() && got.back() == '\n')
            got.pop_back();
    }
};

// Measuring --------------------------------------------------------------------------------

struct Result
{
    double cps = 0;
    std::size_t errors = 0;
};

Result measure(
    Target &target, const std::string &text, const std::function<void(const std::string &)> &keys)
{
    target.start();
    const auto start = Clock::now();
    keys(text);
    if (std::getenv("QUORVEL_BENCH_SHOW"))
        std::fprintf(stderr, "sent in %.0f ms\n",
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    target.finish(keys);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string got = target.received();
    if (std::getenv("QUORVEL_BENCH_SHOW"))
        std::fprintf(stderr, "sent:\n%s\nreceived:\n%s\n", text.c_str(), got.c_str());
    return { double(text::decode(text).size()) / seconds, errors(text, got) };
}

// The same ASCII keys straight through XTest: no logic, no wait, one flush. What the server
// and the target take on this machine, as a ceiling for the others.
void xtestType(Display *display, const std::string &text)
{
    const ::KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    for (const char c : text) {
        const KeySym keysym = c == '\n' ? XK_Return : KeySym(static_cast<unsigned char>(c));
        const ::KeyCode key = XKeysymToKeycode(display, keysym);
        if (!key)
            continue;
        const bool shifted = XkbKeycodeToKeysym(display, key, 0, 0) != keysym;
        if (shifted)
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, key, True, CurrentTime);
        XTestFakeKeyEvent(display, key, False, CurrentTime);
        if (shifted)
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
    }
    XSync(display, False);
}

// Until the window manager has used under a tenth of a processor for half a second (two
// minutes at most).
void waitForQuietWindowManager()
{
    auto cpuTicks = [] {
        long total = -1;
        if (FILE *pids = popen("pgrep -x openbox", "r")) {
            int pid = 0;
            if (std::fscanf(pids, "%d", &pid) == 1) {
                std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
                std::string field;
                // utime and stime are the 14th and 15th fields; the name has no blanks.
                for (int i = 1; i <= 15 && stat >> field; ++i) {
                    if (i == 14)
                        total = std::stol(field);
                    else if (i == 15)
                        total += std::stol(field);
                }
            }
            pclose(pids);
        }
        return total;
    };
    const auto deadline = Clock::now() + 120s;
    long before = cpuTicks();
    while (before >= 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(500ms);
        const long after = cpuTicks();
        if (after - before < sysconf(_SC_CLK_TCK) / 20)
            return;
        before = after;
    }
}

// Each typist's median pace over the rounds, and the most characters it got wrong in one.
struct Tally
{
    std::vector<double> cps;
    std::size_t errors = 0;
    void add(const Result &r)
    {
        cps.push_back(r.cps);
        errors = std::max(errors, r.errors);
    }
    double median()
    {
        if (cps.empty())
            return 0;
        std::sort(cps.begin(), cps.end());
        return cps[cps.size() / 2];
    }
};

// rounds > 1 for a target whose pace varies much from run to run (xterm on a shared machine);
// withFloor adds the bare XTest figure, for ASCII text only.
void report(benchmark::State &state, Target &target, const std::string &text, int rounds = 1,
    Display *withFloor = nullptr)
{
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    Quorvel q;
    Tally ours, theirs, floor;
    const bool withXdotool = !std::getenv("QUORVEL_BENCH_NO_XDOTOOL");
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round) {
            ours.add(
                measure(target, text, [&](const std::string &keys) { q.type(macroText(keys)); }));
            if (withFloor) {
                floor.add(measure(
                    target, text, [&](const std::string &keys) { xtestType(withFloor, keys); }));
            }
        }
        // xdotool last: for each character off the layout it changes the keymap twice, and
        // the window manager then spends half a minute catching up, slowing whatever runs.
        const int xdotoolRounds = withFloor ? rounds : 1; // off the layout, one is plenty
        for (int round = 0; withXdotool && round < xdotoolRounds; ++round) {
            theirs.add(measure(target, text, [&](const std::string &keys) {
                if (keys == "\n")
                    runToEnd({ "xdotool", "key", "Return" });
                else
                    runToEnd({ "xdotool", "type", "--delay", "0", keys });
            }));
            waitForQuietWindowManager();
        }
    }
    state.counters["quorvel_cps"] = ours.median();
    state.counters["quorvel_errors"] = double(ours.errors);
    state.counters["xdotool_cps"] = theirs.median();
    state.counters["xdotool_errors"] = double(theirs.errors);
    if (withFloor) {
        state.counters["xtest_cps"] = floor.median();
        state.counters["xtest_errors"] = double(floor.errors);
    }
    state.counters["chars"] = double(text::decode(text).size());
    state.counters["rounds"] = rounds;
}

struct DisplayConnection
{
    Display *display = XOpenDisplay(nullptr);
    ~DisplayConnection()
    {
        if (display)
            XCloseDisplay(display);
    }
};

void XtermAscii(benchmark::State &state)
{
    DisplayConnection d;
    Xterm target(d.display);
    const std::string text = asciiText(10000);
    target.lines = std::size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    report(state, target, text, 5, d.display);
}
BENCHMARK(XtermAscii)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void XtermOffLayout(benchmark::State &state)
{
    DisplayConnection d;
    Xterm target(d.display);
    const std::string text = mixedText(2000);
    target.lines = std::size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    report(state, target, text, 3);
}
BENCHMARK(XtermOffLayout)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void GtkEditorAscii(benchmark::State &state)
{
    DisplayConnection d;
    GtkEditor target(d.display);
    report(state, target, asciiText(2000));
}
BENCHMARK(GtkEditorAscii)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void GtkEditorMixed(benchmark::State &state)
{
    DisplayConnection d;
    GtkEditor target(d.display);
    report(state, target, mixedText(2000));
}
BENCHMARK(GtkEditorMixed)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void QtEditorAscii(benchmark::State &state)
{
    DisplayConnection d;
    QtEditor target(d.display);
    report(state, target, asciiText(2000));
}
BENCHMARK(QtEditorAscii)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void QtEditorMixed(benchmark::State &state)
{
    DisplayConnection d;
    QtEditor target(d.display);
    report(state, target, mixedText(2000));
}
BENCHMARK(QtEditorMixed)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
