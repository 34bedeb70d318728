// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Dialogs.h"

#include <exception>

namespace quorvel {

bool runGuarded(ErrorDisplay &errors, const std::function<void()> &request)
{
    try {
        request();
        return true;
    } catch (const std::exception &e) {
        errors.showError(e.what());
    } catch (...) {
        errors.showError("Unknown error");
    }
    return false;
}

} // namespace quorvel
