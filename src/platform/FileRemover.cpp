#include "platform/FileRemover.h"

#include <filesystem>

namespace quorvel {

void StdFileRemover::removeFile(const std::string &path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

} // namespace quorvel
