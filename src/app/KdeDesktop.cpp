// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopImpl.h"

namespace quorvel {

std::unique_ptr<DesktopBackend::Impl> makeKdeDesktop()
{
    return makeWlrootsDesktop();
}

} // namespace quorvel
