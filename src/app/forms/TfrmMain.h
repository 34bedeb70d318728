#pragma once

#include "catalogue/Catalogue.h"
#include "catalogue/HotKeyValue.h"
#include "platform/Dialogs.h"
#include "platform/Timers.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QPushButton;
class QTreeWidget;

namespace quorvel {

// The main window: the macro list, the trigger-scan timer Timer1 and the wait timer tmr1.
// Runs go to the runner given by the application.
class TfrmMain : public QWidget, public Timers
{
    Q_OBJECT

public:
    struct Hooks
    {
        std::function<void(int)> processHotKey; // ProcessHotKey(N)
        std::function<void()> bindHotKeys; // BindHotKeys; falls back to LoadMacroList
        std::function<void()> timer1Tick; // one trigger-scan tick
        std::function<void()> tmr1Tick; // one tick of a timed wait
        KeyNameLookup keyName;
    };

    TfrmMain(Catalogue &catalogue, ErrorDisplay &errors, Hooks hooks);

    // Start-up: list, hot keys, timers, empty trigger memory.
    void FormCreate();
    void LoadMacroList();
    void ProcessHotKey(int n);
    void SetPosition();
    void SavePosition();

    QTreeWidget *lvMacro = nullptr;
    QPushButton *cmdClose = nullptr;
    QTimer Timer1;
    QTimer tmr1;

    // Timers
    void setScanTimerEnabled(bool enabled) override;
    void setWaitTimer(int intervalMs, bool enabled) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void cmdCloseClick();
    void Timer1Timer();
    void tmr1Timer();

    Catalogue &m_catalogue;
    ErrorDisplay &m_errors;
    Hooks m_hooks;
    bool m_scanQueued = false;
};

} // namespace quorvel
