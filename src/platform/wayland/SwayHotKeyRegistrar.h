// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyRegistrar.h"
#include "platform/wayland/SwayBindings.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::wayland {

class SwayIpc;

// Global hot keys on sway: each one a runtime binding of sway's, `bindsym --no-repeat COMBO nop
// TAG`, whose runs come back as binding events. A combination sway's config binds, or another
// running Quorvel, is held elsewhere. The bindings made are remembered in a file of the state
// folder, so that a start after a crash removes what the dead process left bound.
class SwayHotKeyRegistrar final : public HotKeyRegistrar
{
public:
    // Connects to sway's IPC socket at socketPath; throws Error when it cannot.
    SwayHotKeyRegistrar(const std::string &socketPath, std::string stateFolder);
    ~SwayHotKeyRegistrar() override;

    // $XDG_RUNTIME_DIR/quorvel, or empty without XDG_RUNTIME_DIR.
    static std::string defaultStateFolder();

    int registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress) override;
    void unregisterHotKey(int id) override;
    bool heldElsewhere(unsigned modifiers, KeyCode key) override;
    // sway runs a binding before any client sees its keys.
    bool grabsSeeRegisteredKeys() const override { return false; }

    // What went wrong reading sway's config, in a sentence; empty when nothing did. Hot keys
    // are bound all the same.
    const std::string &configTrouble() const { return m_configTrouble; }
    // The same for a reading of the config of the sway at socketPath, as a registrar made
    // there would find it.
    static std::string configTroubleAt(const std::string &socketPath);

    // The combinations that processes which have ended left bound on the sway at socketPath,
    // by the state files of stateFolder; any registrar made there removes them.
    static std::vector<std::string> staleBindings(
        const std::string &socketPath, const std::string &stateFolder);

    // The binding events arrive here; processEvents runs the hot keys pressed.
    int fileDescriptor() const;
    void processEvents();

private:
    struct Registration
    {
        std::string combination;
        SwayCombo combo;
        unsigned modifiers = 0;
        KeyCode key = 0;
        HotKeyPress onPress;
        bool bound = false;
    };

    std::string tagPrefix() const;
    std::string statePath() const;
    bool ours(const SwayCombo &combo) const;
    // The combinations sway's config binds, read once per binding round.
    const std::vector<SwayCombo> &configured();
    std::vector<SwayCombo> heldByOthers(const std::vector<SwayCombo> &configured);
    bool bind(int id, Registration &r);
    void unbind(Registration &r);
    void removeStaleBindings();
    void rebindAfterReload();
    void saveState();
    void lostSway();

    std::unique_ptr<SwayIpc> m_commands;
    std::unique_ptr<SwayIpc> m_events;
    std::string m_socketPath;
    std::string m_stateFolder;
    std::string m_configFile;
    std::string m_instance; // pid.number: two registrars of one process stay apart
    std::map<int, Registration> m_registrations;
    bool m_configRead = false;
    std::vector<SwayCombo> m_configured;
    std::string m_configTrouble;
    int m_nextId = 1;
};

} // namespace quorvel::wayland
