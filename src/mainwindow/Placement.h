// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/ProfileStore.h"

#include <optional>

namespace quorvel {

struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect &) const = default;
};

// SetPosition: the stored placement of the main window on a screen, or nothing when the
// window is to be centred (Width missing or 10000). Missing edges centre that axis; a
// placement that would leave the window off every visible pixel of the screen is moved on.
std::optional<Rect> storedPlacement(const ProfileStore &store, const Rect &screen);
Rect centred(int width, int height, const Rect &screen);

// SavePosition.
void savePlacement(ProfileStore &store, const Rect &window);

constexpr int kDefaultWidth = 421;
constexpr int kDefaultHeight = 343;

} // namespace quorvel
