// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

// Writing the catalogue and the macros' data files. Recordings hold keystrokes, passwords
// included, so every file written here is the user's alone (0600) and so is every folder made
// for one (0700); a folder that already exists keeps its mode.

// Replaces the file at path with bytes in one step, creating its folder when missing: readers
// and a crash see the old file or the new one, never a part of either. A symbolic link is
// replaced, not followed. Returns 0, or the errno of the step that failed.
int replaceFile(const std::string &path, std::string_view bytes);

// Removes from folder the temporary copies that writers killed before their replaceFile ended
// left behind, those whose target file name `owned` accepts.
void sweepStaleTemporaries(
    const std::string &folder, const std::function<bool(std::string_view target)> &owned);

// A recording or text: replaceFile, after sweeping the folder's data-file temporaries.
int writeDataFile(const std::string &path, std::string_view bytes);
void sweepStaleDataTemporaries(const std::string &folder);

} // namespace quorvel
