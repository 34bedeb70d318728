#include "platform/x11/X11WindowSystem.h"

#include "common/Text.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace quorvel::x11 {

namespace {

bool isWindowEvent(const XEvent &e)
{
    switch (e.type) {
    case PropertyNotify:
    case MapNotify:
    case UnmapNotify:
    case DestroyNotify:
    case ReparentNotify:
    case CreateNotify:
    case ConfigureNotify:
    case CirculateNotify:
        return true;
    default:
        return false;
    }
}

std::string latin1ToUtf8(const unsigned char *bytes, std::size_t n)
{
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        text::appendUtf8(out, bytes[i]);
    return out;
}

// Longest title read; searches look at the first 249 characters, FindWindow at all of it.
constexpr long kTitleLongs = 1024;

} // namespace

struct X11WindowSystem::Impl
{
    struct Client
    {
        XId id = 0;
        WindowInfo info;
        XId frame = 0; // the child of the root it lives in
        bool mapped = false;
        bool hidden = false;
        bool titleDirty = false;
        bool stateDirty = false;
        bool frameDirty = false;
        bool listed = false;
        long pid = 0;
    };

    X11Connection &conn;
    Display *dpy;
    XId root;
    Atom clientListStacking, activeWindow, netWmName, utf8String, netWmState, stateHidden, wmState,
        supportingCheck, supported, netWmPid;

    std::unordered_map<XId, Client> clients;
    std::unordered_map<XId, bool> topMapped; // children of the root: mapped or not
    std::unordered_map<XId, std::uint32_t> reuses; // ids the server handed out again
    std::unordered_map<XId, XId> childClient; // without a manager: root child -> client
    std::vector<Client *> stacking; // topmost first
    std::vector<XId> dirty;
    std::vector<XEvent> deferred;
    bool ewmh = false;
    bool modeDirty = true;
    bool stackDirty = true;
    bool activeDirty = true;
    XId active = 0;
    int enumerating = 0;
    std::chrono::milliseconds activationWait { 500 };

    explicit Impl(X11Connection &c)
        : conn(c)
        , dpy(c.display())
        , root(c.root())
    {
        clientListStacking = c.atom("_NET_CLIENT_LIST_STACKING");
        activeWindow = c.atom("_NET_ACTIVE_WINDOW");
        netWmName = c.atom("_NET_WM_NAME");
        utf8String = c.atom("UTF8_STRING");
        netWmState = c.atom("_NET_WM_STATE");
        stateHidden = c.atom("_NET_WM_STATE_HIDDEN");
        wmState = c.atom("WM_STATE");
        supportingCheck = c.atom("_NET_SUPPORTING_WM_CHECK");
        supported = c.atom("_NET_SUPPORTED");
        netWmPid = c.atom("_NET_WM_PID");
    }

    // Properties ---------------------------------------------------------------------------

    bool property(XId w, Atom prop, Atom type, long longs, std::vector<unsigned char> &bytes,
        int &format, unsigned long &items)
    {
        Atom actualType = None;
        unsigned long after = 0;
        unsigned char *data = nullptr;
        items = 0;
        format = 0;
        if (XGetWindowProperty(
                dpy, w, prop, 0, longs, False, type, &actualType, &format, &items, &after, &data)
            != Success)
            return false;
        const bool ok =
            data && actualType != None && (type == AnyPropertyType || actualType == type);
        if (ok) {
            const std::size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
            bytes.assign(data, data + items * unit);
        }
        if (data)
            XFree(data);
        return ok;
    }

    std::vector<XId> ids(XId w, Atom prop, Atom type)
    {
        std::vector<unsigned char> bytes;
        int format = 0;
        unsigned long items = 0;
        std::vector<XId> out;
        if (!property(w, prop, type, 1 << 16, bytes, format, items) || format != 32)
            return out;
        const auto *values = reinterpret_cast<const long *>(bytes.data());
        out.reserve(items);
        for (unsigned long i = 0; i < items; ++i)
            out.push_back(XId(values[i]));
        return out;
    }

