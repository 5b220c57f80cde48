// Finding the files a script names: case-insensitive lookups (scripts are written for a
// system that ignores case, and may be built on one that does not) and payload folder walks.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zq::builder {

// `relative` (either separator) below `dir`: the exact path when it exists, else the path
// whose components match without regard to case; nullopt when neither exists.
std::optional<std::string> FindFileNoCase(const std::string& dir, const std::string& relative);
std::optional<std::string> FindDirNoCase(const std::string& dir, const std::string& relative);

struct SourceFile {
  std::string entry_name;  // relative to the walked folder, backslashes
  std::string path;
};

// Every file below `root`, names sorted in byte order at each level. Links to folders are
// never followed (they may lead anywhere); their names go to `skipped_links`. Each folder is
// walked once, however often it is reached.
std::vector<SourceFile> WalkFolder(const std::string& root, std::vector<std::string>& skipped_links);

}  // namespace zq::builder
