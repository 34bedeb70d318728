// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileRemover.h"

#include <filesystem>

namespace quorvel {

void StdFileRemover::removeFile(const std::string &path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

} // namespace quorvel
