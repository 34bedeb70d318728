// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <stdexcept>
#include <string>

namespace quorvel::testing {

// A form's control by its object name, as assistive tools and scripts reach it; a missing
// one fails the test.
template <typename T> T *child(const QObject &form, const char *name)
{
    T *found = form.findChild<T *>(QLatin1String(name), Qt::FindChildrenRecursively);
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

} // namespace quorvel::testing
