// File-system changes that the uninstaller must be able to undo, and tree removal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zq {

class RunJournal;
class TUninstallList;

// Creates the missing directories of an absolute "X:\..." path one level at a time and
// records each one created in the uninstall log (and, first, in the run's journal when one is
// given). Other paths are ignored.
void ForceDirectoriesLogged(TUninstallList& log, const std::string& path, RunJournal* journal = nullptr);
// Records, without making them, the folders of `path` that neither exist nor are recorded yet:
// a group's records are made durable together before any of its changes. False when the
// journal cannot be written (an inactive journal records nothing and passes).
bool RecordMissingFolders(RunJournal& journal, const std::string& path);
// Creates the file's directories (logged), then the file with `size` bytes of `data` (empty
// without data). The file itself is not recorded. False when the file cannot be written.
// The file at `path` (its folder exists) with `size` bytes of `data`; false when it cannot be written.
bool WriteWholeFile(const std::string& path, const void* data, std::size_t size);
bool WriteFileLogged(TUninstallList& log, const std::string& path, const void* data, std::size_t size);
// Deletes the directory with everything in it, deepest first. Always ends: what cannot be
// deleted is left in place and the walk goes on. True when the directory is gone.
bool RemoveTree(const std::string& dir);

}  // namespace zq
