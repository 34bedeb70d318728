// SPDX-License-Identifier: GPL-3.0-or-later
// Latency of the KDE backend's hot keys and window triggers, each to the first key typed, on
// KWin (run under scripts/with-kwin.sh). The person's keys go through a RemoteDesktop portal
// session of the bench's own, one call a transition; the typed key goes as Quorvel's would,
// through KWin's own input protocol where KWin lets the bench (QUORVEL_KWIN_INPUT), else
// through that session; both into weston-terminal running `cat > FILE` in raw
// mode; a key has arrived once the file grows.
//   hotkey COUNT   presses Ctrl+Alt+T, registered through the GlobalShortcuts portal, and
//                  releases it; on the press types q: from the press of T to the q in the file.
//   trigger COUNT  opens a terminal whose shell titles it "latency trigger" each round; on the
//                  title types q: from the shell's setting the title to the q in the file.
// Prints the median, the 90th and 99th percentiles and how many rounds got no key in 2 s.
// Usage: quorvel_kde_latency_bench hotkey|trigger COUNT
#include "common/Error.h"
#include "platform/dbus/Bus.h"
#include "platform/kde/KwinFakeInput.h"
#include "platform/kde/KwinWindowSystem.h"
#include "platform/portal/GlobalShortcuts.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <poll.h>
#include <set>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using quorvel::Error;
namespace dbus = quorvel::dbus;

constexpr const char *kRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr int kEvdevQ = 16;

// A keyboard of the bench's own through the RemoteDesktop portal.
class PortalKeyboard
{
public:
    PortalKeyboard()
    {
        const std::string token = "bench" + std::to_string(::getpid());
        std::string sender = m_bus.uniqueName().substr(1);
        std::replace(sender.begin(), sender.end(), '.', '_');
        m_session = std::string(dbus::kPortalPath) + "/session/" + sender + "/" + token;
        request("CreateSession", [&](sd_bus_message *m) {
            sd_bus_message_append(m, "{sv}", "session_handle_token", "s", token.c_str());
        });
        request("SelectDevices",
            [&](sd_bus_message *m) { sd_bus_message_append(m, "{sv}", "types", "u", 1u); });
        // Right after the portal starts, Start may answer 2 once.
        for (int attempt = 0;; ++attempt) {
            if (request("Start", {}) == 0)
                break;
            if (attempt == 5)
                throw Error("the RemoteDesktop portal did not start a session");
            std::this_thread::sleep_for(500ms);
        }
    }

    void key(int evdev, bool pressed)
    {
        auto m = m_bus.methodCall(
            dbus::kPortalService, dbus::kPortalPath, kRemoteDesktop, "NotifyKeyboardKeycode");
        sd_bus_message_append(m.get(), "oa{sv}iu", m_session.c_str(), 0, evdev, pressed ? 1u : 0u);
        m_bus.call(m);
    }
    void tap(int evdev)
    {
        key(evdev, true);
        key(evdev, false);
    }
    // The key a macro types.
    void type(int evdev)
    {
        if (!m_fakeInput) {
            tap(evdev);
            return;
        }
        m_fakeInput->keycode(unsigned(evdev), true);
        m_fakeInput->keycode(unsigned(evdev), false);
        m_fakeInput->push();
    }
    const char *route() const { return m_fakeInput ? "KWin's input protocol" : "the portal"; }

private:
    unsigned request(const char *method, const std::function<void(sd_bus_message *)> &options)
    {
        dbus::PortalRequest request(m_bus);
        auto m = m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath, kRemoteDesktop, method);
        if (std::string_view(method) != "CreateSession")
            sd_bus_message_append(m.get(), "o", m_session.c_str());
        if (std::string_view(method) == "Start")
            sd_bus_message_append(m.get(), "s", "");
        sd_bus_message_open_container(m.get(), 'a', "{sv}");
        sd_bus_message_append(m.get(), "{sv}", "handle_token", "s", request.token().c_str());
        if (options)
            options(m.get());
        sd_bus_message_close_container(m.get());
        return request.run(m, 20s).response;
    }

    dbus::Bus m_bus = dbus::Bus::session();
    std::string m_session;
    std::unique_ptr<quorvel::kde::KwinFakeInput> m_fakeInput =
        quorvel::kde::KwinFakeInput::connect();
};

