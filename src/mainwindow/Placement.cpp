// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/Placement.h"

#include "catalogue/Catalogue.h"

#include <algorithm>

namespace quorvel {

namespace {
constexpr int kNoPlacement = 10000;
constexpr int kMissing = -2147483647 - 1;
} // namespace

Rect centred(int width, int height, const Rect &screen)
{
    return Rect { screen.left + (screen.width - width) / 2,
        screen.top + (screen.height - height) / 2, width, height };
}

std::optional<Rect> storedPlacement(const ProfileStore &store, const Rect &screen)
{
    const auto doc = store.document();
    const int width = profileInteger(*doc, settings::Position, "Width", kNoPlacement);
    if (width == kNoPlacement)
        return std::nullopt;
    Rect r;
    r.width = width > 0 ? width : kDefaultWidth;
    const int height = profileInteger(*doc, settings::Position, "Height", kDefaultHeight);
    r.height = height > 0 ? height : kDefaultHeight;
    const auto middle = centred(r.width, r.height, screen);
    const int top = profileInteger(*doc, settings::Position, "Top", kMissing);
    const int left = profileInteger(*doc, settings::Position, "Left", kMissing);
    r.top = top == kMissing ? middle.top : top;
    r.left = left == kMissing ? middle.left : left;
    // Keep the title bar reachable when the screen shrank since the placement was saved.
    if (screen.width > 0 && screen.height > 0) {
        r.left = std::clamp(r.left, screen.left - r.width + 50, screen.left + screen.width - 50);
        r.top = std::clamp(r.top, screen.top, screen.top + screen.height - 30);
    }
    return r;
}

void savePlacement(ProfileStore &store, const Rect &window)
{
    store.edit([&](IniDocument &doc) {
        doc.setValue(settings::Position, "Width", std::to_string(window.width));
        doc.setValue(settings::Position, "Height", std::to_string(window.height));
        doc.setValue(settings::Position, "Top", std::to_string(window.top));
        doc.setValue(settings::Position, "Left", std::to_string(window.left));
    });
}

} // namespace quorvel
