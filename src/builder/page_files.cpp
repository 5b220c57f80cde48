#include "builder/page_files.h"

#include <string_view>

#include "base/path_text.h"
#include "builder/build_paths.h"
#include "builder/source_files.h"
#include "container/entry_names.h"
#include "container/pak_string.h"
#include "platform/text.h"
#include "ui/layout_blocks.h"
#include "ui/page_list.h"

namespace zq::builder {

namespace {

std::string_view AsText(const std::vector<std::uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class Collector {
 public:
  Collector(std::string base, std::string folder, std::string prefix, Diagnostics& diags)
      : base_(std::move(base)), folder_(std::move(folder)), prefix_(std::move(prefix)), diags_(diags) {}

  std::vector<PlannedEntry> entries;

  // Packs `name` found below the base (or the pages folder); returns its bytes, or nullopt.
  std::optional<std::vector<std::uint8_t>> Add(const std::string& name, bool text, const std::string& file,
                                               std::uint32_t line, const std::string& what) {
    const std::string key = platform::AnsiLowerCase(name);
    for (const auto& e : entries) {
      if (platform::AnsiLowerCase(e.name) == prefix_lower() + key) return e.data;
    }
    auto path = FindFileNoCase(base_, name);
    if (!path && base_ != folder_) path = FindFileNoCase(folder_, name);
    if (!path) {
      diags_.Error(file, line, what + " \"" + name + "\" not found in " + base_);
      return std::nullopt;
    }
    auto bytes = ReadWholeFile(*path);
    if (!bytes) {
      diags_.Error(file, line, "cannot read " + *path);
      return std::nullopt;
    }
    PlannedEntry entry;
    entry.name = prefix_ + name;
    entry.data = text ? WithCrLf(*bytes) : std::move(*bytes);
    entries.push_back(std::move(entry));
    return entries.back().data;
  }

  // Packs a layout and the pictures and rich-text files it names, read as the page reads it.
  void Layout(const std::string& name, const std::string& list_file, std::uint32_t line) {
    auto bytes = Add(name, true, list_file, line, "layout");
    if (!bytes) return;
    const std::string file = Join(base_, name);
    ForEachLayoutBlock(AsText(*bytes), [&](const TLayoutBlock& block) {
      for (const TLayoutProperty& p : block.Properties) {
        if (AsciiLowerCase(p.Key) != "file") continue;
        const auto number = static_cast<std::uint32_t>(p.Number);
        if (block.Type == TControlType::Image) {
          Add(p.Value, false, file, number, "picture");
        } else if (block.Type == TControlType::RichEdit && p.Value.find("<%") == std::string::npos) {
          // A placeholder (the change log) names an entry packed by its own command.
          Add(p.Value, false, file, number, "rich-text file");
        }
      }
    });
  }

 private:
  std::string prefix_lower() const { return platform::AnsiLowerCase(prefix_); }
  std::string base_, folder_, prefix_;
  Diagnostics& diags_;
};

}  // namespace

std::vector<std::uint8_t> WithCrLf(const std::vector<std::uint8_t>& text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

std::vector<PlannedEntry> CollectPageFiles(const std::string& folder, const std::string& entry_prefix,
                                           const std::string& script, std::uint32_t line, Diagnostics& diags) {
  std::string base = folder;
  if (auto layout = FindDirNoCase(folder, "layout"); layout && FindFileNoCase(*layout, kPageListEntry)) {
    base = *layout;
  }
  auto list_path = FindFileNoCase(base, kPageListEntry);
  if (!list_path) {
    diags.Error(script, line, std::string("no ") + kPageListEntry + " in " + Join(folder, "layout") + " or " + folder);
    return {};
  }
  Collector collector(base, folder, entry_prefix, diags);
  auto list = collector.Add(kPageListEntry, true, script, line, "page list");
  if (!list) return {};

  std::size_t pages = 0;
  ForEachPageListLine(AsText(*list), [&](const TPageListLine& l) {
    const auto number = static_cast<std::uint32_t>(l.Number);
    if (l.Section == "pages") {
      ++pages;
      collector.Layout(l.Text, *list_path, number);
    } else if (l.Section == "pagetypes") {
      // The wizard gives a type only to a page listed before it.
      if (l.Index > pages) {
        diags.Warning(*list_path, number, "page type \"" + l.Text + "\" has no page (list [Pages] first)");
      } else if (!PageTypeFromWord(l.Text)) {
        diags.Warning(*list_path, number, "unknown page type \"" + l.Text + "\"; the page becomes a welcome page");
      }
    }
  });
  if (pages == 0) diags.Warning(*list_path, 0, "the page list names no pages");
  return std::move(collector.entries);
}

}  // namespace zq::builder
