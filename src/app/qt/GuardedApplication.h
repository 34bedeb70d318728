// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/qt/QtPlatform.h"

#include <QApplication>

namespace quorvel {

// The last stop for an exception no handler caught: Qt's event loop must never unwind, so
// whatever escapes an event is shown once and the loop runs on.
class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int &argc, char **argv);

    // Where the errors go; none: the application's message box.
    void setErrorDisplay(ErrorDisplay *errors) { m_errors = errors; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    void show(const char *message);

    MessageBoxErrorDisplay m_box;
    ErrorDisplay *m_errors = nullptr;
    bool m_showing = false;
};

} // namespace quorvel