    XId id(XId w, Atom prop, Atom type)
    {
        const auto v = ids(w, prop, type);
        return v.empty() ? 0 : v.front();
    }

    std::string title(XId w)
    {
        std::vector<unsigned char> bytes;
        int format = 0;
        unsigned long items = 0;
        // UTF-8 by definition, whatever type a careless client gave it.
        if (property(w, netWmName, AnyPropertyType, kTitleLongs, bytes, format, items)
            && format == 8)
            return text::toUtf8(
                std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
        XTextProperty tp {};
        if (!XGetTextProperty(dpy, w, &tp, XA_WM_NAME) || !tp.value)
            return {};
        std::string out;
        // STRING is Latin-1, but clients put UTF-8 in it too; valid UTF-8 is taken as such
        // (Latin-1 titles hardly ever form it).
        if (tp.encoding == XA_STRING || tp.encoding == utf8String) {
            out =
                text::toUtf8(std::string_view(reinterpret_cast<const char *>(tp.value), tp.nitems));
        } else {
            // COMPOUND_TEXT and the like: Xlib converts them whatever our locale.
            char **list = nullptr;
            int count = 0;
            if (Xutf8TextPropertyToTextList(dpy, &tp, &list, &count) >= Success && list) {
                for (int i = 0; i < count; ++i)
                    out += list[i];
                XFreeStringList(list);
            } else {
                out = latin1ToUtf8(tp.value, tp.nitems);
            }
        }
        XFree(tp.value);
        return out;
    }

    bool isHidden(XId w)
    {
        const auto states = ids(w, netWmState, XA_ATOM);
        return std::find(states.begin(), states.end(), stateHidden) != states.end();
    }

    bool hasWmState(XId w)
    {
        std::vector<unsigned char> bytes;
        int format = 0;
        unsigned long items = 0;
        return property(w, wmState, wmState, 2, bytes, format, items);
    }

    // The child of the root that w lives in; w itself for a child of the root.
    XId topLevelOf(XId w)
    {
        for (int depth = 0; depth < 16 && w; ++depth) {
            Window rootReturn = 0, parent = 0, *children = nullptr;
            unsigned n = 0;
            if (!XQueryTree(dpy, w, &rootReturn, &parent, &children, &n))
                return 0;
            if (children)
                XFree(children);
            if (parent == root || parent == 0)
                return w;
            w = parent;
        }
        return w;
    }

    // The window with WM_STATE inside a child of the root (XmuClientWindow's rule).
    XId clientOf(XId top)
    {
        if (hasWmState(top))
            return top;
        std::vector<XId> level { top };
        for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
            std::vector<XId> next;
            for (XId w : level) {
                Window rootReturn = 0, parent = 0, *children = nullptr;
                unsigned n = 0;
                if (!XQueryTree(dpy, w, &rootReturn, &parent, &children, &n))
                    continue;
                for (unsigned i = 0; i < n; ++i)
                    next.push_back(children[i]);
                if (children)
                    XFree(children);
            }
            for (XId w : next) {
                if (hasWmState(w))
                    return w;
            }
            level = std::move(next);
        }
        return top;
    }

    // The model ----------------------------------------------------------------------------

    WindowHandle handleOf(XId w) const
    {
        auto c = clients.find(w);
        if (c != clients.end())
            return c->second.info.handle;
        auto r = reuses.find(w);
        return (WindowHandle(r == reuses.end() ? 0 : r->second) << 32) | w;
    }

    bool frameMapped(const Client &c)
    {
        if (!c.frame || c.frame == c.id)
            return c.mapped;
        auto it = topMapped.find(c.frame);
        if (it != topMapped.end())
            return it->second;
        XWindowAttributes a {};
        const bool mapped = XGetWindowAttributes(dpy, c.frame, &a) && a.map_state != IsUnmapped;
        topMapped[c.frame] = mapped;
        return mapped;
    }

    void updateVisible(Client &c) { c.info.visible = c.mapped && !c.hidden && frameMapped(c); }

