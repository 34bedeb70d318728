#pragma once

#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"

#include <functional>
#include <string>

namespace quorvel {

// One pass of the Qt event loop: hot keys, timers and input are handled in the middle of a run.
class QtEventPump : public EventPump
{
public:
    void processMessages() override;
    void sleep(int milliseconds) override;

    // Events of other connections, handled in every pass too.
    std::function<void()> processPending;
};

// The user's regional formats through QLocale.
class QtDateTimeFormatter : public DateTimeFormatter
{
public:
    std::string format(DateTimeFormat which) override;
};

// A message box titled with the application's name; stderr when no window can be shown.
class MessageBoxErrorDisplay : public ErrorDisplay
{
public:
    void showError(const std::string &message) override;
};

// Runs a request delivered by a hot key, a timer, a menu or the command line; an error ends
// it and is shown once, and never crosses the event loop. Returns false after an error.
bool runGuarded(ErrorDisplay &errors, const std::function<void()> &request);

} // namespace quorvel
