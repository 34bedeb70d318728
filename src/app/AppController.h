// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"
#include "platform/HotKeyRegistrar.h"
#include "platform/KeySink.h"
#include "platform/Timers.h"
#include "triggers/HotKeyBindings.h"

#include <functional>
#include <memory>

namespace quorvel {

class Catalogue;
class MacroRunner;

// The editors and the event loop as the controller reaches them; the application implements
// it over what it has built so far.
class ControlledParts
{
public:
    virtual ~ControlledParts() = default;
    // An editor's window is built when first shown; until then nothing of it records or
    // replays.
    virtual bool wizardBuilt() const = 0;
    virtual bool propertiesBuilt() const = 0;
    virtual bool propertiesOpen() const = 0;
    // The wizard's page edits the properties dialog's advanced macro.
    virtual bool wizardInEditMode() const = 0;
    virtual void wizardRecorderFinished() = 0;
    virtual void propertiesRecorderFinished() = 0;
    virtual void wizardStopRecordHotKey() = 0;
    virtual void LoadMacroList() = 0;
    // The hidden form's PlaybackTimer, which ends a /CLOSE run.
    virtual void stopPlaybackTimer() = 0;
    // A pump of a run or a modal prompt of it is running below us.
    virtual bool insideRun() const = 0;
    // Ends the event loop; atOnce ends the process there and then.
    virtual void quit(bool atOnce) = 0;
};

// What the program does when a recording or replay ends, a hot key is pressed or the end
// comes, whichever part it comes from.
class AppController
{
public:
    struct Deps
    {
        MacroRunner &runner;
        Catalogue &catalogue;
        Timers &timers;
        KeySink &keys;
        ErrorDisplay &errors;
        ControlledParts &parts;
        HotKeyRegistrar *registrar = nullptr; // none: hot keys are not bound
        // Ends the running and queued replays at once; may be empty.
        std::function<void()> cancelPlayBacks = {};
    };

    explicit AppController(Deps deps);
    ~AppController();
    AppController(const AppController &) = delete;
    AppController &operator=(const AppController &) = delete;

    // The journal's OnFinished: the end goes to the window that started the replay or
    // recording, else to the runner.
    void journalFinished();

    // Slot 0..100's hot key arrived with its key; the runner drops it while editing or busy.
    void hotKeyPressed(int slot, KeyCode key);
    // The stop-recording key; bound from the start, though nothing records until an editor
    // is built.
    void stopKeyPressed();
    void setStopHotKeyEnabled(bool enabled);
    // An editor shows: hot keys run nothing, and where a hot-key box could not take our own
    // combinations (to say whose they are) they are given back until it closes.
    void setEditing(bool editing);

    // Every slot bound from the catalogue, the list reloaded; without a registrar only the
    // list.
    void BindHotKeys();
    bool hotKeyRefused(int n) const;
    HotKeyBindings *hotKeys() { return m_hotKeys.get(); }

    // Every way out (Exit, the close boxes, a signal, a /CLOSE run): nothing may start a run
    // any more, every replay stops, every key we hold is let go and every hot key is given
    // back before the loop ends. Inside a run the process ends at once, since the run
    // cannot be unwound from here and would go on typing.
    void end();
    bool ended() const { return m_ended; }

private:
    Deps m_d;
    std::unique_ptr<HotKeyBindings> m_hotKeys;
    std::unique_ptr<StopRecordHotKey> m_stopKey;
    bool m_ended = false;
    bool m_releasedForEditing = false;
};

} // namespace quorvel
