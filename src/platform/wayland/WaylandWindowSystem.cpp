// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandWindowSystem.h"

#include "common/Error.h"
#include "platform/wayland/WaylandConnection.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <algorithm>
#include <list>
#include <thread>
#include <wayland-client.h>

namespace quorvel::wayland {

namespace {

bool sameTitle(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
        return lower(x) == lower(y);
    });
}

} // namespace

struct WaylandWindowSystem::Impl
{
    struct Toplevel
    {
        Impl *owner = nullptr;
        zwlr_foreign_toplevel_handle_v1 *handle = nullptr;
        WindowHandle id = 0;
        std::string title, pendingTitle;
        bool activated = false;
        bool pendingActivated = false;
        bool announced = false; // its first done has come
        std::uint64_t rank = 0; // when it was last active or appeared
    };

    zwlr_foreign_toplevel_manager_v1 *manager = nullptr;
    std::list<Toplevel> toplevels; // stable addresses: the listeners hold them
    WindowHandle nextId = 1;
    std::uint64_t clock = 0;
    std::function<void()> titleChanged;

    static void onToplevel(
        void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        auto *impl = static_cast<Impl *>(data);
        Toplevel &t = impl->toplevels.emplace_back();
        t.owner = impl;
        t.handle = handle;
        t.id = impl->nextId++;
        t.rank = ++impl->clock;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, &t);
    }
    static void onFinished(void *data, zwlr_foreign_toplevel_manager_v1 *manager)
    {
        static_cast<Impl *>(data)->manager = nullptr;
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
    }

    static void onTitle(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *title)
    {
        static_cast<Toplevel *>(data)->pendingTitle = title;
    }
    static void onAppId(void *, zwlr_foreign_toplevel_handle_v1 *, const char *) { }
    static void onOutput(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) { }
    static void onState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states)
    {
        auto *t = static_cast<Toplevel *>(data);
        // Minimized windows count as shown, so only the active state matters.
        t->pendingActivated = false;
        const auto *begin = static_cast<const std::uint32_t *>(states->data);
        for (const std::uint32_t *s = begin; s < begin + states->size / sizeof *s; ++s) {
            if (*s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                t->pendingActivated = true;
        }
    }
    static void onParent(
        void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *)
    {
    }
    static void onDone(void *data, zwlr_foreign_toplevel_handle_v1 *)
    {
        auto *t = static_cast<Toplevel *>(data);
        const bool newTitle = !t->announced || t->title != t->pendingTitle;
        t->title = t->pendingTitle;
        if (t->pendingActivated && !t->activated)
            t->rank = ++t->owner->clock;
        t->activated = t->pendingActivated;
        t->announced = true;
        if (newTitle && t->owner->titleChanged)
            t->owner->titleChanged();
    }
    static void onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
    {
        auto *t = static_cast<Toplevel *>(data);
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        t->owner->toplevels.remove_if([t](const Toplevel &x) { return &x == t; });
    }

    static constexpr zwlr_foreign_toplevel_manager_v1_listener managerListener = {
        .toplevel = &onToplevel,
        .finished = &onFinished,
    };
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handleListener = {
        .title = &onTitle,
        .app_id = &onAppId,
        .output_enter = &onOutput,
        .output_leave = &onOutput,
        .state = &onState,
        .done = &onDone,
        .closed = &onClosed,
        .parent = &onParent,
    };

    // The announced windows, topmost first.
    std::vector<const Toplevel *> ordered() const
    {
        std::vector<const Toplevel *> out;
        for (const Toplevel &t : toplevels) {
            if (t.announced)
                out.push_back(&t);
        }
        std::stable_sort(out.begin(), out.end(), [](const Toplevel *a, const Toplevel *b) {
            if (a->activated != b->activated)
                return a->activated;
            return a->rank > b->rank;
        });
        return out;
    }

    const Toplevel *find(WindowHandle id) const
    {
        for (const Toplevel &t : toplevels) {
            if (t.id == id && t.announced)
                return &t;
        }
        return nullptr;
    }
};

WaylandWindowSystem::WaylandWindowSystem(WaylandConnection &connection)
    : m_connection(connection)
    , m_impl(std::make_unique<Impl>())
{
    m_impl->manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
        connection.bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
    if (!m_impl->manager)
        throw Error("The compositor does not list its windows (zwlr_foreign_toplevel_manager_v1).");
    zwlr_foreign_toplevel_manager_v1_add_listener(
        m_impl->manager, &Impl::managerListener, m_impl.get());
    // The windows already open are announced at once.
    connection.roundtrip();
}

WaylandWindowSystem::~WaylandWindowSystem()
{
    for (const Impl::Toplevel &t : m_impl->toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
    if (m_impl->manager) {
        // Not waiting for its finished event: the proxy goes at once.
        zwlr_foreign_toplevel_manager_v1_stop(m_impl->manager);
        zwlr_foreign_toplevel_manager_v1_destroy(m_impl->manager);
    }
    wl_display_flush(m_connection.display());
}

void WaylandWindowSystem::enumWindows(const std::function<bool(const WindowInfo &)> &visit)
{
    m_connection.processEvents();
    for (const Impl::Toplevel *t : m_impl->ordered()) {
        if (!visit(WindowInfo { t->id, t->title, true }))
            return;
    }
}

void WaylandWindowSystem::setOnTitleChange(std::function<void()> changed)
{
    m_impl->titleChanged = std::move(changed);
}

bool WaylandWindowSystem::isWindowVisible(WindowHandle window)
{
    m_connection.processEvents();
    // The compositor lists mapped windows only; minimized ones count as shown.
    return m_impl->find(window) != nullptr;
}

WindowHandle WaylandWindowSystem::foregroundWindow()
{
    m_connection.processEvents();
    for (const Impl::Toplevel &t : m_impl->toplevels) {
        if (t.announced && t.activated)
            return t.id;
    }
    return 0;
}

void WaylandWindowSystem::setForegroundWindow(WindowHandle window)
{
    m_connection.processEvents();
    const Impl::Toplevel *t = m_impl->find(window);
    if (!t || !m_connection.seat())
        return;
    zwlr_foreign_toplevel_handle_v1_activate(t->handle, m_connection.seat());
    const auto deadline = std::chrono::steady_clock::now() + m_activationWait;
    for (;;) {
        m_connection.roundtrip();
        t = m_impl->find(window);
        if (!t || t->activated || std::chrono::steady_clock::now() > deadline)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

WindowHandle WaylandWindowSystem::findWindow(std::string_view title)
{
    m_connection.processEvents();
    for (const Impl::Toplevel *t : m_impl->ordered()) {
        if (sameTitle(t->title, title))
            return t->id;
    }
    return 0;
}

} // namespace quorvel::wayland
