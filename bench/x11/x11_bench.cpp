// SPDX-License-Identifier: GPL-3.0-or-later
// The X11 backend measured on the private X server of scripts/with-xvfb.sh (with openbox):
//   HotKeyLatency     a press sent by another client until the macro's first key reaches a
//                     capturing client; median and 99th percentile over 200 presses
//   TypingThroughput  2,000 ASCII characters into xterm running `cat > FILE`, Quorvel beside
//                     `xdotool type --delay 0` on the same text, lost or wrong characters
//                     counted; then 80 characters that are on no layout, for both
//   TriggerTick       one Timer1Timer with 200 windows and 1,000 records, 100 with triggers
// Run: scripts/with-xvfb.sh build-x11-rel/bench/quorvel_x11_bench

#include "BenchRig.h"
#include "catalogue/Catalogue.h"
#include "catalogue/HotKeyValue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "platform/NullPlatform.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11KeySink.h"
#include "platform/x11/X11WindowSystem.h"
#include "playback/MacroRunner.h"
#include "triggers/HotKeyBindings.h"
#include "triggers/TriggerScan.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Last: Xlib's macros would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace quorvel;
using namespace quorvel::bench;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Plumbing ---------------------------------------------------------------------------------

// xterm running `cat > FILE`, focused.
struct TypingTarget
{
    std::string folder = tempFolder();
    std::string file = folder + "/typed.txt";
    pid_t pid;
    explicit TypingTarget(Display *display)
    {
        std::ofstream(file).flush();
        pid = spawn({ "xterm", "-T", "bench target", "-e", "sh", "-c", "exec cat > \"$0\"", file });
        // Ready once it holds the focus.
        const auto deadline = Clock::now() + 10s;
        while (Clock::now() < deadline) {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(display, &focus, &revert);
            char *name = nullptr;
            if (focus > PointerRoot && XFetchName(display, focus, &name) && name) {
                const bool ours = std::strcmp(name, "bench target") == 0;
                XFree(name);
                if (ours)
                    break;
            }
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(200ms);
    }
    ~TypingTarget()
    {
        stop(pid);
        std::filesystem::remove_all(folder);
    }
    void clear() { std::ofstream(file, std::ios::trunc).flush(); }
    // Waits for the line to end; returns it without the line break.
    std::string waitForLine(Clock::time_point &done)
    {
        const auto deadline = Clock::now() + 60s;
        std::string got;
        while (Clock::now() < deadline) {
            got = readAll(file);
            if (!got.empty() && got.back() == '\n') {
                done = Clock::now();
                got.pop_back();
                return got;
            }
            std::this_thread::sleep_for(200us);
        }
        done = Clock::now();
        return got;
    }
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

// Hot-key latency --------------------------------------------------------------------------

int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

void HotKeyLatency(benchmark::State &state)
{
    XSetErrorHandler(&ignoreErrors);
    constexpr int kPresses = 200;
    Display *capture = XOpenDisplay(nullptr);
    Display *presser = XOpenDisplay(nullptr);
    const Window root = DefaultRootWindow(capture);
    const Window window = XCreateSimpleWindow(capture, root, 0, 0, 200, 100, 0, 0, 0);
    XStoreName(capture, window, "latency capture");
    XSelectInput(capture, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapRaised(capture, window);
    for (XEvent e; XNextEvent(capture, &e), e.type != MapNotify;) { }
    std::this_thread::sleep_for(100ms);
    XSetInputFocus(capture, window, RevertToParent, CurrentTime);
    XSync(capture, False);

    // Quorvel in a thread of its own, on its own connection, as in its event loop.
    std::atomic<bool> ready { false }, quit { false };
    std::thread quorvel([&] {
        Quorvel q;
        std::ofstream(q.folder + "/Latency.key") << "x";
        q.catalogue.append(MacroRecord { "Latency", macrokind::Advanced,
            hotkey::Ctrl | hotkey::Alt | 'Q', "Latency.key", "", 1 });
        HotKeyBindings bindings(q.backend.hotKeyRegistrar(), nullptr,
            [&](int slot, quorvel::KeyCode) { q.runner.EPHotKey0HotKey(slot); });
        bindings.BindHotKeys(q.catalogue);
        ready = bindings.EPHotKey(1).registered();
        pollfd fd { q.backend.fileDescriptor(), POLLIN, 0 };
        while (!quit) {
            poll(&fd, 1, 5);
            q.backend.processEvents();
        }
    });
    while (!ready)
        std::this_thread::sleep_for(1ms);

    const unsigned ctrl = XKeysymToKeycode(presser, XK_Control_L);
    const unsigned alt = XKeysymToKeycode(presser, XK_Alt_L);
    // Not a function key: Ctrl+Alt+F<n> switches the virtual terminal and never arrives.
    const unsigned key = XKeysymToKeycode(presser, XK_q);
    std::vector<double> latencies;
    bool failed = false;
    for (auto _ : state) {
        latencies.clear();
        for (int i = 0; i < kPresses && !failed; ++i) {
            // The whole chord at once, the modifiers released with the key.
            XTestFakeKeyEvent(presser, ctrl, True, CurrentTime);
            XTestFakeKeyEvent(presser, alt, True, CurrentTime);
            XTestFakeKeyEvent(presser, key, True, CurrentTime);
            XTestFakeKeyEvent(presser, key, False, CurrentTime);
            XTestFakeKeyEvent(presser, alt, False, CurrentTime);
            XTestFakeKeyEvent(presser, ctrl, False, CurrentTime);
            XFlush(presser);
            const auto sent = Clock::now();
            bool seen = false;
            while (!seen) {
                if (!XPending(capture)) {
                    pollfd fd { ConnectionNumber(capture), POLLIN, 0 };
                    if (poll(&fd, 1, 2000) == 0) {
                        state.SkipWithError("the macro's key never arrived");
                        failed = true;
                        break;
                    }
                    continue;
                }
                XEvent e;
                XNextEvent(capture, &e);
                if (e.type == KeyPress) {
                    KeySym sym = XLookupKeysym(&e.xkey, 0);
                    if (sym == XK_x) {
                        latencies.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                        seen = true;
                    }
                }
            }
            // Let the release and the run's end go by before the next press.
            std::this_thread::sleep_for(3ms);
            while (XPending(capture)) {
                XEvent e;
                XNextEvent(capture, &e);
            }
        }
    }
    quit = true;
    quorvel.join();
    if (latencies.empty())
        latencies.push_back(0);
    state.counters["median_ms"] = percentile(latencies, 0.5);
    state.counters["p99_ms"] = percentile(latencies, 0.99);
    state.counters["max_ms"] = percentile(latencies, 1.0);
    state.counters["presses"] = double(latencies.size());
    XDestroyWindow(capture, window);
    XCloseDisplay(capture);
    XCloseDisplay(presser);
}
BENCHMARK(HotKeyLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Typing throughput ------------------------------------------------------------------------

std::string asciiText(std::size_t n)
{
    // Printable ASCII, words and punctuation, never "<<" (a token in a macro text).
    const std::string pool = "The quick brown fox jumps over the lazy dog 0123456789 "
                             "!\"#$%&'()*+,-./:;=>?@[\\]^_`{|}~ PACK MY BOX WITH FIVE JUGS ";
    std::string s;
    for (std::size_t i = 0; s.size() < n; ++i)
        s += pool[(i * 7) % pool.size()];
    return s;
}

std::string offLayoutText(std::size_t n)
{
    const std::u32string pool = U"\u20ac\u0151\u0171\u00e1\u00e9\u00ed\u4e2d\u6587\u0416\u0436"
                                U"\u00f1\u00d1\u2014\u201c\u201d\u03b1\u03a9\u00f8\u0141\u010d";
    std::u32string s;
    for (std::size_t i = 0; s.size() < n; ++i)
        s += pool[i % pool.size()];
    return text::encode(s);
}

void measureTyping(benchmark::State &state, const std::string &text, const char *prefix)
{
    XSetErrorHandler(&ignoreErrors);
    Quorvel q;
    Display *d = XOpenDisplay(nullptr);
    double quorvelCps = 0, xdotoolCps = 0;
    std::size_t quorvelErrors = 0, xdotoolErrors = 0;
    const double chars = double(text::decode(text).size());
    for (auto _ : state) {
        {
            TypingTarget target(d);
            const auto start = Clock::now();
            q.runner.SendKeys(text + "<<ENTER>>");
            q.backend.keySink().releaseAll();
            Clock::time_point done;
            const std::string got = target.waitForLine(done);
            quorvelCps = chars / std::chrono::duration<double>(done - start).count();
            quorvelErrors = errors(text, got);
        }
        {
            TypingTarget target(d);
            const auto start = Clock::now();
            runToEnd({ "xdotool", "type", "--delay", "0", text });
            runToEnd({ "xdotool", "key", "Return" });
            Clock::time_point done;
            const std::string got = target.waitForLine(done);
            xdotoolCps = chars / std::chrono::duration<double>(done - start).count();
            xdotoolErrors = errors(text, got);
        }
    }
    XCloseDisplay(d);
    state.counters[std::string(prefix) + "quorvel_cps"] = quorvelCps;
    state.counters[std::string(prefix) + "quorvel_errors"] = double(quorvelErrors);
    state.counters[std::string(prefix) + "xdotool_cps"] = xdotoolCps;
    state.counters[std::string(prefix) + "xdotool_errors"] = double(xdotoolErrors);
    state.counters["chars"] = chars;
}

void TypingThroughputAscii(benchmark::State &state)
{
    measureTyping(state, asciiText(2000), "");
}
BENCHMARK(TypingThroughputAscii)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void TypingOffLayout(benchmark::State &state)
{
    measureTyping(state, offLayoutText(80), "");
}
BENCHMARK(TypingOffLayout)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One trigger tick -------------------------------------------------------------------------

void TriggerTick(benchmark::State &state)
{
    constexpr int kWindows = 200, kRecords = 1000, kTriggers = 100;
    XSetErrorHandler(&ignoreErrors);
    Display *d = XOpenDisplay(nullptr);
    const Window root = DefaultRootWindow(d);
    std::vector<Window> windows;
    for (int i = 0; i < kWindows; ++i) {
        const Window w = XCreateSimpleWindow(d, root, i % 50, i % 40, 120, 60, 0, 0, 0);
        XStoreName(d, w, ("Bench Window " + std::to_string(i)).c_str());
        XMapWindow(d, w);
        windows.push_back(w);
    }
    XSync(d, False);

    Quorvel q;
    // Wait until the manager lists them all.
    auto &model = q.backend.x11Windows();
    const auto deadline = Clock::now() + 30s;
    while (model.windowCount() < std::size_t(kWindows) && Clock::now() < deadline)
        std::this_thread::sleep_for(20ms);

    // Half of the triggers name open windows they have already served, half name none.
    q.store.edit([&](IniDocument &doc) {
        doc.setValue("Main", "Entries", std::to_string(kRecords));
        for (int n = 1; n <= kRecords; ++n) {
            const std::string section = Catalogue::sectionName(n);
            doc.setValue(section, "Name", "Macro " + std::to_string(n));
            doc.setValue(section, "Type", "4");
            doc.setValue(section, "FileName", "m.key");
            if (n % (kRecords / kTriggers) != 0)
                continue;
            const int t = n / (kRecords / kTriggers);
            if (t % 2 == 0) {
                const int w = (t * 37) % kWindows;
                doc.setValue(section, "Trigger", "bench window " + std::to_string(w));
                doc.setValue(section, "FoundHandle",
                    std::to_string(model.handleOf(windows[std::size_t(w)])));
            } else {
                doc.setValue(section, "Trigger", "No Such Window " + std::to_string(t));
            }
        }
    });
    int runs = 0;
    TriggerScan scan(q.catalogue, q.backend.windowSystem(), q.pump, [&](int) { ++runs; });
    for (auto _ : state)
        scan.Timer1Timer();
    state.counters["windows"] = double(model.windowCount());
    state.counters["runs"] = runs;
    for (Window w : windows)
        XDestroyWindow(d, w);
    XCloseDisplay(d);
}
BENCHMARK(TriggerTick)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
