// SPDX-License-Identifier: GPL-3.0-or-later
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

    // How many passes are running now, one inside another: above 0 inside a run or start-up.
    int depth() const { return m_depth; }

    // Events of other connections, handled in every pass too.
    std::function<void()> processPending;

private:
    int m_depth = 0;
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

} // namespace quorvel
