// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Application.h"

#include <memory>

namespace quorvel {

// The real desktop, as the session decides: Wayland wherever WAYLAND_DISPLAY is set, never
// falling back to X; the X11 backend with the recorder otherwise.
class DesktopBackend
{
public:
    // Throws Error when the session's display cannot be used.
    DesktopBackend();
    ~DesktopBackend();

    Backend backend();

    struct Impl; // one kind of session's backend

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
