// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyRegistrar.h"
#include "platform/dbus/Bus.h"
#include "platform/portal/ShortcutKeys.h"

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::portal {

// Global hot keys through the GlobalShortcuts portal: one session holds every registration,
// made again whenever the set changes. A combination the desktop refuses is refused; so is one
// KDE binds to another key.
//
// KDE Plasma stores a session's shortcuts under its token name in the user's shortcut
// settings; the token stays the same from one start to the next, so nothing piles up there, and
// what a dead process left is cleaned at the next start.
//
// GNOME (48 and later) knows a caller by the app id it registers with the portal, which needs
// the desktop entry of that name; it shows its own dialog for the shortcuts it has not seen
// from that app before, and keeps the person's answer, whose keys the person may change there
// or in Settings. Registering waits for that answer.
class GlobalShortcutsRegistrar final : public HotKeyRegistrar
{
public:
    enum class Desktop {
        Kde,
        Gnome,
    };

    // On KDE, stateFolder holds the lock that tells a second running Quorvel to take a token
    // of its own; on GNOME, appId is the app id to register. Throws Error when the portal
    // offers no global shortcuts, or does not take the app id.
    explicit GlobalShortcutsRegistrar(const std::string &stateFolder,
        Desktop desktop = Desktop::Kde, const std::string &appId = {});
    ~GlobalShortcutsRegistrar() override;
    GlobalShortcutsRegistrar(const GlobalShortcutsRegistrar &) = delete;
    GlobalShortcutsRegistrar &operator=(const GlobalShortcutsRegistrar &) = delete;

    int registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress) override;
    std::vector<int> registerHotKeys(
        const std::vector<HotKeyCombination> &keys, const HotKeyPress &onPress) override;
    void unregisterHotKey(int id) override;
    void giveBackNow() override;
    bool heldElsewhere(unsigned modifiers, KeyCode key) override;
    // The compositor runs a global shortcut before any client sees its keys.
    bool grabsSeeRegisteredKeys() const override { return false; }

    // The name the shortcuts are stored under in the user's shortcut settings (Plasma 6 puts
    // "token_" before it).
    const std::string &componentName() const { return m_token; }

    // The presses arrive here; processEvents runs the hot keys pressed and gives back to the
    // desktop the keys unregistered since.
    int fileDescriptor() const { return m_bus.fileDescriptor(); }
    void processEvents();
    // Told true when the desktop says one of ours is pressed, false when it is let go; from
    // inside processEvents.
    void setOnShortcutHeld(std::function<void(bool held)> onHeld) { m_onHeld = std::move(onHeld); }

private:
    struct Registration
    {
        PortalShortcut shortcut;
        unsigned modifiers = 0;
        KeyCode key = 0;
        HotKeyPress onPress;
    };
    struct Holder
    {
        std::string component, action;
    };

    void registerAppId(const std::string &appId);
    void bindAll();
    // Whether the desktop bound the shortcut to its own combination, where that counts.
    bool boundAsAsked(const PortalShortcut &shortcut);
    void closeSession();
    // Who holds a combination in KDE's shortcut daemon; throws Error when it cannot be asked.
    std::vector<Holder> holders(int qtKey);
    bool ours(int qtKey) const;
    // Whether the open session binds other keys than those registered.
    bool stale() const;
    bool ourComponent(std::string_view component) const;
    void cleanStaleComponents(bool primary);
    // Takes out of KDE's shortcut daemon the component's shortcuts not in keep, and the
    // component once none is left; the portal leaves them there.
    void forgetShortcuts(const std::string &component, const std::vector<std::string> &keep);

    bool kde() const { return m_desktop == Desktop::Kde; }

    dbus::Bus m_bus;
    Desktop m_desktop;
    unsigned m_version = 0;
    int m_lock = -1;
    std::string m_token;
    std::string m_session; // the open session's handle, empty when none
    std::map<std::string, std::string> m_assigned; // trigger text by action, from the portal
    std::map<int, Registration> m_registrations;
    std::set<std::string> m_inSession; // the triggers the open session binds
    bool m_refused = false; // the open session holds a refused shortcut
    bool m_broken = false; // the last try to make the session failed
    int m_nextId = 1;
    dbus::Slot m_activated;
    dbus::Slot m_deactivated;
    std::function<void(bool)> m_onHeld;
    std::deque<std::string> m_pressed; // actions, in the order pressed
};

} // namespace quorvel::portal
