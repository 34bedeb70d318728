// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Backend.h"

#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11KeySink.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11WindowSystem.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace quorvel::x11 {

namespace {
// A whole number of milliseconds from the environment; fallback when unset or not a number.
std::chrono::milliseconds environmentMilliseconds(
    const char *name, std::chrono::milliseconds fallback)
{
    const char *value = std::getenv(name);
    if (!value)
        return fallback;
    long ms = 0;
    const char *end = value + std::strlen(value);
    const auto [at, error] = std::from_chars(value, end, ms);
    if (error != std::errc {} || at != end || ms < 0 || ms > 10000)
        return fallback;
    return std::chrono::milliseconds(ms);
}
} // namespace

X11Backend::X11Backend(const X11BackendOptions &options)
    : m_connection(std::make_unique<X11Connection>(options.display))
    , m_keyboard(std::make_unique<X11Keyboard>(*m_connection))
    , m_windows(std::make_unique<X11WindowSystem>(*m_connection))
    , m_sink(std::make_unique<X11KeySink>(*m_connection, *m_keyboard))
    , m_keyboardState(std::make_unique<X11KeyboardState>(*m_connection, *m_keyboard))
    , m_hotKeys(std::make_unique<X11HotKeyRegistrar>(*m_connection, *m_keyboard))
{
    m_sink->setRemapPause(environmentMilliseconds("QUORVEL_KEYMAP_SETTLE", options.remapPause));
    m_windows->setActivationWait(options.activationWait);
    m_hotKeys->setApplicationActiveQuery([this] { return m_windows->activeWindowIsOurs(); });
}

X11Backend::~X11Backend()
{
    // The sink's last releases may still see a keyboard change, which the hot keys follow.
    m_sink.reset();
    m_hotKeys.reset();
}

int X11Backend::fileDescriptor() const
{
    return m_connection->fileDescriptor();
}

void X11Backend::processEvents()
{
    m_connection->processEvents();
    m_keyboard->update();
    m_sink->idle();
    m_connection->flush();
}

KeySink &X11Backend::keySink()
{
    return *m_sink;
}

KeyboardState &X11Backend::keyboardState()
{
    return *m_keyboardState;
}

HotKeyRegistrar &X11Backend::hotKeyRegistrar()
{
    return *m_hotKeys;
}

WindowSystem &X11Backend::windowSystem()
{
    return *m_windows;
}

} // namespace quorvel::x11