    Client *track(XId w, XId frame)
    {
        auto it = clients.find(w);
        if (it != clients.end())
            return &it->second;
        // Selected before reading, so no later change goes unseen.
        XSelectInput(dpy, w, PropertyChangeMask | StructureNotifyMask);
        XWindowAttributes a {};
        if (!XGetWindowAttributes(dpy, w, &a))
            return nullptr; // gone already
        const WindowHandle handle = handleOf(w);
        Client &c = clients[w];
        c.id = w;
        c.info.handle = handle;
        c.mapped = a.map_state != IsUnmapped;
        c.frame = frame ? frame : topLevelOf(w);
        c.info.title = title(w);
        c.hidden = isHidden(w);
        c.pid = long(id(w, netWmPid, XA_CARDINAL));
        updateVisible(c);
        return &c;
    }

    void markDirty(Client &c)
    {
        if (!c.titleDirty && !c.stateDirty && !c.frameDirty)
            dirty.push_back(c.id);
    }

    void remove(XId w)
    {
        auto it = clients.find(w);
        if (it == clients.end())
            return;
        ++reuses[w];
        Client *c = &it->second;
        std::erase(stacking, c);
        clients.erase(it);
    }

    void mapChanged(XId event, XId w, bool mapped)
    {
        if (event == root) {
            topMapped[w] = mapped;
            for (auto &[id, c] : clients) {
                if (c.frame == w)
                    updateVisibleLater(c);
            }
        }
        if (event == w) {
            auto it = clients.find(w);
            if (it != clients.end()) {
                it->second.mapped = mapped;
                updateVisibleLater(it->second);
            }
        }
    }

    void updateVisibleLater(Client &c)
    {
        // No round trips while events are applied; the frame may need one.
        if (!c.frame || c.frame == c.id || topMapped.count(c.frame))
            c.info.visible = c.mapped && !c.hidden && frameMapped(c);
        else {
            markDirty(c);
            c.frameDirty = true;
        }
    }

    void apply(const XEvent &e)
    {
        switch (e.type) {
        case PropertyNotify: {
            const XId w = e.xproperty.window;
            const Atom a = e.xproperty.atom;
            if (w == root) {
                if (a == clientListStacking)
                    stackDirty = true;
                else if (a == activeWindow)
                    activeDirty = true;
                else if (a == supportingCheck || a == supported)
                    modeDirty = true;
                return;
            }
            auto it = clients.find(w);
            if (it == clients.end())
                return;
            Client &c = it->second;
            if (a == netWmName || a == XA_WM_NAME) {
                markDirty(c);
                c.titleDirty = true;
            } else if (a == netWmState || a == netWmPid) {
                markDirty(c);
                c.stateDirty = true;
            } else if (a == wmState && !ewmh) {
                stackDirty = true;
            }
            return;
        }
        case MapNotify:
            mapChanged(e.xmap.event, e.xmap.window, true);
            return;
        case UnmapNotify:
            mapChanged(e.xunmap.event, e.xunmap.window, false);
            return;
        case DestroyNotify: {
            const XId w = e.xdestroywindow.window;
            if (e.xdestroywindow.event == root) {
                topMapped.erase(w);
                childClient.erase(w);
                if (!ewmh)
                    stackDirty = true;
            }
            if (e.xdestroywindow.event == w || e.xdestroywindow.event == root)
                remove(w);
            return;
        }
        case ReparentNotify: {
            const XId w = e.xreparent.window;
            if (e.xreparent.event == root) {
                topMapped.erase(w);
                childClient.erase(w);
                if (!ewmh)
                    stackDirty = true;
                // Windows handed back to the root: the manager may have gone.
                if (e.xreparent.parent == root)
                    modeDirty = true;
            }
            auto it = clients.find(w);
            if (it != clients.end()) {
                markDirty(it->second);
                it->second.frameDirty = true;
            }
            return;
        }
        case CreateNotify:
            if (e.xcreatewindow.parent == root) {
                topMapped[e.xcreatewindow.window] = false;
                if (!ewmh)
                    stackDirty = true;
            }
            return;
        case ConfigureNotify:
            if (e.xconfigure.event == root && !ewmh)
                stackDirty = true;
            return;
        case CirculateNotify:
            if (e.xcirculate.event == root && !ewmh)
                stackDirty = true;
            return;
        default:
            return;
        }
    }

