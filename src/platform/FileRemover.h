// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

// Deletes files; a file that is missing or cannot be deleted is passed over.
class FileRemover
{
public:
    virtual ~FileRemover() = default;
    virtual void removeFile(const std::string &path) = 0;
};

class StdFileRemover : public FileRemover
{
public:
    void removeFile(const std::string &path) override;
};

} // namespace quorvel
