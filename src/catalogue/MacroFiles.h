// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class FileRemover;
struct MacroRecord;

// The macros' data files, and writing the catalogue. Recordings hold keystrokes, passwords
// included, so every file written here is the user's alone (0600) and so is every folder made
// for one (0700); a folder that already exists keeps its mode.

// The data file of a macro: its stored name followed by the extension (".dat", ".key").
std::string dataFileName(std::string_view macroName, std::string_view extension);
// Whether a data file name from the catalogue stays inside the data folder: not empty, not
// "." or "..", no slash, no backslash (a separator in catalogues written on Windows), no NUL.
bool isSafeDataFileName(std::string_view name);
// folder (with its trailing separator) followed by name, or nothing when name is not safe.
std::optional<std::string> dataFilePath(const std::string &folder, std::string_view name);
// The file that reading name in folder opens: the exact name, or when that is missing, the
// one file there whose name differs only in ASCII letter case (catalogues copied from a
// system that ignores case). Writers keep the catalogue's name. Nothing when name is not safe.
struct DataFileMatch
{
    std::string path;
    bool caseIgnored = false; // found only by ignoring letter case
};
std::optional<DataFileMatch> findDataFile(const std::string &folder, std::string_view name);
// The file a run of record reads (findDataFile); throws Error("Cannot open file
// <folder><name>") when its FileName would lead outside the folder.
std::string recordDataFile(const std::string &dataFolder, const MacroRecord &record);

// Creates a folder and its parents; false when that fails.
bool makeFolders(const std::string &folder);

// The whole of a regular file, or nothing when it is missing, not a regular file or cannot be
// read. In pieces, for a caller that converts as it goes: false when it cannot be read.
std::optional<std::string> readWholeFile(const std::string &path);
bool readFilePieces(const std::string &path, const std::function<void(std::string_view)> &piece);

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
// writeDataFile that throws Error("Unable to write to <path>") when it cannot.
void writeFileAtomically(const std::string &path, std::string_view text);

// Removes the macro's text and recording, named after it, from the data folder; a name that
// would reach outside the folder removes nothing.
void removeMacroFiles(FileRemover &files, const std::string &dataFolder, std::string_view name);

} // namespace quorvel
