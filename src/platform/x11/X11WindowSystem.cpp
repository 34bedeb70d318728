// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11WindowSystem.h"

#include "common/Text.h"
#include "platform/x11/X11WindowProperties.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
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

} // namespace

struct X11WindowSystem::Impl
{
    struct Client
    {
        XId id = 0;
        WindowInfo info;
        XId frame = 0; // the child of the root it lives in
        bool mapped = false;
        bool iconic = false;
        bool titleDirty = false;
        bool stateDirty = false;
        bool frameDirty = false;
        bool listed = false;
        long pid = 0;
    };

    X11Connection &conn;
    Display *dpy;
    XId root;
    X11WindowProperties props;
    const X11WindowProperties::Atoms &atoms;

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
    // Set by events that may show, hide or rename a window; the handler hears of it once per
    // event.
    bool windowsChanged = false;
    std::function<void()> onChange;

    explicit Impl(X11Connection &c)
        : conn(c)
        , dpy(c.display())
        , root(c.root())
        , props(c)
        , atoms(props.atoms())
    {
    }

    // The model.
    WindowHandle handleOf(XId w) const;
    Client *track(XId w, XId frame);
    void remove(XId w);
    bool frameMapped(const Client &c);
    void updateVisible(Client &c);
    void updateVisibleLater(Client &c);
    void markDirty(Client &c);

    // Events are applied without a round trip; what needs one is marked for catchUp().
    void apply(const XEvent &e);
    void rootPropertyChanged(Atom property);
    void clientPropertyChanged(Client &c, Atom property);
    void mapChanged(XId event, XId w, bool mapped);
    void destroyed(XId event, XId w);
    void reparented(XId event, XId w, XId parent);
    void rootChildLeft(XId w);
    void created(XId parent, XId w);
    void restacked(XId event);

    // Catching up with the server: the round trips the events asked for.
    void catchUp();
    void applyDeferred();
    void refreshStacking();
    void stackFromManager();
    void stackFromTree();
    void addToStacking(XId w, XId frame);
    void refreshDirty();
};

// The model ---------------------------------------------------------------------------------

WindowHandle X11WindowSystem::Impl::handleOf(XId w) const
{
    auto c = clients.find(w);
    if (c != clients.end())
        return c->second.info.handle;
    auto r = reuses.find(w);
    return (WindowHandle(r == reuses.end() ? 0 : r->second) << 32) | w;
}

X11WindowSystem::Impl::Client *X11WindowSystem::Impl::track(XId w, XId frame)
{
    auto it = clients.find(w);
    if (it != clients.end())
        return &it->second;
    // Selected before reading, so no later change goes unseen.
    XSelectInput(dpy, w, PropertyChangeMask | StructureNotifyMask);
    const auto state = props.mapState(w);
    if (state == X11WindowProperties::MapState::Gone)
        return nullptr;
    const WindowHandle handle = handleOf(w);
    Client &c = clients[w];
    c.id = w;
    c.info.handle = handle;
    c.mapped = state != X11WindowProperties::MapState::Unmapped;
    c.frame = frame ? frame : props.topLevelOf(w);
    c.info.title = props.title(w);
    c.iconic = props.isIconic(w);
    c.pid = props.pid(w);
    updateVisible(c);
    return &c;
}

void X11WindowSystem::Impl::remove(XId w)
{
    auto it = clients.find(w);
    if (it == clients.end())
        return;
    ++reuses[w];
    Client *c = &it->second;
    std::erase(stacking, c);
    clients.erase(it);
}

bool X11WindowSystem::Impl::frameMapped(const Client &c)
{
    if (!c.frame || c.frame == c.id)
        return c.mapped;
    auto it = topMapped.find(c.frame);
    if (it != topMapped.end())
        return it->second;
    const auto state = props.mapState(c.frame);
    const bool mapped = state != X11WindowProperties::MapState::Gone
        && state != X11WindowProperties::MapState::Unmapped;
    topMapped[c.frame] = mapped;
    return mapped;
}

