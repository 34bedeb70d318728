// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ApplicationFormModel.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeShell.h"
#include "mainwindow/MainWindowModel.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel::testing {

// A main window that keeps what it is told: rows, geometry and visibility.
class FakeMainWindowView : public MainWindowView
{
public:
    std::vector<MacroListRow> rows;
    int loads = 0;
    int selected = -1; // loading rows clears it
    int focused = -1;
    bool foreground = true;
    std::string status;
    // Design state: the five commands disabled.
    std::map<SelectionCommand, bool> enabled { { SelectionCommand::cmdDeleteMacro, false },
        { SelectionCommand::cmdProperties, false }, { SelectionCommand::mnuDelete, false },
        { SelectionCommand::mnuCreateShortcut, false },
        { SelectionCommand::mnuProperties, false } };
    int outer = 343;
    MainWindowLayout layout;
    bool answerYes = true;
    // "ask <text>", "wizard", "properties 2", "remove row 1": the calls in order.
    std::vector<std::string> log;
    std::function<void()> onEditor;
    bool visible = false;
    Rect geometry { 0, 0, 421, 343 };
    Rect screen { 0, 0, 1280, 1024 };

    void loadRows(const std::vector<MacroListRow> &r) override
    {
        rows = r;
        ++loads;
        selected = -1;
        focused = -1;
    }
    int rowCount() const override { return int(rows.size()); }
    int selectedRow() const override { return selected; }
    int focusedRow() const override { return focused; }
    void removeRow(int row) override
    {
        log.push_back("remove row " + std::to_string(row));
        rows.erase(rows.begin() + row);
        selected = focused = -1;
    }
    void setStatusText(const std::string &text) override { status = text; }
    void setCommandEnabled(SelectionCommand command, bool on) override { enabled[command] = on; }
    int outerHeight() const override { return outer; }
    void applyLayout(const MainWindowLayout &l) override { layout = l; }
    bool isForegroundWindow() const override { return foreground; }
    bool confirmWarning(const std::string &text) override
    {
        log.push_back("ask " + text);
        return answerYes;
    }
    void showWizard() override
    {
        log.push_back("wizard");
        if (onEditor)
            onEditor();
    }
    void showProperties(int n) override
    {
        log.push_back("properties " + std::to_string(n));
        if (onEditor)
            onEditor();
    }
    void showWindow() override { visible = true; }
    void hideWindow() override { visible = false; }
    bool windowVisible() const override { return visible; }
    Rect windowGeometry() const override { return geometry; }
    void setWindowGeometry(const Rect &g) override { geometry = g; }
    Rect screenArea() const override { return screen; }
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
// ("run 2", "bind", "end").
class FakeServices : public MainWindowServices, public ApplicationFormServices
{
public:
    std::vector<std::string> log;
    std::string status;
    std::function<void(int)> onRun;
    std::function<void()> onBind;

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
    void endProgram() override { log.push_back("end"); }
    void setEditing(bool on) override
    {
        editing = on;
        log.push_back(on ? "editing on" : "editing off");
    }
    bool editing = false;
    std::string lastRunStatus() override { return status; }
    // Slots whose hot key the platform refused.
    std::set<int> refused;
    bool hotKeyRefused(int n) const override { return refused.count(n) > 0; }
};

} // namespace quorvel::testing
