// SPDX-License-Identifier: GPL-3.0-or-later
// Replay figures against a real X server; run under scripts/with-xvfb.sh.
//
// RecordedSpeedTiming: the gaps between replayed key events as a client of their own
// receives them, against the recorded gaps (median and 99th-percentile error in ms).
// HighSpeedThroughput: events per second a client receives from a high-speed replay; the run
// fails when any event is lost or arrives out of order.

#include "recording/JournalFile.h"
#include "recording/x11/X11Journal.h"

#include <X11/Xlib.h>

// Xlib's event names are macros that would rewrite JournalEventType's enumerators.
constexpr int kXKeyPress = KeyPress, kXKeyRelease = KeyRelease;
#undef KeyPress
#undef KeyRelease
#undef ButtonPress
#undef ButtonRelease

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Arrival
{
    unsigned keycode;
    bool press;
    Clock::time_point at;
};

// A focused window on a connection and thread of its own, noting when each key event arrives.
class ArrivalRecorder
{
public:
    ArrivalRecorder()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return;
        XSetWindowAttributes attributes {};
        attributes.override_redirect = True;
        attributes.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
        m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), 50, 50, 200, 200, 0,
            CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask,
            &attributes);
        XMapRaised(m_display, m_window);
        XEvent event;
        do
            XNextEvent(m_display, &event);
        while (event.type != MapNotify);
        XSetInputFocus(m_display, m_window, RevertToPointerRoot, CurrentTime);
        XSync(m_display, False);
        m_thread = std::thread([this] { loop(); });
    }
    ~ArrivalRecorder()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool ok() const { return m_display != nullptr; }

    std::size_t count()
    {
        std::lock_guard lock(m_mutex);
        return m_arrivals.size();
    }
    std::vector<Arrival> take()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_arrivals, {});
    }
    bool waitFor(std::size_t n, int ms)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (count() < n) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    void loop()
    {
        while (!m_stop) {
            pollfd pfd { ConnectionNumber(m_display), POLLIN, 0 };
            ::poll(&pfd, 1, 5);
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type != kXKeyPress && event.type != kXKeyRelease)
                    continue;
                std::lock_guard lock(m_mutex);
                m_arrivals.push_back(
                    { event.xkey.keycode, event.type == kXKeyPress, Clock::now() });
            }
        }
    }

    Display *m_display = nullptr;
    Window m_window = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop { false };
    std::mutex m_mutex;
    std::vector<Arrival> m_arrivals;
};

// Presses and releases of the letter keys, each pair on a different key, with the given gaps.
std::vector<quorvel::JournalEvent> typing(
    std::size_t count, std::uint32_t minGap, std::uint32_t maxGap)
{
    Display *display = XOpenDisplay(nullptr);
    std::vector<unsigned> codes;
    for (const char *name : { "a", "s", "d", "f", "g", "h", "j", "k", "l" })
        codes.push_back(XKeysymToKeycode(display, XStringToKeysym(name)));
    XCloseDisplay(display);
    std::mt19937 random(42);
    std::uniform_int_distribution<std::uint32_t> gap(minGap, maxGap);
    std::vector<quorvel::JournalEvent> events;
    for (std::size_t i = 0; i < count; ++i) {
        quorvel::JournalEvent e;
        e.type = i % 2 == 0 ? quorvel::JournalEventType::KeyPress
                            : quorvel::JournalEventType::KeyRelease;
        e.code = std::uint8_t(codes[(i / 2) % codes.size()]);
        e.delayMs = i == 0 ? 0 : gap(random);
        events.push_back(e);
    }
    return events;
}

std::string writeTemp(const std::vector<quorvel::JournalEvent> &events)
{
    const std::string path = (std::filesystem::temp_directory_path()
        / ("quorvel-bench-" + std::to_string(getpid()) + ".dat"))
                                 .string();
    quorvel::JournalRecording r;
    r.events = events;
    quorvel::saveJournal(path, r);
    return path;
}

// Replays to the end on this thread's loop; returns the time OnFinished took to come.
double replay(quorvel::X11Journal &journal, const std::string &path, bool fast)
{
    bool done = false;
    journal.OnFinished = [&](bool) { done = true; };
    journal.PlayBackFileName = path;
    journal.HiSpeedPlayBack = fast;
    const auto start = Clock::now();
    journal.StartPlayBack();
    while (!done) {
        pollfd pfd { journal.fileDescriptor(), POLLIN, 0 };
        ::poll(&pfd, 1, 100);
        journal.processEvents();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool sameOrder(const std::vector<Arrival> &got, const std::vector<quorvel::JournalEvent> &sent)
{
    if (got.size() != sent.size())
        return false;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i].keycode != sent[i].code
            || got[i].press != (sent[i].type == quorvel::JournalEventType::KeyPress))
            return false;
    return true;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const std::size_t at =
        std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

void RecordedSpeedTiming(benchmark::State &state)
{
    quorvel::X11Journal journal;
    ArrivalRecorder recorder;
    if (!journal.available() || !recorder.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    const auto events = typing(std::size_t(state.range(0)), 1, 30);
    const std::string path = writeTemp(events);
    for (auto _ : state) {
        recorder.take();
        const double seconds = replay(journal, path, false);
        state.SetIterationTime(seconds);
        if (!recorder.waitFor(events.size(), 5000)) {
            state.SkipWithError("events lost");
            break;
        }
        const auto got = recorder.take();
        if (!sameOrder(got, events)) {
            state.SkipWithError("events out of order");
            break;
        }
        std::vector<double> errors;
        for (std::size_t i = 1; i < got.size(); ++i) {
            const double gap =
                std::chrono::duration<double, std::milli>(got[i].at - got[i - 1].at).count();
            errors.push_back(std::abs(gap - double(events[i].delayMs)));
        }
        state.counters["events"] = double(got.size());
        state.counters["median_error_ms"] = percentile(errors, 0.5);
        state.counters["p99_error_ms"] = percentile(errors, 0.99);
        state.counters["max_error_ms"] = percentile(errors, 1.0);
    }
    std::filesystem::remove(path);
}
BENCHMARK(RecordedSpeedTiming)
    ->Arg(600)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void HighSpeedThroughput(benchmark::State &state)
{
    quorvel::X11Journal journal;
    ArrivalRecorder recorder;
    if (!journal.available() || !recorder.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    const auto events = typing(std::size_t(state.range(0)), 5, 50);
    const std::string path = writeTemp(events);
    double received = 0;
    double seconds = 0;
    for (auto _ : state) {
        recorder.take();
        const auto start = Clock::now();
        replay(journal, path, true);
        if (!recorder.waitFor(events.size(), 20000)) {
            state.SkipWithError("events lost");
            break;
        }
        const auto got = recorder.take();
        const double s = std::chrono::duration<double>(got.back().at - start).count();
        state.SetIterationTime(s);
        if (!sameOrder(got, events)) {
            state.SkipWithError("events out of order");
            break;
        }
        received += double(got.size());
        seconds += s;
    }
    state.counters["events_per_s"] = seconds > 0 ? received / seconds : 0;
    state.counters["lost"] = 0;
    std::filesystem::remove(path);
}
BENCHMARK(HighSpeedThroughput)
    ->Arg(5000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    XInitThreads();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
