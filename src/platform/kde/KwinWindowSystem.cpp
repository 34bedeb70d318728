// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/kde/KwinWindowSystem.h"

#include "common/Error.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace quorvel::kde {

namespace {

constexpr const char *kObjectPath = "/org/quorvel/KWinWindows";
constexpr const char *kInterface = "org.quorvel.KWinWindows";
constexpr std::string_view kScriptPrefix = "kwin-windows.";
constexpr std::string_view kPluginPrefix = "quorvel-windows-";

// Plasma 6 renamed clients to windows; the script takes whichever names this KWin has.
constexpr std::string_view kReporter = R"js(
(function () {
    var service = "@SERVICE@", path = "@PATH@", iface = "@INTERFACE@";
    var ws = workspace;
    var six = typeof ws.windowList === "function";
    function active() { return six ? ws.activeWindow : ws.activeClient; }
    function send(method, args) {
        callDBus.apply(null, [service, path, iface, method].concat(args));
    }
    function report(w) {
        send("Window", [String(w.internalId), String(w.caption), String(w.resourceClass),
            !!w.minimized, w === active()]);
    }
    function watch(w) {
        if (!w || !(w.normalWindow || w.dialog))
            return;
        w.captionChanged.connect(function () { report(w); });
        if (w.minimizedChanged)
            w.minimizedChanged.connect(function () { report(w); });
        report(w);
    }
    (six ? ws.windowAdded : ws.clientAdded).connect(watch);
    (six ? ws.windowRemoved : ws.clientRemoved).connect(function (w) {
        send("Removed", [String(w.internalId)]);
    });
    (six ? ws.windowActivated : ws.clientActivated).connect(function (w) {
        send("Activated", [w ? String(w.internalId) : ""]);
    });
    if (!six && ws.clientMinimized) {
        ws.clientMinimized.connect(report);
        ws.clientUnminimized.connect(report);
    }
    var all = six ? ws.windowList() : ws.clientList();
    for (var i = 0; i < all.length; ++i)
        watch(all[i]);
    send("Ready", []);
})();
)js";

constexpr std::string_view kActivator = R"js(
(function () {
    var ws = workspace;
    var six = typeof ws.windowList === "function";
    var all = six ? ws.windowList() : ws.clientList();
    for (var i = 0; i < all.length; ++i) {
        if (String(all[i].internalId) !== "@ID@")
            continue;
        if (all[i].minimized)
            all[i].minimized = false;
        if (six)
            ws.activeWindow = all[i];
        else
            ws.activeClient = all[i];
    }
})();
)js";

std::string replaced(std::string text, const std::string &placeholder, const std::string &value)
{
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

// Only what KWin's ids and bus names are made of goes into a script's text.
bool plain(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || std::strchr("{}-:._/", c) != nullptr;
    });
}

bool sameTitle(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
        return lower(x) == lower(y);
    });
}