void X11WindowSystem::Impl::updateVisible(Client &c)
{
    // A minimized window counts as shown; one its client withdrew does not.
    c.info.visible = c.iconic || (c.mapped && frameMapped(c));
}

void X11WindowSystem::Impl::updateVisibleLater(Client &c)
{
    // No round trips while events are applied; the frame may need one.
    if (!c.frame || c.frame == c.id || topMapped.count(c.frame))
        updateVisible(c);
    else {
        markDirty(c);
        c.frameDirty = true;
    }
}

void X11WindowSystem::Impl::markDirty(Client &c)
{
    if (!c.titleDirty && !c.stateDirty && !c.frameDirty)
        dirty.push_back(c.id);
}

// Events ------------------------------------------------------------------------------------

void X11WindowSystem::Impl::apply(const XEvent &e)
{
    switch (e.type) {
    case PropertyNotify:
        if (e.xproperty.window == root) {
            rootPropertyChanged(e.xproperty.atom);
        } else if (auto it = clients.find(e.xproperty.window); it != clients.end()) {
            clientPropertyChanged(it->second, e.xproperty.atom);
        }
        return;
    case MapNotify:
        mapChanged(e.xmap.event, e.xmap.window, true);
        return;
    case UnmapNotify:
        mapChanged(e.xunmap.event, e.xunmap.window, false);
        return;
    case DestroyNotify:
        destroyed(e.xdestroywindow.event, e.xdestroywindow.window);
        return;
    case ReparentNotify:
        reparented(e.xreparent.event, e.xreparent.window, e.xreparent.parent);
        return;
    case CreateNotify:
        created(e.xcreatewindow.parent, e.xcreatewindow.window);
        return;
    case ConfigureNotify:
        restacked(e.xconfigure.event);
        return;
    case CirculateNotify:
        restacked(e.xcirculate.event);
        return;
    default:
        return;
    }
}

void X11WindowSystem::Impl::rootPropertyChanged(Atom property)
{
    if (property == atoms.clientListStacking)
        stackDirty = windowsChanged = true;
    else if (property == atoms.activeWindow)
        activeDirty = true;
    else if (property == atoms.supportingCheck || property == atoms.supported)
        modeDirty = true;
}

void X11WindowSystem::Impl::clientPropertyChanged(Client &c, Atom property)
{
    if (property == atoms.netWmName || property == XA_WM_NAME) {
        markDirty(c);
        c.titleDirty = windowsChanged = true;
    } else if (property == atoms.wmState || property == atoms.netWmPid) {
        markDirty(c);
        c.stateDirty = true;
        if (property == atoms.wmState) {
            windowsChanged = true;
            // Without a manager's list, WM_STATE marks the client inside a frame.
            stackDirty = stackDirty || !ewmh;
        }
    }
}

void X11WindowSystem::Impl::mapChanged(XId event, XId w, bool mapped)
{
    if (event == root) {
        topMapped[w] = mapped;
        // Without a manager's list, any child of the root may be a new window.
        windowsChanged = windowsChanged || !ewmh;
        for (auto &[id, c] : clients) {
            if (c.frame == w) {
                updateVisibleLater(c);
                windowsChanged = true;
            }
        }
    }
    if (event == w) {
        auto it = clients.find(w);
        if (it != clients.end()) {
            it->second.mapped = mapped;
            updateVisibleLater(it->second);
            windowsChanged = true;
        }
    }
}

void X11WindowSystem::Impl::destroyed(XId event, XId w)
{
    if (event == root)
        rootChildLeft(w);
    if (event == w || event == root)
        remove(w);
}

void X11WindowSystem::Impl::reparented(XId event, XId w, XId parent)
{
    if (event == root) {
        rootChildLeft(w);
        // Windows handed back to the root: the manager may have gone.
        if (parent == root)
            modeDirty = true;
    }
    auto it = clients.find(w);
    if (it != clients.end()) {
        markDirty(it->second);
        it->second.frameDirty = true;
    }
}

