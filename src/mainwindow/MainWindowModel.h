#pragma once

#include "catalogue/HotKeyValue.h"
#include "mainwindow/MacroList.h"
#include "mainwindow/Placement.h"
#include "platform/Dialogs.h"
#include "platform/Timers.h"

#include <vector>

namespace quorvel {

class Catalogue;

// What the main window shows and does on the model's word; the form implements it.
class MainWindowView
{
public:
    virtual ~MainWindowView() = default;
    virtual void loadRows(const std::vector<MacroListRow> &rows) = 0;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual bool windowVisible() const = 0;
    virtual Rect windowGeometry() const = 0;
    virtual void setWindowGeometry(const Rect &geometry) = 0;
    // The part of the screen windows may take.
    virtual Rect screenArea() const = 0;
    // Timer1 and tmr1; their ticks come back as Timer1Timer and tmr1Timer.
    virtual void setScanTimer(int intervalMs, bool running) = 0;
    virtual void setWaitTimer(int intervalMs, bool running) = 0;
};

// The rest of the program as the main window reaches it.
class MainWindowServices
{
public:
    virtual ~MainWindowServices() = default;
    virtual void ProcessHotKey(int n) = 0;
    // Binds every slot again from the catalogue and reloads the list.
    virtual void BindHotKeys() = 0;
    virtual void scanTick() = 0;
    virtual void waitTick() = 0;
    virtual void endProgram() = 0;
};

// The main window's rules: the list, start-up, placement, hiding and closing, and the two
// timers a timed wait switches.
class MainWindowModel : public Timers
{
public:
    static constexpr int WaitTimerDesignInterval = 10000;

    MainWindowModel(Catalogue &catalogue, ErrorDisplay &errors, MainWindowServices &services,
        KeyNameLookup keyName = {});
    void setView(MainWindowView &view) { m_view = &view; }

    // Start-up: list, hot keys, timers, empty trigger memory.
    void FormCreate();
    void LoadMacroList();
    void ProcessHotKey(int n);
    void SetPosition();
    void SavePosition();
    // The first start: centred on the screen and shown.
    void showCentred();

    // Events of the form.
    void cmdCloseClick();
    void FormClose();
    void Timer1Timer();
    void tmr1Timer();

    // Timers
    void setScanTimerEnabled(bool enabled) override;
    void setWaitTimer(int intervalMs, bool enabled) override;

private:
    MainWindowView &view();

    Catalogue &m_catalogue;
    ErrorDisplay &m_errors;
    MainWindowServices &m_services;
    KeyNameLookup m_keyName;
    MainWindowView *m_view = nullptr;
    // 0 or less: the scan never runs, not even after a timed wait.
    int m_scanInterval = 0;
};

} // namespace quorvel
