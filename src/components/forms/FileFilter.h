// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

namespace quorvel {

// Qt's filter string for a filter of "Name|pattern|..." pairs.
QString qtFilter(const std::string &filter);

} // namespace quorvel
