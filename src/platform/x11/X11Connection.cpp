// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Connection.h"

#include "common/Error.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <cstdlib>

namespace quorvel::x11 {

// Xlib has one error handler per process; ours serves our connections and hands every other
// display's errors to whoever was installed before us.
struct ErrorRouting
{
    static inline std::vector<X11Connection *> connections;
    static inline XErrorHandler previous = nullptr;

    static int handle(Display *display, XErrorEvent *error)
    {
        for (X11Connection *c : connections) {
            if (c->m_display == display) {
                c->recordError(error->serial, error->error_code);
                return 0;
            }
        }
        return previous ? previous(display, error) : 0;
    }

    // A toolkit opening its own Xlib display later (Qt's xcb platform does) installs its own
    // handler over ours, and our traps would then see no error at all.
    static void reinstall()
    {
        const XErrorHandler current = XSetErrorHandler(&ErrorRouting::handle);
        if (current != &ErrorRouting::handle)
            previous = current;
    }

    static void add(X11Connection *c)
    {
        if (connections.empty())
            previous = XSetErrorHandler(&ErrorRouting::handle);
        connections.push_back(c);
    }

    static void remove(X11Connection *c)
    {
        std::erase(connections, c);
        if (connections.empty()) {
            XSetErrorHandler(previous);
            previous = nullptr;
        }
    }
};

X11Connection::X11Connection(const std::string &displayName)
{
    m_display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!m_display) {
        const char *env = displayName.empty() ? std::getenv("DISPLAY") : displayName.c_str();
        throw Error(std::string("Cannot connect to the X display \"") + (env ? env : "") + "\"");
    }
    ErrorRouting::add(this);
    m_root = DefaultRootWindow(m_display);

    int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(m_display, &opcode, &eventBase, &errorBase, &major, &minor))
        m_xkbEventBase = eventBase;
}

X11Connection::~X11Connection()
{
    XCloseDisplay(m_display);
    ErrorRouting::remove(this);
}

int X11Connection::fileDescriptor() const
{
    return ConnectionNumber(m_display);
}

XId X11Connection::atom(const char *name)
{
    auto it = m_atoms.find(name);
    if (it != m_atoms.end())
        return it->second;
    const Atom a = XInternAtom(m_display, name, False);
    m_atoms.emplace(name, a);
    return a;
}

void X11Connection::addHandler(Handler handler)
{
    m_handlers.push_back(std::move(handler));
}

void X11Connection::dispatch(const XEvent &event)
{
    // A handler may run a whole macro, which pumps and comes back here.
    for (std::size_t i = 0; i < m_handlers.size(); ++i)
        m_handlers[i](event);
}

void X11Connection::processEvents()
{
    while (XEventsQueued(m_display, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        dispatch(event);
    }
}

namespace {
Bool matchesFilter(Display *, XEvent *event, XPointer arg)
{
    auto filter = reinterpret_cast<bool (*)(const XEvent &)>(arg);
    return filter(*event) ? True : False;
}
} // namespace

int X11Connection::processEventsMatching(bool (*filter)(const XEvent &))
{
    if (XEventsQueued(m_display, QueuedAfterReading) == 0)
        return 0;
    int handled = 0;
    XEvent event;
    while (XCheckIfEvent(m_display, &event, &matchesFilter, reinterpret_cast<XPointer>(filter))) {
        dispatch(event);
        ++handled;
    }
    return handled;
}

void X11Connection::flush()
{
    XFlush(m_display);
}

void X11Connection::sync()
{
    XSync(m_display, False);
}

void X11Connection::recordError(unsigned long serial, int code)
{
    for (ErrorTrap *t = m_trap; t; t = t->m_outer) {
        if (serial >= t->m_firstSerial) {
            if (t->m_errors++ == 0)
                t->m_firstError = code;
            return;
        }
    }
    // Outside a trap: a window that vanished under us, and the like. Nothing to do.
}

X11Connection::ErrorTrap::ErrorTrap(X11Connection &connection)
    : m_connection(connection)
    , m_outer(connection.m_trap)
    , m_firstSerial(NextRequest(connection.m_display))
{
    ErrorRouting::reinstall();
    connection.m_trap = this;
}

X11Connection::ErrorTrap::~ErrorTrap()
{
    // Errors of our requests still in flight must be counted here, not by an outer trap.
    if (NextRequest(m_connection.m_display) != m_syncedAt)
        XSync(m_connection.m_display, False);
    m_connection.m_trap = m_outer;
}

bool X11Connection::ErrorTrap::sync()
{
    XSync(m_connection.m_display, False);
    m_syncedAt = NextRequest(m_connection.m_display);
    return m_errors == 0;
}

} // namespace quorvel::x11
