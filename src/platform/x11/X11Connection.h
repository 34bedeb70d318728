// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Xlib's own type names, declared without its headers (their macros collide with ours).
struct _XDisplay; // NOLINT(bugprone-reserved-identifier)
union _XEvent; // NOLINT(bugprone-reserved-identifier)

namespace quorvel::x11 {

using XId = unsigned long;

// One Xlib connection. Errors on it never end the process: they are ignored, or counted by
// an open ErrorTrap. Events go to the handlers in the order they were added.
class X11Connection
{
public:
    // Throws Error when the display cannot be opened; an empty name means $DISPLAY.
    explicit X11Connection(const std::string &displayName = {});
    ~X11Connection();
    X11Connection(const X11Connection &) = delete;
    X11Connection &operator=(const X11Connection &) = delete;

    _XDisplay *display() const { return m_display; }
    int fileDescriptor() const;
    XId root() const { return m_root; }
    XId atom(const char *name);
    // The first event code of the XKB extension; -1 without it.
    int xkbEventBase() const { return m_xkbEventBase; }

    using Handler = std::function<void(const _XEvent &)>;
    void addHandler(Handler handler);

    // Handles every event already received or waiting on the socket; never blocks.
    void processEvents();
    // Handles only the queued events the filter picks; the rest keep their order.
    // Returns how many it handled.
    int processEventsMatching(bool (*filter)(const _XEvent &));
    void flush();
    // A round trip: every request sent so far has been handled by the server.
    void sync();

    // Counts the errors caused by requests made while it is open.
    class ErrorTrap
    {
    public:
        explicit ErrorTrap(X11Connection &connection);
        ~ErrorTrap();
        ErrorTrap(const ErrorTrap &) = delete;
        ErrorTrap &operator=(const ErrorTrap &) = delete;

        // Waits for the server and returns whether no error arrived.
        bool sync();
        int errorCount() const { return m_errors; }
        int firstError() const { return m_firstError; } // X error code, 0 when none

    private:
        friend class X11Connection;
        X11Connection &m_connection;
        ErrorTrap *m_outer;
        unsigned long m_firstSerial;
        unsigned long m_syncedAt = 0;
        int m_errors = 0;
        int m_firstError = 0;
    };

private:
    friend struct ErrorRouting;
    void recordError(unsigned long serial, int code);
    void dispatch(const _XEvent &event);

    _XDisplay *m_display = nullptr;
    XId m_root = 0;
    int m_xkbEventBase = -1;
    std::vector<Handler> m_handlers;
    std::unordered_map<std::string, XId> m_atoms;
    ErrorTrap *m_trap = nullptr;
};

} // namespace quorvel::x11
