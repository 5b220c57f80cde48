#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/scrambler.h"
#include "builder/compile_state.h"
#include "builder/source_files.h"
#include "platform/files.h"

namespace zq::builder::compile {

namespace {

// The files a group line packs: the folder it names, walked, or the one file.
std::optional<std::vector<SourceFile>> SourceFiles(State& s, const Pending& p) {
  const std::string& source = p.args[0];
  if (auto folder = FindDirNoCase(s.dir, source)) {
    std::vector<std::string> links;
    auto files = WalkFolder(*folder, links);
    for (const auto& l : links) {
      s.diags().Warning(s.script, p.source_line, "link to a folder \"" + l + "\" in " + source + " not followed");
    }
    return files;
  }
  if (auto file = FindFileNoCase(s.dir, source)) {
    return std::vector<SourceFile>{{BaseName(*file), *file}};
  }
  s.diags().Error(s.script, p.source_line, "source folder or file \"" + source + "\" not found");
  return std::nullopt;
}

}  // namespace

void Groups(State& s) {
  std::map<std::string, std::size_t> archive_owner;                       // lower-case target -> group index (0-based)
  std::vector<std::unordered_map<std::string, std::size_t>> group_index;  // per group: lower-case name -> position
  for (Pending& p : s.lines) {
    if (p.is_label) continue;
    const auto kind = p.command.group_kind;
    const int count = static_cast<int>(p.args.size());
    if (count < p.command.MinSourceArgs()) continue;
    if (const int n = p.command.scrambled_arg) {
      std::string& secret = p.args[static_cast<std::size_t>(n - 1)];
      secret = ScrambleLine(kPackageCommandKey, secret);
    }
    if (kind == GroupKind::None) continue;
    if (s.groups.size() >= kMaxCount) {
      s.diags().Error(s.script, p.source_line, "more than 65535 file, zqpupdate and vfsupdate lines");
      continue;
    }
    const std::size_t own = s.groups.size();
    s.groups.emplace_back();
    p.args.push_back(std::to_string(own + 1));
    auto files = SourceFiles(s, p);
    if (!files) continue;
    if (files->empty())
      s.diags().Warning(s.script, p.source_line, "\"" + p.args[0] + "\" holds no files: the group is empty");
    std::size_t target = own;
    if (kind == GroupKind::Archive) {
      const std::string key = Lower(p.args[static_cast<std::size_t>(p.command.archive_arg - 1)]);
      target = archive_owner.emplace(key, own).first->second;
    }
    auto& group = s.groups[target];
    // A later file of the same name (any case) replaces the earlier one in its place; hashed,
    // because a payload of tens of thousands of files made a scan per name quadratic.
    if (group_index.size() <= target) group_index.resize(target + 1);
    auto& index = group_index[target];
    for (auto& f : *files) {
      if (kind == GroupKind::Files) p.files_size += static_cast<std::int64_t>(platform::FileSize(f.path).value_or(0));
      PlannedEntry e{f.entry_name, static_cast<std::uint16_t>(target + 1), f.path, {}};
      e.files = kind == GroupKind::Files;
      s.CheckEntry(e, p.source_line);
      const auto [slot, fresh] = index.try_emplace(Lower(e.name), group.size());
      if (fresh) {
        group.push_back(std::move(e));
      } else {
        group[slot->second] = std::move(e);
      }
    }
  }
  s.result.group_count = static_cast<std::uint16_t>(std::min(s.groups.size(), kMaxCount));
}

}  // namespace zq::builder::compile
