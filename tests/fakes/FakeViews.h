#pragma once

#include "app/ApplicationFormModel.h"
#include "fakes/FakeErrorDisplay.h"
#include "mainwindow/MainWindowModel.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel::testing {

// A main window that keeps what it is told: rows, geometry, visibility and the two timers.
class FakeMainWindowView : public MainWindowView
{
public:
    struct Timer
    {
        int intervalMs = 0;
        bool running = false;
    };

    std::vector<MacroListRow> rows;
    int loads = 0;
    bool visible = false;
    Rect geometry { 0, 0, 421, 343 };
    Rect screen { 0, 0, 1280, 1024 };
    Timer scanTimer;
    Timer waitTimer;

    void loadRows(const std::vector<MacroListRow> &r) override
    {
        rows = r;
        ++loads;
    }
    void showWindow() override { visible = true; }
    void hideWindow() override { visible = false; }
    bool windowVisible() const override { return visible; }
    Rect windowGeometry() const override { return geometry; }
    void setWindowGeometry(const Rect &g) override { geometry = g; }
    Rect screenArea() const override { return screen; }
    void setScanTimer(int intervalMs, bool running) override
    {
        scanTimer = { intervalMs, running };
    }
    void setWaitTimer(int intervalMs, bool running) override
    {
        waitTimer = { intervalMs, running };
    }
};

class FakeApplicationFormView : public ApplicationFormView
{
public:
    bool hiddenOffScreen = false;
    bool playbackTimer = false;

    void hideOffScreen() override { hiddenOffScreen = true; }
    void setPlaybackTimer(bool running) override { playbackTimer = running; }
};

// The rest of the program as both models reach it; every call is logged in order
// ("run 2", "bind", "scan", "wait", "end").
class FakeServices : public MainWindowServices, public ApplicationFormServices
{
public:
    std::vector<std::string> log;
    std::string status;
    std::function<void(int)> onRun;
    std::function<void()> onBind;
    std::function<void()> onScan;

    void ProcessHotKey(int n) override
    {
        log.push_back("run " + std::to_string(n));
        if (onRun)
            onRun(n);
    }
    void BindHotKeys() override
    {
        log.push_back("bind");
        if (onBind)
            onBind();
    }
    void scanTick() override
    {
        log.push_back("scan");
        if (onScan)
            onScan();
    }
    void waitTick() override { log.push_back("wait"); }
    void endProgram() override { log.push_back("end"); }
    std::string lastRunStatus() override { return status; }
};

} // namespace quorvel::testing
