// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/GlobalShortcuts.h"

#include "common/Error.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace quorvel::portal {

namespace {

using namespace std::chrono_literals;

constexpr const char *kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char *kAccel = "org.kde.kglobalaccel";
constexpr std::string_view kTokenPrefix = "quorvel";
// Plasma 6 names a component of a caller without an app id "token_" and the session's token,
// Plasma 5 by the token alone.
constexpr std::string_view kPlasma6Prefix = "token_";
constexpr auto kPortalWait = 10s;
// GNOME's dialog waits for the person.
constexpr auto kUserAnswer = 5min;

// Hands each key of the a{sv} the message is at to onEntry, which reads its variant and
// returns true, or returns false to have it skipped.
void forEachEntry(sd_bus_message *m, const std::function<bool(std::string_view key)> &onEntry)
{
    dbus::check(sd_bus_message_enter_container(m, 'a', "{sv}"), "The desktop portal's answer");
    while (dbus::check(sd_bus_message_enter_container(m, 'e', "sv"), "The desktop portal's answer")
        > 0) {
        const char *key = nullptr;
        dbus::check(sd_bus_message_read(m, "s", &key), "The desktop portal's answer");
        if (!onEntry(key))
            dbus::check(sd_bus_message_skip(m, "v"), "The desktop portal's answer");
        dbus::check(sd_bus_message_exit_container(m), "The desktop portal's answer");
    }
    dbus::check(sd_bus_message_exit_container(m), "The desktop portal's answer");
}

// A variant holding a string or an object path.
std::string readStringVariant(sd_bus_message *m)
{
    char type = 0;
    const char *contents = nullptr;
    dbus::check(sd_bus_message_peek_type(m, &type, &contents), "The desktop portal's answer");
    if (!contents || (std::string_view(contents) != "s" && std::string_view(contents) != "o")) {
        dbus::check(sd_bus_message_skip(m, "v"), "The desktop portal's answer");
        return {};
    }
    const char *value = nullptr;
    dbus::check(sd_bus_message_read(m, "v", contents, &value), "The desktop portal's answer");
    return value;
}

// The trigger texts of the a(sa{sv}) in a variant, by shortcut name.
void readAssigned(sd_bus_message *m, std::map<std::string, std::string> &assigned)
{
    const char *what = "The desktop portal's shortcuts";
    dbus::check(sd_bus_message_enter_container(m, 'v', "a(sa{sv})"), what);
    dbus::check(sd_bus_message_enter_container(m, 'a', "(sa{sv})"), what);
    while (dbus::check(sd_bus_message_enter_container(m, 'r', "sa{sv}"), what) > 0) {
        const char *name = nullptr;
        dbus::check(sd_bus_message_read(m, "s", &name), what);
        std::string &trigger = assigned[name];
        forEachEntry(m, [&](std::string_view key) {
            if (key != "trigger_description")
                return false;
            trigger = readStringVariant(m);
            return true;
        });
        dbus::check(sd_bus_message_exit_container(m), what);
    }
    dbus::check(sd_bus_message_exit_container(m), what);
    dbus::check(sd_bus_message_exit_container(m), what);
}

void appendString(sd_bus_message *m, const char *key, const std::string &value)
{
    dbus::check(sd_bus_message_append(m, "{sv}", key, "s", value.c_str()), "GlobalShortcuts");
}

bool alive(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// "Ctrl+Alt+G" for the user's shortcut settings, where the shortcut is listed by it.
std::string description(const PortalShortcut &s)
{
    std::string text;
    std::string_view rest = s.trigger;
    for (std::size_t plus; (plus = rest.find('+')) != std::string_view::npos;) {
        const std::string_view modifier = rest.substr(0, plus);
        text += modifier == "CTRL" ? "Ctrl+" : modifier == "ALT" ? "Alt+" : "Shift+";
        rest.remove_prefix(plus + 1);
    }
    std::string key(rest);
    if (key.size() == 1)
        key[0] = char(std::toupper(static_cast<unsigned char>(key[0])));
    return "Quorvel hot key " + text + key;
}

} // namespace

GlobalShortcutsRegistrar::GlobalShortcutsRegistrar(
    const std::string &stateFolder, Desktop desktop, const std::string &appId)
    : m_bus(dbus::Bus::session())
    , m_desktop(desktop)
{
    m_version = dbus::portalVersion(m_bus, kShortcuts);
    if (m_version == 0)
        throw Error(
            "The desktop portal offers no global shortcuts (" + std::string(kShortcuts) + ").");
    if (!kde())
        registerAppId(appId);
    // The first running Quorvel takes the lasting token; a second one a token of its own, so
    // that it neither takes the first one's keys nor leaves them unbound when it ends.
    if (kde() && !stateFolder.empty()) {
        ::mkdir(stateFolder.c_str(), 0700);
        m_lock = ::open(
            (stateFolder + "/kde-shortcuts.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_lock >= 0 && ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_lock);
            m_lock = -1;
        }
    }
    const bool primary = !kde() || m_lock >= 0;
    m_token = primary ? std::string(kTokenPrefix)
                      : std::string(kTokenPrefix) + "_" + std::to_string(::getpid());
    m_activated = m_bus.matchSignal(
        "type='signal',interface='org.freedesktop.portal.GlobalShortcuts',member='Activated'",
        [this](sd_bus_message *signal) {
            const char *session = nullptr, *action = nullptr;
            if (sd_bus_message_read(signal, "os", &session, &action) >= 0 && !m_session.empty()
                && m_session == session) {
                m_pressed.emplace_back(action);
                if (m_onHeld)
                    m_onHeld(true);
            }
        });
    m_deactivated = m_bus.matchSignal(
        "type='signal',interface='org.freedesktop.portal.GlobalShortcuts',member='Deactivated'",
        [this](sd_bus_message *signal) {
            const char *session = nullptr;
            if (sd_bus_message_read(signal, "o", &session) >= 0 && !m_session.empty()
                && m_session == session && m_onHeld)
                m_onHeld(false);
        });
    if (kde())
        cleanStaleComponents(primary);
}

GlobalShortcutsRegistrar::~GlobalShortcutsRegistrar()
{
    // Our shortcuts leave the user's settings with us.
    m_registrations.clear();
    try {
        if (!m_session.empty() || stale())
            bindAll();
    } catch (const Error &) {
    }
    if (m_lock >= 0)
        ::close(m_lock);
}

void GlobalShortcutsRegistrar::cleanStaleComponents(bool primary)
{
    // A component of ours whose process has ended holds shortcuts no session uses.
    std::vector<std::string> stale;
    try {
        const dbus::Message reply = m_bus.call(
            m_bus.methodCall(kAccel, "/kglobalaccel", "org.kde.KGlobalAccel", "allComponents"));
        dbus::check(sd_bus_message_enter_container(reply.get(), 'a', "o"), "allComponents");
        for (const char *path = nullptr;
             dbus::check(sd_bus_message_read(reply.get(), "o", &path), "allComponents") > 0;) {
            std::string_view p(path);
            p.remove_prefix(std::min(p.size(), std::strlen("/component/")));
            const std::string_view name = p;
            if (p.rfind(kPlasma6Prefix, 0) == 0)
                p.remove_prefix(kPlasma6Prefix.size());
            if (p.rfind(kTokenPrefix, 0) != 0)
                continue;
            const std::string_view rest = p.substr(kTokenPrefix.size());
            if (rest.empty() ? primary
                             : rest[0] == '_'
                        && !alive(
                            static_cast<pid_t>(std::atol(std::string(rest.substr(1)).c_str()))))
                stale.emplace_back(name);
        }
    } catch (const Error &) {
        return; // not KDE's daemon: nothing of ours to clean
    }
    for (const auto &component : stale)
        forgetShortcuts(component, {});
}

void GlobalShortcutsRegistrar::forgetShortcuts(
    const std::string &component, const std::vector<std::string> &keep)
{
    const std::string path = "/component/" + component;
    std::vector<std::string> names;
    try {
        const dbus::Message reply = m_bus.call(m_bus.methodCall(
            kAccel, path.c_str(), "org.kde.kglobalaccel.Component", "shortcutNames"));
        dbus::check(sd_bus_message_enter_container(reply.get(), 'a', "s"), "shortcutNames");
        for (const char *name = nullptr;
             dbus::check(sd_bus_message_read(reply.get(), "s", &name), "shortcutNames") > 0;)
            names.emplace_back(name);
    } catch (const Error &) {
        return; // no such component
    }
    for (const auto &name : names) {
        if (std::find(keep.begin(), keep.end(), name) != keep.end())
            continue;
        dbus::Message m =
            m_bus.methodCall(kAccel, "/kglobalaccel", "org.kde.KGlobalAccel", "unRegister");
        dbus::check(sd_bus_message_append(m.get(), "as", 4, component.c_str(), name.c_str(),
                        component.c_str(), name.c_str()),
            "unRegister");
        try {
            m_bus.call(m);
        } catch (const Error &) {
        }
    }
    if (keep.empty()) {
        try {
            m_bus.call(m_bus.methodCall(
                kAccel, path.c_str(), "org.kde.kglobalaccel.Component", "cleanUp"));
        } catch (const Error &) {
        }
    }
}

std::vector<GlobalShortcutsRegistrar::Holder> GlobalShortcutsRegistrar::holders(int qtKey)
{
    dbus::Message m = m_bus.methodCall(
        kAccel, "/kglobalaccel", "org.kde.KGlobalAccel", "getGlobalShortcutsByKey");
    dbus::check(sd_bus_message_append(m.get(), "i", qtKey), "getGlobalShortcutsByKey");
    const dbus::Message reply = m_bus.call(m, 5s);
    std::vector<Holder> out;
    sd_bus_message *r = reply.get();
    const char *what = "KDE's shortcut daemon's answer";
    // KDE Frameworks 6 changed the keys' type: the names before them are read, the rest
    // skipped.
    const auto enter = [&](char type) {
        char found = 0;
        const char *contents = nullptr;
        if (dbus::check(sd_bus_message_peek_type(r, &found, &contents), what) == 0)
            return false;
        return dbus::check(sd_bus_message_enter_container(r, type, contents), what) > 0;
    };
    if (!enter('a'))
        return out;
    while (enter('r')) {
        const char *action = nullptr, *friendly = nullptr, *component = nullptr;
        dbus::check(sd_bus_message_read(r, "sss", &action, &friendly, &component), what);
        out.push_back({ component, action });
        while (dbus::check(sd_bus_message_at_end(r, 0), what) == 0)
            dbus::check(sd_bus_message_skip(r, nullptr), what);
        dbus::check(sd_bus_message_exit_container(r), what);
    }
    return out;
}

void GlobalShortcutsRegistrar::registerAppId(const std::string &appId)
{
    // Before any other call to the portal on this connection.
    dbus::Message m = m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath,
        "org.freedesktop.host.portal.Registry", "Register");
    dbus::check(sd_bus_message_append(m.get(), "sa{sv}", appId.c_str(), 0), "Register");
    try {
        m_bus.call(m, kPortalWait);
    } catch (const Error &e) {
        throw Error("The desktop portal does not take the app id " + appId
            + " (it needs xdg-desktop-portal 1.19 or later and the desktop entry " + appId
            + ".desktop): " + e.what());
    }
}

bool GlobalShortcutsRegistrar::boundAsAsked(const PortalShortcut &shortcut)
{
    // The key the person chose in GNOME's dialog or its Settings is theirs to choose.
    if (!kde())
        return true;
    // KDE's text is translated; its daemon says which key it really bound.
    try {
        const auto held = holders(shortcut.qtKey);
        return std::any_of(held.begin(), held.end(), [&](const Holder &h) {
            return ourComponent(h.component) && h.action == shortcut.trigger;
        });
    } catch (const Error &) {
        return true;
    }
}

bool GlobalShortcutsRegistrar::ours(int qtKey) const
{
    return std::any_of(m_registrations.begin(), m_registrations.end(),
        [&](const auto &entry) { return entry.second.shortcut.qtKey == qtKey; });
}

void GlobalShortcutsRegistrar::closeSession()
{
    if (m_session.empty())
        return;
    const std::string session = std::move(m_session);
    m_session.clear();
    try {
        m_bus.call(m_bus.methodCall(
            dbus::kPortalService, session.c_str(), "org.freedesktop.portal.Session", "Close"));
    } catch (const Error &) {
        // Already closed by the portal.
    }
}

void GlobalShortcutsRegistrar::bindAll()
{
    closeSession();
    m_inSession.clear();
    m_refused = false;
    m_assigned.clear();
    if (m_registrations.empty()) {
        if (kde())
            for (const auto &component : { m_token, std::string(kPlasma6Prefix) + m_token })
                forgetShortcuts(component, {});
        return;
    }
    const auto appendShortcuts = [this](sd_bus_message *m) {
        const char *what = "GlobalShortcuts";
        dbus::check(sd_bus_message_open_container(m, 'a', "(sa{sv})"), what);
        for (const auto &[id, r] : m_registrations) {
            dbus::check(sd_bus_message_open_container(m, 'r', "sa{sv}"), what);
            dbus::check(sd_bus_message_append(m, "s", r.shortcut.trigger.c_str()), what);
            dbus::check(sd_bus_message_open_container(m, 'a', "{sv}"), what);
            appendString(m, "description", description(r.shortcut));
            appendString(m, "preferred_trigger", r.shortcut.trigger);
            dbus::check(sd_bus_message_close_container(m), what);
            dbus::check(sd_bus_message_close_container(m), what);
        }
        dbus::check(sd_bus_message_close_container(m), what);
    };
    const auto readResults = [this](const dbus::PortalRequest::Outcome &outcome) {
        bool shortcuts = false;
        forEachEntry(outcome.results.get(), [&](std::string_view key) {
            if (key == "session_handle") {
                m_session = readStringVariant(outcome.results.get());
                return true;
            }
            if (key == "shortcuts") {
                readAssigned(outcome.results.get(), m_assigned);
                shortcuts = true;
                return true;
            }
            return false;
        });
        // GNOME 48 answers a binding that worked with a response it never set; the shortcuts
        // it sends only then tell.
        if (outcome.response != 0 && (kde() || !shortcuts))
            throw Error("The desktop portal refused the global shortcuts.");
    };

    {
        dbus::PortalRequest request(m_bus);
        dbus::Message create =
            m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath, kShortcuts, "CreateSession");
        sd_bus_message *m = create.get();
        dbus::check(sd_bus_message_open_container(m, 'a', "{sv}"), "CreateSession");
        appendString(m, "handle_token", request.token());
        appendString(m, "session_handle_token", m_token);
        if (kde() && m_version < 2) {
            // Version 1 (Plasma 5.27) binds only what CreateSession is given.
            dbus::check(sd_bus_message_open_container(m, 'e', "sv"), "CreateSession");
            dbus::check(sd_bus_message_append(m, "s", "shortcuts"), "CreateSession");
            dbus::check(sd_bus_message_open_container(m, 'v', "a(sa{sv})"), "CreateSession");
            appendShortcuts(m);
            dbus::check(sd_bus_message_close_container(m), "CreateSession");
            dbus::check(sd_bus_message_close_container(m), "CreateSession");
        }
        dbus::check(sd_bus_message_close_container(m), "CreateSession");
        readResults(request.run(create, kPortalWait));
    }
    if (m_session.empty())
        throw Error("The desktop portal opened no shortcut session.");
    // Plasma 6 before its portal's version 2 takes the list only through BindShortcuts.
    const bool ignored = std::any_of(m_registrations.begin(), m_registrations.end(),
        [&](const auto &entry) { return m_assigned.count(entry.second.shortcut.trigger) == 0; });
    if (m_version >= 2 || ignored) {
        m_assigned.clear();
        dbus::PortalRequest request(m_bus);
        dbus::Message bind =
            m_bus.methodCall(dbus::kPortalService, dbus::kPortalPath, kShortcuts, "BindShortcuts");
        sd_bus_message *m = bind.get();
        dbus::check(sd_bus_message_append(m, "o", m_session.c_str()), "BindShortcuts");
        appendShortcuts(m);
        dbus::check(sd_bus_message_append(m, "s", ""), "BindShortcuts");
        dbus::check(sd_bus_message_open_container(m, 'a', "{sv}"), "BindShortcuts");
        appendString(m, "handle_token", request.token());
        dbus::check(sd_bus_message_close_container(m), "BindShortcuts");
        const std::string session = m_session;
        readResults(kde() ? request.run(bind, kPortalWait) : request.run(bind, kUserAnswer, true));
        m_session = session;
    }
    std::vector<std::string> keep;
    for (const auto &[id, r] : m_registrations) {
        keep.push_back(r.shortcut.trigger);
        m_inSession.insert(r.shortcut.trigger);
    }
    if (kde())
        for (const auto &component : { m_token, std::string(kPlasma6Prefix) + m_token })
            forgetShortcuts(component, keep);
}

