// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/IniDocument.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel {

// The profile-file service over one INI file. Every read sees the latest writes of this and
// other processes; the file is only re-parsed when it changed. Every write is a locked
// read-modify-write that replaces the file atomically, so no write is lost or torn; a
// symbolic link is written through, and a file without its owner's write bit is left alone.
// The file is written 0600 (see MacroFiles.h).
class ProfileStore
{
public:
    explicit ProfileStore(std::string path);
    ~ProfileStore();
    ProfileStore(const ProfileStore &) = delete;
    ProfileStore &operator=(const ProfileStore &) = delete;

    const std::string &path() const { return m_path; }

    // At most 1023 characters of the value; def when the file, section or key is missing.
    std::string readString(
        std::string_view section, std::string_view key, std::string_view def) const;
    int readInteger(std::string_view section, std::string_view key, int def) const;
    bool readBool(std::string_view section, std::string_view key, bool def) const;

    // Throws Error("Unable to write to <path>") when the file cannot be written or is
    // write-protected.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void eraseSection(std::string_view section);

    // Several changes under one lock and one replacement of the file.
    void edit(const std::function<void(IniDocument &)> &change);

    // A consistent snapshot for several reads.
    std::shared_ptr<const IniDocument> document() const;

private:
    struct Cache;
    std::string m_path;
    std::unique_ptr<Cache> m_cache;
};

// Value rules shared by the store and snapshot readers.
std::string profileString(
    const IniDocument &doc, std::string_view section, std::string_view key, std::string_view def);
int profileInteger(const IniDocument &doc, std::string_view section, std::string_view key, int def);

} // namespace quorvel
