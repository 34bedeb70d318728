// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

namespace quorvel {

// What VkKeyScanA reports on Windows' US English layout; invalid for any other character.
// The tracing sink and the test fakes type through it, so their traces read like Windows'.
KeyScan usKeyScan(char32_t ch);

} // namespace quorvel
