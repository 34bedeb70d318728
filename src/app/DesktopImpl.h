// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/DesktopBackend.h"

#include <memory>

namespace quorvel {

struct DesktopBackend::Impl
{
    virtual ~Impl() = default;
    virtual Backend backend() = 0;
};

// The backends of the Wayland desktops, each in a file of its own. Each throws Error when the
// session's display cannot be used; what the desktop lacks is a stand-in that says so.
std::unique_ptr<DesktopBackend::Impl> makeWlrootsDesktop();
std::unique_ptr<DesktopBackend::Impl> makeKdeDesktop();
std::unique_ptr<DesktopBackend::Impl> makeGnomeDesktop();

} // namespace quorvel
