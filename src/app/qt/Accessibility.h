// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel {

// Our plain top-level windows are announced as windows ("frame"), not as fillers, so screen
// readers and assistive tools find them as they find any application window; a fixed-list combo
// box we name keeps that name instead of taking its current text.
void installWindowAccessibility();

} // namespace quorvel