// weston-terminal running `cat > file` in raw mode, so each key reaches the file at once.
class Terminal
{
public:
    Terminal(const std::string &folder, int n, const std::string &title)
        : m_file(folder + "/typed" + std::to_string(n))
        , m_stamp(folder + "/stamp" + std::to_string(n))
    {
        const std::string script = folder + "/shell" + std::to_string(n) + ".sh";
        std::ofstream(script) << "#!/bin/sh\nstty raw -echo\n"
                              << (title.empty() ? ""
                                                : "date +%s%N >'" + m_stamp + "'\nprintf '\\033]0;"
                                             + title + "\\007'\n")
                              << "exec cat >'" << m_file << "'\n";
        ::chmod(script.c_str(), 0700);
        std::ofstream(m_file).flush();
        m_watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        ::inotify_add_watch(m_watch, m_file.c_str(), IN_MODIFY);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execlp("weston-terminal", "weston-terminal", ("--shell=" + script).c_str(), nullptr);
            ::_exit(127);
        }
    }
    ~Terminal()
    {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        ::close(m_watch);
    }

    // Waits until the file has grown since the last call.
    bool waitForKey(std::chrono::milliseconds timeout)
    {
        pollfd p { m_watch, POLLIN, 0 };
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        char buffer[4096];
        while (::read(m_watch, buffer, sizeof buffer) > 0) { }
        return true;
    }
    // When the shell set the title, on the realtime clock.
    std::chrono::nanoseconds titled() const
    {
        long long ns = 0;
        std::ifstream(m_stamp) >> ns;
        return std::chrono::nanoseconds(ns);
    }

private:
    std::string m_file, m_stamp;
    int m_watch = -1;
    pid_t m_pid = -1;
};

std::chrono::nanoseconds realNow()
{
    return std::chrono::system_clock::now().time_since_epoch();
}

void report(const char *what, std::vector<double> ms, int missed)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double p) {
        return ms.empty() ? 0.0 : ms[std::min(ms.size() - 1, std::size_t(p * double(ms.size())))];
    };
    std::printf("%s: median %.1f ms, p90 %.1f ms, p99 %.1f ms, %zu rounds, %d without a key\n",
        what, at(0.5), at(0.9), at(0.99), ms.size(), missed);
}

bool pump(int fd, const std::function<void()> &process, const std::function<bool()> &done,
    std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        process();
        if (done())
            return true;
        if (Clock::now() > deadline)
            return false;
        pollfd p { fd, POLLIN, 0 };
        ::poll(&p, 1, 20);
    }
}

int hotKeyBench(int count, const std::string &folder, PortalKeyboard &keys)
{
    quorvel::portal::GlobalShortcutsRegistrar hotKeys(folder);
    bool pressed = false;
    if (!hotKeys.registerHotKey(quorvel::hotkeymod::Control | quorvel::hotkeymod::Alt, 'T',
            [&](unsigned, quorvel::KeyCode) { pressed = true; }))
        throw Error("Ctrl+Alt+T was refused");
    Terminal target(folder, 0, {});
    std::this_thread::sleep_for(1500ms); // mapped and focused
    std::vector<double> ms;
    int missed = 0;
    for (int round = 0; round < count; ++round) {
        pressed = false;
        keys.key(29, true);
        keys.key(56, true);
        const auto start = Clock::now();
        keys.key(20, true);
        keys.key(20, false);
        keys.key(56, false);
        keys.key(29, false);
        if (!pump(
                hotKeys.fileDescriptor(), [&] { hotKeys.processEvents(); }, [&] { return pressed; },
                2s)) {
            ++missed;
            continue;
        }
        keys.type(kEvdevQ);
        if (!target.waitForKey(2s)) {
            ++missed;
            continue;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(20ms);
    }
    report("hot key to first typed key", ms, missed);
    return 0;
}

int triggerBench(int count, const std::string &folder, PortalKeyboard &keys)
{
    quorvel::kde::KwinWindowSystem windows(folder);
    bool changed = false;
    windows.setOnTitleChange([&] { changed = true; });
    std::set<quorvel::WindowHandle> served;
    std::vector<double> ms;
    int missed = 0;
    for (int round = 0; round < count; ++round) {
        Terminal target(folder, round + 1, "latency trigger");
        quorvel::WindowHandle fired = 0;
        // What the trigger scan does when told of a title: the first window of that title
        // not served yet.
        const bool found = pump(
            windows.fileDescriptor(), [&] { windows.processEvents(); },
            [&] {
                if (!changed)
                    return false;
                changed = false;
                fired = windows.findWindow("latency trigger");
                return fired && served.insert(fired).second;
            },
            5s);
        if (!found) {
            ++missed;
            continue;
        }
        keys.type(kEvdevQ);
        if (!target.waitForKey(2s)) {
            ++missed;
            continue;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(realNow() - target.titled()).count());
    }
    report("window title to first typed key", ms, missed);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    if ((mode != "hotkey" && mode != "trigger") || count <= 0) {
        std::fprintf(stderr, "usage: quorvel_kde_latency_bench hotkey|trigger COUNT\n");
        return 2;
    }
    try {
        const std::string folder = quorvel::kde::KwinWindowSystem::defaultStateFolder();
        ::mkdir(folder.c_str(), 0700);
        PortalKeyboard keys;
        std::printf("typing through %s\n", keys.route());
        return mode == "hotkey" ? hotKeyBench(count, folder, keys)
                                : triggerBench(count, folder, keys);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorvel_kde_latency_bench: %s\n", e.what());
        return 1;
    }
}