bool alive(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

struct KwinWindowSystem::Impl
{
    struct Window
    {
        WindowHandle handle = 0;
        std::string title, appId;
        bool minimized = false;
        std::uint64_t rank = 0; // when it was last active or appeared
    };

    std::map<std::string, Window> windows; // by KWin's internal id
    std::string activeId;
    std::string kwin; // KWin's unique name: only it may report
    WindowHandle nextHandle = 1;
    std::uint64_t clock = 0;
    bool ready = false;
    std::function<void()> titleChanged;
    dbus::Slot object;
    std::string activatorName; // the one-shot script still loaded, if any

    void activated(const std::string &id)
    {
        activeId = id;
        if (const auto it = windows.find(id); it != windows.end())
            it->second.rank = ++clock;
    }

    static Impl &of(void *data) { return *static_cast<Impl *>(data); }
    bool fromKwin(sd_bus_message *m) const
    {
        const char *sender = sd_bus_message_get_sender(m);
        return sender && kwin == sender;
    }

    static int onWindow(sd_bus_message *m, void *data, sd_bus_error *)
    {
        Impl &impl = of(data);
        const char *id = nullptr, *title = nullptr, *appId = nullptr;
        int minimized = 0, active = 0;
        if (!impl.fromKwin(m)
            || sd_bus_message_read(m, "sssbb", &id, &title, &appId, &minimized, &active) < 0)
            return sd_bus_reply_method_return(m, nullptr);
        auto [it, added] = impl.windows.try_emplace(id);
        Window &w = it->second;
        if (added) {
            w.handle = impl.nextHandle++;
            w.rank = ++impl.clock;
        }
        const bool newTitle = added || w.title != title;
        w.title = title;
        w.appId = appId;
        w.minimized = minimized != 0;
        if (active && impl.activeId != id)
            impl.activated(id);
        if (newTitle && impl.titleChanged)
            impl.titleChanged();
        return sd_bus_reply_method_return(m, nullptr);
    }
    static int onRemoved(sd_bus_message *m, void *data, sd_bus_error *)
    {
        Impl &impl = of(data);
        const char *id = nullptr;
        if (impl.fromKwin(m) && sd_bus_message_read(m, "s", &id) >= 0) {
            impl.windows.erase(id);
            if (impl.activeId == id)
                impl.activeId.clear();
        }
        return sd_bus_reply_method_return(m, nullptr);
    }
    static int onActivated(sd_bus_message *m, void *data, sd_bus_error *)
    {
        Impl &impl = of(data);
        const char *id = nullptr;
        if (impl.fromKwin(m) && sd_bus_message_read(m, "s", &id) >= 0)
            impl.activated(id);
        return sd_bus_reply_method_return(m, nullptr);
    }
    static int onReady(sd_bus_message *m, void *data, sd_bus_error *)
    {
        Impl &impl = of(data);
        if (impl.fromKwin(m))
            impl.ready = true;
        return sd_bus_reply_method_return(m, nullptr);
    }

    // The windows, topmost first.
    std::vector<const Window *> ordered() const
    {
        std::vector<const Window *> out;
        for (const auto &[id, w] : windows)
            out.push_back(&w);
        const Window *active = find(activeId);
        std::sort(out.begin(), out.end(), [active](const Window *a, const Window *b) {
            if ((a == active) != (b == active))
                return a == active;
            return a->rank > b->rank;
        });
        return out;
    }

    const Window *find(const std::string &id) const
    {
        const auto it = windows.find(id);
        return it == windows.end() ? nullptr : &it->second;
    }
    const std::string *idOf(WindowHandle handle) const
    {
        for (const auto &[id, w] : windows) {
            if (w.handle == handle)
                return &id;
        }
        return nullptr;
    }

    static constexpr sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Window", "sssbb", "", &onWindow, 0),
        SD_BUS_METHOD("Removed", "s", "", &onRemoved, 0),
        SD_BUS_METHOD("Activated", "s", "", &onActivated, 0),
        SD_BUS_METHOD("Ready", "", "", &onReady, 0),
        SD_BUS_VTABLE_END,
    };
};

KwinWindowSystem::KwinWindowSystem(std::string stateFolder)
    : m_bus(dbus::Bus::session())
    , m_impl(std::make_unique<Impl>())
    , m_stateFolder(std::move(stateFolder))
{
    if (m_stateFolder.empty())
        throw Error("There is no runtime folder (XDG_RUNTIME_DIR) for KWin's script.");
    {
        dbus::Message m = m_bus.methodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "GetNameOwner");
        dbus::check(sd_bus_message_append(m.get(), "s", "org.kde.KWin"), "GetNameOwner");
        dbus::Message reply;
        try {
            reply = m_bus.call(m);
        } catch (const Error &) {
            throw Error("KWin is not on the session bus (org.kde.KWin).");
        }
        const char *owner = nullptr;
        dbus::check(sd_bus_message_read(reply.get(), "s", &owner), "GetNameOwner");
        m_impl->kwin = owner;
    }
    sd_bus_slot *slot = nullptr;
    dbus::check(sd_bus_add_object_vtable(
                    m_bus.raw(), &slot, kObjectPath, kInterface, Impl::vtable, m_impl.get()),
        "Cannot offer KWin's script an object");
    m_impl->object.reset(slot);

    ::mkdir(m_stateFolder.c_str(), 0700);
    removeStaleScripts();
    const std::string pid = std::to_string(::getpid());
    const std::string text =
        replaced(replaced(replaced(std::string(kReporter), "@SERVICE@", m_bus.uniqueName()),
                     "@PATH@", kObjectPath),
            "@INTERFACE@", kInterface);
    loadScript(text, m_stateFolder + "/" + std::string(kScriptPrefix) + pid + ".js",
        std::string(kPluginPrefix) + pid);
    if (!m_bus.waitUntil([this] { return m_impl->ready; }, std::chrono::seconds(5)))
        throw Error("KWin's script did not report the windows.");
}

KwinWindowSystem::~KwinWindowSystem()
{
    const std::string pid = std::to_string(::getpid());
    try {
        if (!m_impl->activatorName.empty())
            unloadScript(m_impl->activatorName);
        unloadScript(std::string(kPluginPrefix) + pid);
    } catch (const Error &) {
        // KWin has gone, and its scripts with it.
    }
    std::remove((m_stateFolder + "/" + std::string(kScriptPrefix) + pid + ".js").c_str());
    std::remove(
        (m_stateFolder + "/" + std::string(kScriptPrefix) + "activate." + pid + ".js").c_str());
}

