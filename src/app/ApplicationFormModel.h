// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"
#include "platform/EventPump.h"

#include <string>
#include <vector>

namespace quorvel {

class Catalogue;
class MainWindowModel;

// What the hidden application form does on the model's word; the form implements it.
class ApplicationFormView
{
public:
    virtual ~ApplicationFormView() = default;
    // Off the screen (x = -5000) and hidden.
    virtual void hideOffScreen() = 0;
    virtual void setPlaybackTimer(bool running) = 0;
};

// The rest of the program as the hidden form reaches it.
class ApplicationFormServices
{
public:
    virtual ~ApplicationFormServices() = default;
    // The last run status RecordFinished set: "", "NoRecord" or "True".
    virtual std::string lastRunStatus() = 0;
    virtual void endProgram() = 0;
};

// The hidden application form's rules: command-line runs, the end after a /CLOSE run, the
// first start, and the placement it keeps for the main window.
class ApplicationFormModel
{
public:
    static constexpr int PlaybackTimerInterval = 1000;

    ApplicationFormModel(MainWindowModel &mainWindow, Catalogue &catalogue, ErrorDisplay &errors,
        EventPump &pump, ApplicationFormServices &services);
    void setView(ApplicationFormView &view) { m_view = &view; }

    void FormCreate();
    // False when a run failed: the remaining arguments were not processed, and the
    // PlaybackTimer stays off so /CLOSE cannot end the program.
    bool DoCommandLine(const std::vector<std::string> &arguments);
    // On the first start the main window is shown centred, once.
    void showOnFirstRun();
    // With no tray the hidden main window is the one way back to the program. It is shown
    // once the command line's runs are over, so no replay lands in it, and never for a run
    // that ends the program.
    void showWithoutTray();
    void SetPosition();
    void SavePosition();

    // Events of the form.
    void PlaybackTimerTimer();
    void FormClose();

    bool closeWhenDone() const { return m_closeWhenDone; }

private:
    ApplicationFormView &view();

    MainWindowModel &m_mainWindow;
    Catalogue &m_catalogue;
    ErrorDisplay &m_errors;
    EventPump &m_pump;
    ApplicationFormServices &m_services;
    ApplicationFormView *m_view = nullptr;
    bool runOver() const;

    bool m_closeWhenDone = false;
    bool m_runFailed = false;
    int m_runs = 0;
    bool m_showWhenDone = false;
};

} // namespace quorvel
