// SPDX-License-Identifier: GPL-3.0-or-later
// Latency of a running Quorvel, seen from a window of its own that timestamps every key it
// receives with the monotonic clock:
//   hotkey COUNT   presses Ctrl+Alt+T (through a virtual keyboard of its own on Wayland, XTest on
//                  X11) with its window focused: from the press to the first key typed.
//   trigger COUNT  maps a new window titled "latency trigger" each round: from its first paint
//                  (on Wayland, the frame that maps it) to the first key typed into it.
// Quorvel runs a catalogue whose macros type KEY (default q) by that hot key and that trigger.
// Prints the median, the 90th and 99th percentiles and how many rounds got no key in 2 s.
// Usage: quorvel_latency_bench hotkey|trigger COUNT [KEY]
#include "platform/KeySink.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeySink.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

namespace vk = quorvel::vk;
using Key = quorvel::KeyCode; // X11 has a KeyCode of its own
using Clock = std::chrono::steady_clock;

namespace {

// The person's keyboard, pressing Ctrl+Alt+T once.
class Presser
{
public:
    virtual ~Presser() = default;
    virtual void pressHotKey() = 0;
};

class WaylandPresser final : public Presser
{
public:
    void pressHotKey() override
    {
        for (const Key k : { vk::Control, vk::Menu, Key('T') })
            send(k, false);
        for (const Key k : { Key('T'), vk::Menu, vk::Control })
            send(k, true);
        m_keys.flush();
    }

private:
    void send(Key key, bool release)
    {
        const unsigned scan = m_keys.scanCode(key);
        m_keys.keyEvent(key, scan & 0xFF, (scan & 0xE0) != 0, release);
    }
    quorvel::wayland::WaylandConnection m_connection;
    quorvel::wayland::WaylandKeySink m_keys { m_connection };
};

class X11Presser final : public Presser
{
public:
    X11Presser()
        : m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            throw std::runtime_error("cannot open the X display");
    }
    ~X11Presser() override { XCloseDisplay(m_display); }
    void pressHotKey() override
    {
        const KeySym keys[] = { XK_Control_L, XK_Alt_L, XK_t };
        for (const KeySym k : keys)
            XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, k), True, CurrentTime);
        for (auto k = std::rbegin(keys); k != std::rend(keys); ++k)
            XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, *k), False, CurrentTime);
        XSync(m_display, False);
    }

private:
    Display *m_display;
};

class Target : public QWidget
{
public:
    Target(const QString &title, QString key, std::function<void()> changed)
        : m_key(std::move(key))
        , m_changed(std::move(changed))
    {
        setWindowTitle(title);
        resize(320, 200);
    }
    std::optional<Clock::time_point> painted, typed;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (!painted)
            painted = Clock::now();
        QWidget::paintEvent(event);
        m_changed();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (!typed && event->text() == m_key)
            typed = Clock::now();
        m_changed();
    }
    void focusInEvent(QFocusEvent *) override { m_changed(); }

private:
    QString m_key;
    std::function<void()> m_changed;
};

// Runs the event loop until done() holds or the time is up; whether it holds.
class Waiter
{
public:
    bool until(const std::function<bool()> &done, int milliseconds)
    {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(milliseconds);
        m_check = [&] {
            if (done())
                loop.quit();
        };
        if (!done())
            loop.exec();
        m_check = nullptr;
        return done();
    }
    void changed()
    {
        if (m_check)
            m_check();
    }

private:
    std::function<void()> m_check;
};

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char *what, std::vector<double> samples, int lost)
{
    if (samples.empty()) {
        std::printf("%-8s no key arrived (%d lost)\n", what, lost);
        return;
    }
    std::sort(samples.begin(), samples.end());
    // Nearest rank: the smallest sample at or above the share q of them.
    auto at = [&](double q) {
        const auto rank = static_cast<size_t>(std::ceil(q * double(samples.size())));
        return samples[std::clamp<size_t>(rank, 1, samples.size()) - 1];
    };
    std::printf("%-8s %3zu rounds  median %7.2f  p90 %7.2f  p99 %7.2f  min %7.2f  max %7.2f ms"
                "  lost %d\n",
        what, samples.size(), at(0.5), at(0.9), at(0.99), samples.front(), samples.back(), lost);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3 || (args[1] != "hotkey" && args[1] != "trigger")) {
        std::fprintf(stderr, "usage: quorvel_latency_bench hotkey|trigger COUNT [KEY]\n");
        return 2;
    }
    const bool hotkey = args[1] == "hotkey";
    const int count = args[2].toInt();
    const QString key = args.size() > 3 ? args[3] : QStringLiteral("q");
    Waiter wait;
    // Random pauses spread the rounds over the phase of any timer in the program measured.
    std::mt19937 random(20);
    std::uniform_int_distribution<int> pause(100, 350);
    std::vector<double> samples;
    int lost = 0;
    try {
        if (hotkey) {
            std::unique_ptr<Presser> presser;
            if (QGuiApplication::platformName() == "wayland")
                presser = std::make_unique<WaylandPresser>();
            else
                presser = std::make_unique<X11Presser>();
            Target target("latency target", key, [&] { wait.changed(); });
            target.show();
            if (!wait.until([&] { return target.isActiveWindow(); }, 5000))
                throw std::runtime_error("the target window did not get the focus");
            wait.until([] { return false; }, 300);
            for (int i = 0; i < count; ++i) {
                target.typed.reset();
                const auto pressed = Clock::now();
                presser->pressHotKey();
                if (wait.until([&] { return target.typed.has_value(); }, 2000))
                    samples.push_back(ms(*target.typed - pressed));
                else
                    ++lost;
                wait.until([] { return false; }, pause(random));
            }
        } else {
            for (int i = 0; i < count; ++i) {
                auto target =
                    std::make_unique<Target>("latency trigger", key, [&] { wait.changed(); });
                target->show();
                if (wait.until([&] { return target->typed.has_value(); }, 2000) && target->painted)
                    samples.push_back(ms(*target->typed - *target->painted));
                else
                    ++lost;
                target.reset();
                wait.until([] { return false; }, pause(random));
            }
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorvel_latency_bench: %s\n", e.what());
        return 1;
    }
    report(hotkey ? "hotkey" : "trigger", samples, lost);
    return 0;
}