    void detectMode()
    {
        bool ok = false;
        if (const XId check = id(root, supportingCheck, XA_WINDOW))
            ok = id(check, supportingCheck, XA_WINDOW) == check;
        if (ok) {
            const auto atoms = ids(root, supported, XA_ATOM);
            ok = std::find(atoms.begin(), atoms.end(), clientListStacking) != atoms.end();
        }
        ewmh = ok;
    }

    void refreshStacking()
    {
        stacking.clear();
        for (auto &[id, c] : clients)
            c.listed = false;
        auto add = [&](XId w, XId frame) {
            Client *c = track(w, frame);
            if (c && !c->listed) {
                c->listed = true;
                stacking.push_back(c);
            }
        };
        if (ewmh) {
            // Bottom to top.
            const auto list = ids(root, clientListStacking, XA_WINDOW);
            for (auto it = list.rbegin(); it != list.rend(); ++it)
                add(*it, 0);
            return;
        }
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(dpy, root, &rootReturn, &parent, &children, &n))
            return;
        std::vector<XId> tops(children, children + n);
        if (children)
            XFree(children);
        for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
            auto known = childClient.find(*it);
            const XId client = known != childClient.end() ? known->second : clientOf(*it);
            childClient[*it] = client;
            add(client, *it);
        }
    }

    void refreshDirty()
    {
        const auto pending = std::move(dirty);
        dirty.clear();
        for (XId w : pending) {
            auto it = clients.find(w);
            if (it == clients.end())
                continue;
            Client &c = it->second;
            if (c.titleDirty)
                c.info.title = title(w);
            if (c.stateDirty) {
                c.hidden = isHidden(w);
                c.pid = long(id(w, netWmPid, XA_CARDINAL));
            }
            if (c.frameDirty)
                c.frame = topLevelOf(w);
            c.titleDirty = c.stateDirty = c.frameDirty = false;
            updateVisible(c);
        }
    }

    void catchUp()
    {
        if (enumerating)
            return;
        for (int round = 0; round < 4; ++round) {
            const auto held = std::move(deferred);
            deferred.clear();
            for (const XEvent &e : held)
                apply(e);
            conn.processEventsMatching(&isWindowEvent);
            const bool roundTrips = modeDirty || stackDirty || !dirty.empty();
            if (modeDirty) {
                modeDirty = false;
                detectMode();
                stackDirty = true;
            }
            if (stackDirty) {
                stackDirty = false;
                refreshStacking();
            }
            refreshDirty();
            // Replies may have brought more window events with them; take those too.
            if (!roundTrips)
                break;
        }
    }

    bool hasFocus(XId w)
    {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(dpy, &focus, &revert);
        for (int depth = 0; depth < 16 && focus > PointerRoot; ++depth) {
            if (focus == w)
                return true;
            Window rootReturn = 0, parent = 0, *children = nullptr;
            unsigned n = 0;
            if (!XQueryTree(dpy, focus, &rootReturn, &parent, &children, &n))
                return false;
            if (children)
                XFree(children);
            if (parent == root)
                return false;
            focus = parent;
        }
        return false;
    }
};

X11WindowSystem::X11WindowSystem(X11Connection &connection)
    : m(std::make_unique<Impl>(connection))
{
    XSelectInput(
        connection.display(), connection.root(), PropertyChangeMask | SubstructureNotifyMask);
    connection.addHandler([this](const XEvent &e) {
        if (!isWindowEvent(e))
            return;
        if (m->enumerating)
            m->deferred.push_back(e);
        else
            m->apply(e);
    });
}

