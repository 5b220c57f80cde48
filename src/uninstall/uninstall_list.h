// The uninstall log: every file, registry value and directory a run creates, saved scrambled
// as "install.log" beside what was installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zq {

// The log lies where anyone who can write the installation folder may rewrite it: a log saved
// with the machine's (or the user's) secret carries a keyed check after its lists, which the
// uninstaller must find sound before it trusts what the log names outside that folder.
using LogKey = std::array<std::uint8_t, 32>;
enum class LogCheck {
  Absent,    // no check: a log of an older engine, or saved without a key
  Verified,  // the check holds for this folder and key
  Failed,    // a check that does not hold, is damaged, or could not be tested without a key
};

class TUninstallList {
 public:
  std::vector<std::string> Files;
  std::vector<std::string> RegValues;
  std::vector<std::string> Dirs;
  // Registry keys the installation created ("root" "key", KeyLine), in creation order: the
  // uninstall removes each once it is empty. Stored as the extended log's fourth section, so a
  // log with keys is always in the extended form.
  std::vector<std::string> Keys;

  // Turns folder paths back into macros before a file is recorded; the shared context sets
  // it. Unset: paths are recorded as given.
  std::function<std::string(const std::string&)> Collapse;

  void Clear();
  // Frees the lookup indexes of the duplicate checks (rebuilt on the next addition): the run's
  // closing steps save the log, where tens of thousands of lines made them a large share of
  // the install's peak memory.
  void ReleaseIndexes();
  // Paths are recorded with their "." and ".." components resolved.
  void AddFile(const std::string& path);
  void AddRegValue(const std::string& line);
  void AddDir(const std::string& path);
  // Once: a key recorded before (without regard to ASCII case) is not added again.
  void AddKey(const std::string& line);
  // A recorded file that the run renamed: the new name takes the old one's place, so the
  // uninstall removes what is really there. False when the old name was not recorded (a file
  // the run did not create stays the user's under its new name too).
  bool RenameFile(const std::string& from, const std::string& to);
  // The registry value line for the four script arguments: "root" "key" "name" "value".
  static std::string RegValueLine(const std::string& root, const std::string& key, const std::string& name,
                                  const std::string& value);
  // Splits a registry value line into its four fields; false when it is not one.
  static bool SplitRegValueLine(const std::string& line, std::string fields[4]);
  // The key line: "root" "key".
  static std::string KeyLine(const std::string& root, const std::string& key);
  static bool SplitKeyLine(const std::string& line, std::string fields[2]);

  static std::string LogPath(const std::string& directory, const std::string& prefix);
  // Replaces the file; with a key, the log carries its check for `directory`, the folder it is
  // saved in. False when it could not be written in full (lists beyond 65,535 lines,
  // lines beyond 65,535 bytes, or more than 196,602 lines in a log with non-ASCII text cannot
  // be represented and are refused, not cut).
  bool Save(const std::string& directory, const std::string& prefix, const LogKey* key = nullptr) const;
  // Loads the file when it exists. False (lists unchanged) when it is missing or damaged;
  // `problem` says what is wrong with a file that is there (left as it was when it is missing).
  // `check` receives how the log's check stands for `directory` and `key` (none: not known).
  bool Load(const std::string& directory, const std::string& prefix, std::string* problem = nullptr,
            const LogKey* key = nullptr, LogCheck* check = nullptr);

  // With a key, the lists are followed by the check: the counted string "ZQMAC/1", then the
  // 32 bytes of HMAC-SHA256 over `folder` (LogCheckFolder's form, as a counted string) and
  // the lists' bytes. Readers that know no check stop at the lists' end.
  std::vector<std::uint8_t> Serialize(const LogKey* key = nullptr, const std::string& folder = {}) const;
  // Replaces the lists with a log's. A log that ends early is refused whole: false, the lists
  // are left as they were and `problem` says where it ends. Bytes after the lists are the
  // check (`check`, tested with `key` for `folder`); they never make a log unreadable.
  bool LoadFromBuffer(const void* data, std::size_t size, std::string* problem = nullptr, const LogKey* key = nullptr,
                      const std::string& folder = {}, LogCheck* check = nullptr);
  // The folder as the check covers it: upper-case, backslashes, no trailing one, so the check
  // holds for the folder however it is spelt and fails for a log copied to another folder.
  static std::string LogCheckFolder(const std::string& folder);

 private:
  // Where each line of a list sits, keyed by its case-folded text: duplicate checks cost one
  // lookup instead of a scan of the list. The lists are public and assigned directly (loads,
  // tests), so an index that no longer matches its list's size, storage or a hit's text is
  // built again before use.
  class FoldedIndex {
   public:
    // The position of the first line equal to `line` without regard to case, or -1;
    // `count` (when given) receives how many lines are equal to it.
    std::ptrdiff_t Find(const std::vector<std::string>& list, const std::string& line, std::size_t* count = nullptr);
    void Appended(const std::vector<std::string>& list);
    void Replaced(const std::vector<std::string>& list, std::size_t at, const std::string& old_line);
    void Invalidate() { size_ = static_cast<std::size_t>(-1); }

   private:
    void Sync(const std::vector<std::string>& list);
    struct Spot {
      std::size_t first;
      std::size_t count;
    };
    std::unordered_map<std::string, Spot> at_;
    std::size_t size_ = static_cast<std::size_t>(-1);
    const std::string* data_ = nullptr;
  };

  bool NeedsExtendedLog() const;
  std::string FileLine(const std::string& path) const;
  void AddUnique(std::vector<std::string>& list, FoldedIndex& index, const std::string& line);

  FoldedIndex files_index_;
  FoldedIndex reg_values_index_;
};

}  // namespace zq