bool GlobalShortcutsRegistrar::stale() const
{
    if (m_refused || m_inSession.size() != m_registrations.size())
        return true;
    return std::any_of(m_registrations.begin(), m_registrations.end(),
        [&](const auto &entry) { return m_inSession.count(entry.second.shortcut.trigger) == 0; });
}

bool GlobalShortcutsRegistrar::ourComponent(std::string_view component) const
{
    return component == m_token
        || (component.rfind(kPlasma6Prefix, 0) == 0
            && component.substr(kPlasma6Prefix.size()) == m_token);
}

int GlobalShortcutsRegistrar::registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress)
{
    return registerHotKeys({ { modifiers, key } }, onPress).front();
}

std::vector<int> GlobalShortcutsRegistrar::registerHotKeys(
    const std::vector<HotKeyCombination> &keys, const HotKeyPress &onPress)
{
    std::vector<int> ids(keys.size(), 0);
    std::vector<std::size_t> added; // those the session must be made again for
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto [modifiers, key] = keys[i];
        const auto shortcut = portalShortcutOf(modifiers, key);
        if (!shortcut || ours(shortcut->qtKey))
            continue;
        m_broken = false;
        // A key unregistered and registered again, as a rebinding of every key does, is still
        // bound in the open session.
        const bool inSession = m_inSession.count(shortcut->trigger) > 0;
        if (!inSession && heldElsewhere(modifiers, key))
            continue;
        ids[i] = m_nextId++;
        m_registrations.emplace(ids[i], Registration { *shortcut, modifiers, key, onPress });
        if (!inSession)
            added.push_back(i);
    }
    if (added.empty())
        return ids;
    bool made = false;
    try {
        bindAll();
        made = true;
    } catch (const Error &) {
    }
    for (const std::size_t i : added) {
        const PortalShortcut shortcut = m_registrations.at(ids[i]).shortcut;
        const auto it = m_assigned.find(shortcut.trigger);
        bool bound = made && it != m_assigned.end() && !it->second.empty();
        if (bound)
            bound = boundAsAsked(shortcut);
        if (!bound) {
            // The session holds it without a key: the next processEvents makes one without it.
            m_registrations.erase(ids[i]);
            m_inSession.erase(shortcut.trigger);
            m_refused = true;
            ids[i] = 0;
        }
    }
    return ids;
}

