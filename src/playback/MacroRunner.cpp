// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/MacroRunner.h"

#include "catalogue/LaunchDescription.h"
#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "common/ScopeGuard.h"

namespace quorvel {

const char *runStatusText(RunStatus status)
{
    switch (status) {
    case RunStatus::NoRecord:
        return "NoRecord";
    case RunStatus::True:
        return "True";
    case RunStatus::None:
        break;
    }
    return "";
}

MacroRunner::MacroRunner(const PlaybackServices &services)
    : m_services(services)
    , m_sendKey(services.keys, services.pump, &services.keyboard)
    , m_interpreter(services, *this, m_sendKey)
{
}

void MacroRunner::startReplay(const MacroRecord &record, bool hiSpeed)
{
    Journal &journal = m_services.journal;
    journal.PlayBackFileName = recordDataFile(m_services.dataFolder, record);
    journal.HiSpeedPlayBack = hiSpeed;
    m_journalIdle = false;
}

void MacroRunner::playBack()
{
    try {
        m_services.journal.StartPlayBack();
    } catch (...) {
        // A replay that never started never ends: nothing may wait for it.
        m_journalIdle = true;
        throw;
    }
}

void MacroRunner::ProcessHotKey(int n)
{
    if (m_services.observer)
        m_services.observer->runStarted(n);
    const auto record = m_services.catalogue.record(n);
    switch (record.type) {
    case macrokind::Launch: {
        const auto launch = LaunchDescription::split(record.fileName);
        m_services.launcher.open(launch.program, launch.parameters, launch.folder);
        RecordFinished(RunStatus::NoRecord);
        break;
    }
    case macrokind::Keystrokes:
        // Keystroke recordings always replay at high speed; KeyStrokesOnly stays as it was.
        startReplay(record, true);
        playBack();
        break;
    case macrokind::MouseAndKeys:
        startReplay(record, record.speed == 2);
        m_services.journal.KeyStrokesOnly = false;
        playBack();
        break;
    case macrokind::Advanced:
        m_interpreter.RunAdvancedMacroFile(recordDataFile(m_services.dataFolder, record));
        break;
    default:
        break;
    }
}

void MacroRunner::EPHotKey0HotKey(int slot, KeyCode hotKeyKey)
{
    if (m_editing || m_hotKeyBusy)
        return;
    // Set before the first pump, so a press handled inside it is dropped too; cleared also
    // when the run fails.
    m_hotKeyBusy = true;
    const ScopeGuard idle([this] { m_hotKeyBusy = false; });
    KeyboardState &keyboard = m_services.keyboard;
    for (;;) {
        m_services.pump.processMessages();
        m_hotKeyBusy = true;
        if (!keyboard.isKeyDown(vk::Control) && !keyboard.isKeyDown(vk::Menu)
            && !keyboard.isKeyDown(vk::Shift) && (hotKeyKey <= 0 || !keyboard.isKeyDown(hotKeyKey)))
            break;
        m_services.pump.sleep(10);
    }
    if (slot >= 1 && slot <= 100)
        ProcessHotKey(slot);
}

void MacroRunner::journalFinished()
{
    RecordFinished(RunStatus::True);
    m_journalIdle = true;
}

void MacroRunner::RecordFinished(RunStatus status)
{
    m_lastRunStatus = status;
    if (m_services.observer)
        m_services.observer->runStatus(runStatusText(status));
}

} // namespace quorvel