X11WindowSystem::~X11WindowSystem() = default;

void X11WindowSystem::catchUp()
{
    m->catchUp();
}

void X11WindowSystem::enumWindows(const std::function<bool(const WindowInfo &)> &visit)
{
    m->catchUp();
    struct Guard
    {
        int &n;
        explicit Guard(int &count)
            : n(count)
        {
            ++n;
        }
        ~Guard() { --n; }
    } guard(m->enumerating);
    for (const Impl::Client *c : m->stacking) {
        if (!visit(c->info))
            return;
    }
}

bool X11WindowSystem::isWindowVisible(WindowHandle window)
{
    m->catchUp();
    const XId w = windowOf(window);
    auto it = m->clients.find(w);
    if (it != m->clients.end())
        return it->second.info.handle == window && it->second.info.visible;
    if (m->handleOf(w) != window)
        return false;
    XWindowAttributes a {};
    return XGetWindowAttributes(m->dpy, w, &a) && a.map_state == IsViewable && !m->isHidden(w);
}

WindowHandle X11WindowSystem::foregroundWindow()
{
    m->catchUp();
    XId w = 0;
    if (m->ewmh) {
        if (m->activeDirty) {
            m->activeDirty = false;
            m->active = m->id(m->root, m->activeWindow, XA_WINDOW);
        }
        w = m->active;
    } else {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m->dpy, &focus, &revert);
        if (focus > PointerRoot) {
            const XId top = m->topLevelOf(focus);
            auto it = m->childClient.find(top);
            w = it != m->childClient.end() ? it->second : top;
        }
    }
    return w ? m->handleOf(w) : 0;
}

void X11WindowSystem::setForegroundWindow(WindowHandle window)
{
    m->catchUp();
    const XId w = windowOf(window);
    if (!w || m->handleOf(w) != window)
        return; // the window it named is gone
    Display *dpy = m->dpy;
    if (m->ewmh) {
        XEvent e {};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = m->activeWindow;
        e.xclient.format = 32;
        e.xclient.data.l[0] = 2; // a pager's request: managers honour it without a timestamp
        e.xclient.data.l[1] = CurrentTime;
        e.xclient.data.l[2] = 0;
        XSendEvent(dpy, m->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else {
        auto it = m->clients.find(w);
        const XId frame = it != m->clients.end() && it->second.frame ? it->second.frame : w;
        XRaiseWindow(dpy, frame);
        XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
    }
    XFlush(dpy);
    // Keys typed next must reach the window, so wait for the manager to hand it the focus.
    const auto deadline = std::chrono::steady_clock::now() + m->activationWait;
    // With a manager, also until it says so, so foregroundWindow() agrees at once.
    auto done = [&] {
        return m->hasFocus(w) && (!m->ewmh || m->id(m->root, m->activeWindow, XA_WINDOW) == w);
    };
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    m->activeDirty = true;
}

WindowHandle X11WindowSystem::findWindow(std::string_view title)
{
    m->catchUp();
    for (const Impl::Client *c : m->stacking) {
        if (text::equalsIgnoreAsciiCase(c->info.title, title))
            return c->info.handle;
    }
    return 0;
}

bool X11WindowSystem::activeWindowIsOurs()
{
    const XId w = windowOf(foregroundWindow());
    if (!w)
        return false;
    auto it = m->clients.find(w);
    const long pid =
        it != m->clients.end() ? it->second.pid : long(m->id(w, m->netWmPid, XA_CARDINAL));
    return pid == long(getpid());
}

void X11WindowSystem::setActivationWait(std::chrono::milliseconds wait)
{
    m->activationWait = wait;
}

WindowHandle X11WindowSystem::handleOf(XId window)
{
    m->catchUp();
    return m->handleOf(window);
}

bool X11WindowSystem::usesManagerList()
{
    m->catchUp();
    return m->ewmh;
}

std::size_t X11WindowSystem::windowCount()
{
    m->catchUp();
    return m->stacking.size();
}

} // namespace quorvel::x11
