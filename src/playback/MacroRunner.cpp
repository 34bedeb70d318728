#include "playback/MacroRunner.h"

#include "catalogue/LaunchDescription.h"

namespace quorvel {

MacroRunner::MacroRunner(const PlaybackServices &services)
    : m_services(services)
    , m_sendKey(services.keys, services.pump)
{
}

void MacroRunner::ProcessHotKey(int n)
{
    if (m_services.observer)
        m_services.observer->runStarted(n);
    ProfileStore &store = m_services.catalogue.store();
    const std::string section = Catalogue::sectionName(n);
    switch (store.readInteger(section, "Type", 0)) {
    case macrokind::Launch: {
        const auto launch = LaunchDescription::split(store.readString(section, "Filename", ""));
        m_services.launcher.open(launch.program, launch.parameters, launch.folder);
        RecordFinished("NoRecord");
        break;
    }
    case macrokind::Keystrokes: {
        Journal &journal = m_services.journal;
        journal.PlayBackFileName =
            m_services.programFolder + store.readString(section, "Filename", "");
        // Keystroke recordings always replay at high speed; KeyStrokesOnly stays as it was.
        journal.HiSpeedPlayBack = true;
        m_journalIdle = false;
        journal.StartPlayBack();
        break;
    }
    case macrokind::MouseAndKeys: {
        Journal &journal = m_services.journal;
        journal.PlayBackFileName =
            m_services.programFolder + store.readString(section, "Filename", "");
        journal.HiSpeedPlayBack = store.readInteger(section, "Speed", 1) == 2;
        m_journalIdle = false;
        journal.KeyStrokesOnly = false;
        journal.StartPlayBack();
        break;
    }
    case macrokind::Advanced:
        RunAdvancedMacroFile(m_services.programFolder + store.readString(section, "Filename", ""));
        break;
    default:
        break;
    }
}

void MacroRunner::EPHotKey0HotKey(int slot, KeyCode hotKeyKey)
{
    if (m_editing || m_hotKeyBusy)
        return;
    // Set before the first pump, so a press handled inside it is dropped too.
    m_hotKeyBusy = true;
    try {
        KeyboardState &keyboard = m_services.keyboard;
        for (;;) {
            m_services.pump.processMessages();
            m_hotKeyBusy = true;
            if (!keyboard.isKeyDown(vk::Control) && !keyboard.isKeyDown(vk::Menu)
                && !keyboard.isKeyDown(vk::Shift)
                && (hotKeyKey <= 0 || !keyboard.isKeyDown(hotKeyKey)))
                break;
            m_services.pump.sleep(10);
        }
        if (slot >= 1 && slot <= 100)
            ProcessHotKey(slot);
    } catch (...) {
        m_hotKeyBusy = false;
        throw;
    }
    m_hotKeyBusy = false;
}

void MacroRunner::journalFinished()
{
    RecordFinished("True");
    m_journalIdle = true;
}

void MacroRunner::RecordFinished(const std::string &status)
{
    m_lastRunStatus = status;
    if (m_services.observer)
        m_services.observer->runStatus(status);
}

void MacroRunner::pumpAndRest()
{
    m_services.pump.processMessages();
    // The pump does not block; a short rest keeps a long wait from spinning the processor.
    m_services.pump.sleep(10);
}

} // namespace quorvel