void GlobalShortcutsRegistrar::unregisterHotKey(int id)
{
    // Given back at the next processEvents, or with the next registration: a rebinding of
    // every key makes one session at most, not one a key.
    if (m_registrations.erase(id) > 0)
        m_broken = false;
}

bool GlobalShortcutsRegistrar::heldElsewhere(unsigned modifiers, KeyCode key)
{
    const auto shortcut = portalShortcutOf(modifiers, key);
    // GNOME tells no caller who holds a combination.
    if (!shortcut || !kde() || ours(shortcut->qtKey))
        return false;
    try {
        const auto held = holders(shortcut->qtKey);
        return std::any_of(
            held.begin(), held.end(), [&](const Holder &h) { return !ourComponent(h.component); });
    } catch (const Error &) {
        return false;
    }
}

void GlobalShortcutsRegistrar::giveBackNow()
{
    try {
        if (!m_broken && stale())
            bindAll();
    } catch (const Error &) {
        m_broken = true;
    }
}

void GlobalShortcutsRegistrar::processEvents()
{
    try {
        m_bus.processEvents();
        if (!m_broken && stale())
            bindAll();
    } catch (const Error &) {
        // The portal has gone: the presses still queued are run, and no more tries are made
        // until the keys change.
        m_broken = true;
    }
    while (!m_pressed.empty()) {
        const std::string action = std::move(m_pressed.front());
        m_pressed.pop_front();
        for (const auto &[id, r] : m_registrations) {
            if (r.shortcut.trigger != action)
                continue;
            // The handler may unregister this very key.
            const auto onPress = r.onPress;
            const unsigned modifiers = r.modifiers;
            const KeyCode key = r.key;
            if (onPress)
                onPress(modifiers, key);
            break;
        }
    }
}

} // namespace quorvel::portal
