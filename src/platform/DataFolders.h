// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

// Whether relative (as "applications/x.desktop") is in the data folders: dataHome, then each of
// the colon-separated dataDirs.
bool dataFileInstalled(
    const std::string &dataHome, const std::string &dataDirs, const std::string &relative);
// The same in the user's data folders (XDG_DATA_HOME, XDG_DATA_DIRS, or their defaults).
bool dataFileInstalled(const std::string &relative);

} // namespace quorvel
