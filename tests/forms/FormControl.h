// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <stdexcept>
#include <string>

namespace quorvel::testing {

// A form's control by its name in the code, as a user's tools find it.
template <typename W = QWidget> W *control(const QObject &form, const char *name)
{
    if (auto *widget = form.findChild<W *>(QLatin1String(name)))
        return widget;
    throw std::runtime_error(std::string("no control named ") + name);
}

} // namespace quorvel::testing
