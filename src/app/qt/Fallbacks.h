#pragma once

#include "platform/HotKeyRegistrar.h"
#include "platform/Journal.h"
#include "platform/KeySink.h"
#include "platform/WindowSystem.h"

namespace quorvel {

// Stand-ins for platform parts a session cannot offer; each does nothing and says nothing.

class NullKeySink : public KeySink, public KeyboardState
{
public:
    KeyScan keyScan(char32_t) override { return { 0xFF, 0 }; }
    unsigned scanCode(KeyCode) override { return 0; }
    void keyEvent(KeyCode, unsigned, bool, bool) override { }
    void typeCharacter(char32_t) override { }
    bool isKeyDown(KeyCode) override { return false; }
};

class NullWindowSystem : public WindowSystem
{
public:
    void enumWindows(const std::function<bool(const WindowInfo &)> &) override { }
    bool isWindowVisible(WindowHandle) override { return false; }
    WindowHandle foregroundWindow() override { return 0; }
    void setForegroundWindow(WindowHandle) override { }
    WindowHandle findWindow(std::string_view) override { return 0; }
};

// Without a recorder a replay ends at once, so no run waits for it forever.
class NullJournal : public Journal
{
public:
    void StartRecording() override { }
    void StopRecording() override;
    void StartPlayBack() override;
};

} // namespace quorvel