void X11WindowSystem::Impl::rootChildLeft(XId w)
{
    topMapped.erase(w);
    childClient.erase(w);
    if (!ewmh)
        stackDirty = windowsChanged = true;
}

void X11WindowSystem::Impl::created(XId parent, XId w)
{
    if (parent != root)
        return;
    topMapped[w] = false;
    if (!ewmh)
        stackDirty = windowsChanged = true;
}

void X11WindowSystem::Impl::restacked(XId event)
{
    if (event == root && !ewmh)
        stackDirty = true;
}

// Catching up -------------------------------------------------------------------------------

void X11WindowSystem::Impl::catchUp()
{
    if (enumerating)
        return;
    for (int round = 0; round < 4; ++round) {
        applyDeferred();
        conn.processEventsMatching(&isWindowEvent);
        const bool roundTrips = modeDirty || stackDirty || !dirty.empty();
        if (modeDirty) {
            modeDirty = false;
            ewmh = props.managerKeepsStacking();
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

void X11WindowSystem::Impl::applyDeferred()
{
    const auto held = std::move(deferred);
    deferred.clear();
    for (const XEvent &e : held)
        apply(e);
}

void X11WindowSystem::Impl::refreshStacking()
{
    stacking.clear();
    for (auto &[id, c] : clients)
        c.listed = false;
    if (ewmh)
        stackFromManager();
    else
        stackFromTree();
}

void X11WindowSystem::Impl::addToStacking(XId w, XId frame)
{
    Client *c = track(w, frame);
    if (c && !c->listed) {
        c->listed = true;
        stacking.push_back(c);
    }
}

void X11WindowSystem::Impl::stackFromManager()
{
    const auto list = props.clientListStacking(); // bottom to top
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        addToStacking(*it, 0);
}

void X11WindowSystem::Impl::stackFromTree()
{
    const auto tops = props.topLevels(); // bottom to top
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        auto known = childClient.find(*it);
        const XId client = known != childClient.end() ? known->second : props.clientOf(*it);
        childClient[*it] = client;
        addToStacking(client, *it);
    }
}

void X11WindowSystem::Impl::refreshDirty()
{
    const auto pending = std::move(dirty);
    dirty.clear();
    for (XId w : pending) {
        auto it = clients.find(w);
        if (it == clients.end())
            continue;
        Client &c = it->second;
        if (c.titleDirty)
            c.info.title = props.title(w);
        if (c.stateDirty) {
            c.iconic = props.isIconic(w);
            c.pid = props.pid(w);
        }
        if (c.frameDirty)
            c.frame = props.topLevelOf(w);
        c.titleDirty = c.stateDirty = c.frameDirty = false;
        updateVisible(c);
    }
}

X11WindowSystem::X11WindowSystem(X11Connection &connection)
    : m_impl(std::make_unique<Impl>(connection))
{
    // StructureNotify too: Qt sends its answers to window-manager pings to the root window
    // with that mask, and typing waits for them.
    XSelectInput(connection.display(), connection.root(),
        PropertyChangeMask | SubstructureNotifyMask | StructureNotifyMask);
    // At once: a window that appears before our first request would go unheard.
    connection.flush();
    connection.addHandler([this](const XEvent &e) {
        if (!isWindowEvent(e))
            return;
        if (m_impl->enumerating) {
            // Applied once the enumeration ends; a scan then should look again.
            m_impl->deferred.push_back(e);
            m_impl->windowsChanged = true;
        } else {
            m_impl->apply(e);
        }
        if (m_impl->windowsChanged) {
            m_impl->windowsChanged = false;
            if (m_impl->onChange)
                m_impl->onChange();
        }
    });
}

X11WindowSystem::~X11WindowSystem() = default;

void X11WindowSystem::catchUp()
{
    m_impl->catchUp();
}

void X11WindowSystem::enumWindows(const std::function<bool(const WindowInfo &)> &visit)
{
    m_impl->catchUp();
    struct Guard
    {
        int &n;
        explicit Guard(int &count)
            : n(count)
        {
            ++n;
        }
        ~Guard() { --n; }
    } guard(m_impl->enumerating);
    for (const Impl::Client *c : m_impl->stacking) {
        if (!visit(c->info))
            return;
    }
}

bool X11WindowSystem::isWindowVisible(WindowHandle window)
{
    m_impl->catchUp();
    const XId w = windowOf(window);
    auto it = m_impl->clients.find(w);
    if (it != m_impl->clients.end())
        return it->second.info.handle == window && it->second.info.visible;
    if (m_impl->handleOf(w) != window)
        return false;
    return m_impl->props.mapState(w) == X11WindowProperties::MapState::Viewable
        || m_impl->props.isIconic(w);
}

WindowHandle X11WindowSystem::foregroundWindow()
{
    m_impl->catchUp();
    XId w = 0;
    if (m_impl->ewmh) {
        if (m_impl->activeDirty) {
            m_impl->activeDirty = false;
            m_impl->active = m_impl->props.managerActiveWindow();
        }
        w = m_impl->active;
    } else {
        if (const XId focus = m_impl->props.inputFocus()) {
            const XId top = m_impl->props.topLevelOf(focus);
            auto it = m_impl->childClient.find(top);
            w = it != m_impl->childClient.end() ? it->second : top;
        }
    }
    return w ? m_impl->handleOf(w) : 0;
}

void X11WindowSystem::setForegroundWindow(WindowHandle window)
{
    m_impl->catchUp();
    const XId w = windowOf(window);
    if (!w || m_impl->handleOf(w) != window)
        return; // the window it named is gone
    Display *dpy = m_impl->dpy;
    if (m_impl->ewmh) {
        XEvent e {};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = m_impl->atoms.activeWindow;
        e.xclient.format = 32;
        e.xclient.data.l[0] = 2; // a pager's request: managers honour it without a timestamp
        e.xclient.data.l[1] = CurrentTime;
        e.xclient.data.l[2] = 0;
        XSendEvent(dpy, m_impl->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else {
        auto it = m_impl->clients.find(w);
        const XId frame = it != m_impl->clients.end() && it->second.frame ? it->second.frame : w;
        XRaiseWindow(dpy, frame);
        XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
    }
    XFlush(dpy);
    // Keys typed next must reach the window, so wait for the manager to hand it the focus.
    const auto deadline = std::chrono::steady_clock::now() + m_impl->activationWait;
    // With a manager, also until it says so, so foregroundWindow() agrees at once.
    auto done = [&] {
        return m_impl->props.hasFocus(w)
            && (!m_impl->ewmh || m_impl->props.managerActiveWindow() == w);
    };
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    m_impl->activeDirty = true;
}

WindowHandle X11WindowSystem::findWindow(std::string_view title)
{
    m_impl->catchUp();
    for (const Impl::Client *c : m_impl->stacking) {
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
    auto it = m_impl->clients.find(w);
    const long pid = it != m_impl->clients.end() ? it->second.pid : m_impl->props.pid(w);
    return pid == long(getpid());
}

void X11WindowSystem::setOnWindowsChange(std::function<void()> changed)
{
    m_impl->onChange = std::move(changed);
}

void X11WindowSystem::setActivationWait(std::chrono::milliseconds wait)
{
    m_impl->activationWait = wait;
}

WindowHandle X11WindowSystem::handleOf(XId window)
{
    m_impl->catchUp();
    return m_impl->handleOf(window);
}

bool X11WindowSystem::usesManagerList()
{
    m_impl->catchUp();
    return m_impl->ewmh;
}

std::size_t X11WindowSystem::windowCount()
{
    m_impl->catchUp();
    return m_impl->stacking.size();
}

} // namespace quorvel::x11
