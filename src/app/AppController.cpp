// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppController.h"

#include "playback/MacroRunner.h"

namespace quorvel {

AppController::AppController(Deps deps)
    : m_d(std::move(deps))
{
    if (!m_d.registrar)
        return;
    m_hotKeys = std::make_unique<HotKeyBindings>(
        *m_d.registrar, &m_d.errors, [this](int slot, KeyCode key) { hotKeyPressed(slot, key); },
        [this] { m_d.parts.LoadMacroList(); });
    m_stopKey = std::make_unique<StopRecordHotKey>(*m_d.registrar, &m_d.errors);
    m_stopKey->OnHotKey = [this](TEPHotKey &, unsigned &, unsigned) { stopKeyPressed(); };
}

AppController::~AppController() = default;

void AppController::journalFinished()
{
    ControlledParts &parts = m_d.parts;
    // The properties dialog hands an advanced macro's text to the wizard's page; a replay
    // started there is the wizard's.
    if (parts.propertiesBuilt() && parts.propertiesOpen() && !parts.wizardInEditMode())
        parts.propertiesRecorderFinished();
    else if (parts.wizardBuilt())
        parts.wizardRecorderFinished();
    else
        m_d.runner.journalFinished();
}

void AppController::hotKeyPressed(int slot, KeyCode key)
{
    m_d.runner.EPHotKey0HotKey(slot, key);
}

void AppController::stopKeyPressed()
{
    if (m_d.parts.wizardBuilt())
        m_d.parts.wizardStopRecordHotKey();
}

void AppController::setStopHotKeyEnabled(bool enabled)
{
    if (m_stopKey)
        m_stopKey->SetEnabled(enabled);
}

void AppController::setEditing(bool editing)
{
    m_d.runner.setEditing(editing);
    if (!m_hotKeys || m_d.registrar->grabsSeeRegisteredKeys() || m_ended
        || editing == m_releasedForEditing)
        return;
    m_releasedForEditing = editing;
    for (int slot = 1; slot < HotKeyBindings::SlotCount; ++slot)
        m_hotKeys->EPHotKey(slot).SetEnabled(!editing);
    // The keys refused on taking them back are greyed.
    if (!editing)
        m_d.parts.LoadMacroList();
}

void AppController::BindHotKeys()
{
    if (m_hotKeys)
        m_hotKeys->BindHotKeys(m_d.catalogue);
    else
        m_d.parts.LoadMacroList();
}

bool AppController::hotKeyRefused(int n) const
{
    return m_hotKeys && m_hotKeys->refused(n);
}

void AppController::end()
{
    if (m_ended)
        return;
    m_ended = true;
    // Nothing may start a run any more: no scan, no wait ticks, no hot key, no /CLOSE check.
    m_d.timers.setScanTimerEnabled(false);
    m_d.timers.setWaitTimer(Timers::WaitTimerDesignInterval, false);
    m_d.parts.stopPlaybackTimer();
    if (m_hotKeys) {
        for (int slot = 0; slot < HotKeyBindings::SlotCount; ++slot)
            m_hotKeys->EPHotKey(slot).SetEnabled(false);
    }
    setStopHotKeyEnabled(false);
    // Keys pressed by a replay or a run would otherwise stay down on the server after us.
    if (m_d.cancelPlayBacks)
        m_d.cancelPlayBacks();
    m_d.keys.releaseAll();
    m_d.parts.quit(m_d.parts.insideRun());
}

} // namespace quorvel
