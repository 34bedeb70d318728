// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Application.h"

#include <memory>

namespace quorvel {

// The real desktop: the X11 backend for typing, hot keys and windows, and the recorder.
class DesktopBackend
{
public:
    // Throws Error when there is no X display to connect to.
    DesktopBackend();
    ~DesktopBackend();

    Backend backend();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