std::string KwinWindowSystem::defaultStateFolder()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime ? std::string(runtime) + "/quorvel" : std::string();
}

void KwinWindowSystem::loadScript(
    const std::string &text, const std::string &file, const std::string &name)
{
    {
        std::ofstream out(file, std::ios::trunc);
        out << text;
        if (!out.flush())
            throw Error("Cannot write KWin's script to " + file + ".");
    }
    // A script of this name is left over from a process of the same number.
    unloadScript(name);
    dbus::Message load =
        m_bus.methodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "loadScript");
    dbus::check(sd_bus_message_append(load.get(), "ss", file.c_str(), name.c_str()), "loadScript");
    const dbus::Message loaded = m_bus.call(load);
    std::int32_t id = -1;
    dbus::check(sd_bus_message_read(loaded.get(), "i", &id), "loadScript");
    if (id < 0)
        throw Error("KWin refused its script " + file + ".");
    // Plasma 5.27 puts the script at /ID, later versions under /Scripting.
    for (const std::string &path :
        { "/Scripting/Script" + std::to_string(id), "/" + std::to_string(id) }) {
        const dbus::Message run =
            m_bus.methodCall("org.kde.KWin", path.c_str(), "org.kde.kwin.Script", "run");
        try {
            m_bus.call(run);
            return;
        } catch (const Error &) {
        }
    }
    unloadScript(name);
    throw Error("KWin did not run its script " + file + ".");
}

void KwinWindowSystem::unloadScript(const std::string &name)
{
    dbus::Message m =
        m_bus.methodCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript");
    dbus::check(sd_bus_message_append(m.get(), "s", name.c_str()), "unloadScript");
    m_bus.call(m);
}

void KwinWindowSystem::removeStaleScripts()
{
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(m_stateFolder, error)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(kScriptPrefix, 0) != 0)
            continue;
        std::string rest = file.substr(kScriptPrefix.size());
        const bool activator = rest.rfind("activate.", 0) == 0;
        if (activator)
            rest.erase(0, std::strlen("activate."));
        const auto pid = static_cast<pid_t>(std::atol(rest.c_str()));
        if (pid <= 0 || alive(pid))
            continue;
        // A Quorvel that died left its script running in KWin.
        unloadScript(
            std::string(kPluginPrefix) + (activator ? "activate-" : "") + std::to_string(pid));
        std::remove(entry.path().c_str());
    }
}

void KwinWindowSystem::processEvents()
{
    m_bus.processEvents();
}

void KwinWindowSystem::setOnTitleChange(std::function<void()> changed)
{
    m_impl->titleChanged = std::move(changed);
}

void KwinWindowSystem::enumWindows(const std::function<bool(const WindowInfo &)> &visit)
{
    processEvents();
    for (const Impl::Window *w : m_impl->ordered()) {
        if (!visit(WindowInfo { w->handle, w->title, true }))
            return;
    }
}

bool KwinWindowSystem::isWindowVisible(WindowHandle window)
{
    processEvents();
    return m_impl->idOf(window) != nullptr;
}

WindowHandle KwinWindowSystem::foregroundWindow()
{
    processEvents();
    const Impl::Window *w = m_impl->find(m_impl->activeId);
    return w ? w->handle : 0;
}

std::string KwinWindowSystem::focusedAppId()
{
    processEvents();
    const Impl::Window *w = m_impl->find(m_impl->activeId);
    return w ? w->appId : std::string();
}

void KwinWindowSystem::setForegroundWindow(WindowHandle window)
{
    processEvents();
    const std::string *found = m_impl->idOf(window);
    if (!found || *found == m_impl->activeId || !plain(*found))
        return;
    const std::string id = *found;
    const std::string pid = std::to_string(::getpid());
    // The last activation's script has long run; it goes before this one comes.
    m_impl->activatorName = std::string(kPluginPrefix) + "activate-" + pid;
    try {
        loadScript(replaced(std::string(kActivator), "@ID@", id),
            m_stateFolder + "/" + std::string(kScriptPrefix) + "activate." + pid + ".js",
            m_impl->activatorName);
        m_bus.waitUntil(
            [&] { return m_impl->activeId == id || !m_impl->find(id); }, m_activationWait);
    } catch (const Error &) {
        // As SetForegroundWindow's, a refused activation is not reported.
    }
}

WindowHandle KwinWindowSystem::findWindow(std::string_view title)
{
    processEvents();
    for (const Impl::Window *w : m_impl->ordered()) {
        if (sameTitle(w->title, title))
            return w->handle;
    }
    return 0;
}

} // namespace quorvel::kde
