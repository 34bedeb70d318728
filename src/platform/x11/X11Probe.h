// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace quorvel::x11 {

struct X11ServerFacts
{
    std::string vendor;
    int release = 0;
    bool xtest = false;
    bool record = false;
};

// The X server of $DISPLAY and the extensions Quorvel uses; nothing when it does not answer.
std::optional<X11ServerFacts> probeX11Server();

} // namespace quorvel::x11
