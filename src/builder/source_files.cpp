#include "builder/source_files.h"

#include <algorithm>
#include <set>

#include "builder/build_paths.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq::builder {

namespace {

std::vector<std::string> SplitComponents(const std::string& relative) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : relative) {
    if (c == '/' || c == '\\') {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

std::optional<std::string> FindNoCase(const std::string& dir, const std::string& relative, bool want_dir) {
  auto exists = [&](const std::string& p) { return want_dir ? platform::DirectoryExists(p) : platform::FileExists(p); };
  std::string exact = Join(dir, relative);
  if (exists(exact)) return exact;
  if (IsAbsolute(relative)) return std::nullopt;
  std::string current = dir;
  auto parts = SplitComponents(relative);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    auto listing = platform::ListDir(current.empty() ? std::string(".") : current);
    if (!listing) return std::nullopt;
    const std::string want = platform::LowerCase(parts[i]);
    const bool last = i + 1 == parts.size();
    std::optional<std::string> match;
    for (const auto& e : *listing) {
      if (platform::LowerCase(e.name) != want) continue;
      if (!last && (!e.is_directory || e.is_link)) continue;
      match = e.name;
      break;
    }
    if (!match) return std::nullopt;
    current = Join(current, *match);
  }
  if (exists(current)) return current;
  return std::nullopt;
}

// `visited` holds the folders walked so far by identity: a folder reached a second time (a
// mount of its own parent, a name the system reads as another) would be walked without end.
void Walk(const std::string& dir, const std::string& prefix, std::vector<SourceFile>& out,
          std::vector<std::string>& skipped_links, std::set<std::string>& visited) {
  const auto identity = platform::ObjectIdentity(dir);
  if (!identity || !visited.insert(*identity).second) return;
  auto listing = platform::ListDir(dir);
  if (!listing) return;
  std::sort(listing->begin(), listing->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& e : *listing) {
    const std::string path = Join(dir, e.name);
    const std::string entry = prefix.empty() ? e.name : prefix + "\\" + e.name;
    if (e.is_directory) {
      if (e.is_link) {
        skipped_links.push_back(entry);
      } else {
        Walk(path, entry, out, skipped_links, visited);
      }
    } else {
      out.push_back({entry, path});
    }
  }
}

}  // namespace

std::optional<std::string> FindFileNoCase(const std::string& dir, const std::string& relative) {
  return FindNoCase(dir, relative, false);
}

std::optional<std::string> FindDirNoCase(const std::string& dir, const std::string& relative) {
  return FindNoCase(dir, relative, true);
}

std::vector<SourceFile> WalkFolder(const std::string& root, std::vector<std::string>& skipped_links) {
  std::vector<SourceFile> out;
  std::set<std::string> visited;
  Walk(root, "", out, skipped_links, visited);
  return out;
}

}  // namespace zq::builder
