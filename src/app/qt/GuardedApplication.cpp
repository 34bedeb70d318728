// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/GuardedApplication.h"

#include "common/ScopeGuard.h"

#include <cstdio>
#include <exception>

namespace quorvel {

GuardedApplication::GuardedApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool GuardedApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        show(e.what());
    } catch (...) {
        show("Unknown error");
    }
    return false;
}

void GuardedApplication::show(const char *message)
{
    // A box is already open (a timer failing again under it): one box is enough.
    if (m_showing) {
        std::fprintf(stderr, "quorvel: %s\n", message);
        return;
    }
    m_showing = true;
    const ScopeGuard shown([this] { m_showing = false; });
    try {
        (m_errors ? *m_errors : static_cast<ErrorDisplay &>(m_box)).showError(message);
    } catch (...) {
        std::fprintf(stderr, "quorvel: %s\n", message);
    }
}

} // namespace quorvel
