#include "engine/logged_files.h"

#include <vector>

#include "base/path_text.h"
#include "engine/run_journal.h"
#include "uninstall/uninstall_list.h"
#include "platform/files.h"

namespace zq {

void ForceDirectoriesLogged(TUninstallList& log, const std::string& path, RunJournal* journal) {
  if (path.size() <= 3 || path[1] != ':' || path[2] != '\\') return;
  std::vector<std::string> missing;
  std::string prefix = path.substr(0, 3);
  std::size_t pos = 3;
  while (pos < path.size()) {
    std::size_t end = path.find('\\', pos);
    std::size_t next = end == std::string::npos ? path.size() : end + 1;
    prefix += path.substr(pos, next - pos);
    pos = next;
    if (!missing.empty() || !platform::DirectoryExists(prefix)) missing.push_back(prefix);
  }
  if (missing.empty()) return;
  // Written down, and durable, first: a folder made by a run that is killed belongs to its undo.
  if (journal != nullptr && journal->Active()) {
    for (const std::string& folder : missing) {
      if (!journal->Record({.kind = RunChange::Kind::FolderCreated, .path = folder})) return;
    }
    journal->Sync();
    if (journal->Broken()) return;
  }
  for (const std::string& folder : missing) {
    if (platform::CreateDir(folder)) log.AddDir(folder);
  }
}

bool RecordMissingFolders(RunJournal& journal, const std::string& path) {
  if (!journal.Active() || path.size() <= 3 || path[1] != ':' || path[2] != '\\') return true;
  bool missing = false;
  for (std::size_t end = 3; end <= path.size(); ++end) {
    if (end != path.size() && path[end] != '\\') continue;
    const std::string prefix = path.substr(0, end);
    if (prefix.size() <= 3) continue;
    missing = missing || !platform::DirectoryExists(prefix);
    if (!missing || journal.RecordedFolder(prefix)) continue;
    if (!journal.Record({.kind = RunChange::Kind::FolderCreated, .path = prefix})) return false;
  }
  return true;
}

bool WriteFileLogged(TUninstallList& log, const std::string& path, const void* data, std::size_t size) {
  std::string dir = ExtractFileDir(path);
  if (!dir.empty()) ForceDirectoriesLogged(log, dir);
  return WriteWholeFile(path, data, size);
}

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Create)) return false;
  if (data == nullptr || size == 0) return true;
  return f.Write(data, size) == size;
}

bool RemoveTree(const std::string& dir) {
  if (!platform::DirectoryExists(dir)) return false;
  // Each directory is visited once for its contents; one that cannot be emptied or removed is
  // dropped from the walk instead of being retried forever.
  struct Pending {
    std::string path;
    bool listed = false;
  };
  std::vector<Pending> pending{{dir, false}};
  while (!pending.empty()) {
    Pending& top = pending.back();
    if (!top.listed) {
      top.listed = true;
      std::string here = top.path;
      if (auto entries = platform::ListDir(here)) {
        for (const auto& e : *entries) {
          std::string child = here + "\\" + e.name;
          if (e.is_link) {
            // A link or junction goes as itself; what it leads to is not part of the tree.
            if (!platform::DeleteFileAt(child)) platform::RemoveDir(child);
          } else if (e.is_directory) {
            pending.push_back({child, false});
          } else {
            platform::DeleteFileAt(child);
          }
        }
      }
      continue;
    }
    platform::RemoveDir(top.path);
    pending.pop_back();
  }
  return !platform::DirectoryExists(dir);
}

}  // namespace zq
