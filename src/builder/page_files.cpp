#include "builder/page_files.h"

#include "builder/build_paths.h"
#include "builder/source_files.h"
#include "container/pak_string.h"
#include "platform/text.h"

namespace zq::builder {

namespace {

struct TextLine {
  std::uint32_t number;  // 1-based, counted in CR-ended lines of the CR LF form
  std::string text;
};

// The engine's line rules: the text ends at a NUL, lines end at CR, each line is trimmed of
// characters at or below a blank, and empty lines are skipped.
std::vector<TextLine> EngineLines(const std::vector<std::uint8_t>& bytes) {
  std::vector<TextLine> lines;
  std::string current;
  std::uint32_t number = 1;
  auto flush = [&] {
    std::size_t b = 0, e = current.size();
    while (b < e && static_cast<unsigned char>(current[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(current[e - 1]) <= 0x20) --e;
    if (e > b) lines.push_back({number, current.substr(b, e - b)});
    current.clear();
  };
  for (std::uint8_t c : bytes) {
    if (c == 0) break;
    if (c == '\r') {
      flush();
      ++number;
    } else {
      current += static_cast<char>(c);
    }
  }
  flush();
  return lines;
}

bool IsKnownPageType(const std::string& word) {
  static const char* kTypes[] = {"welcome", "changelog", "installdir", "patch",
                                 "patching", "finish", "mainlayout", "uninstall"};
  const std::string lower = platform::AnsiLowerCase(word);
  for (const char* t : kTypes) {
    if (lower == t) return true;
  }
  return false;
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

  void Layout(const std::string& name, const std::string& list_file, std::uint32_t line) {
    auto bytes = Add(name, true, list_file, line, "layout");
    if (!bytes) return;
    const std::string file = Join(base_, name);
    std::string type;
    int block_line = 0;
    for (const auto& l : EngineLines(*bytes)) {
      if (l.text[0] == '[') {
        block_line = 1;
        type.clear();
        continue;
      }
      ++block_line;
      auto eq = l.text.find('=');
      if (eq == std::string::npos) continue;
      if (block_line == 2) {
        type = platform::AnsiLowerCase(l.text.substr(eq + 1));
        continue;
      }
      if (platform::AnsiLowerCase(l.text.substr(0, eq)) != "file") continue;
      const std::string value = l.text.substr(eq + 1);
      if (type == "timage") {
        Add(value, false, file, l.number, "picture");
      } else if (type == "trichedit" && value.find("<%") == std::string::npos) {
        // A placeholder (the change log) names an entry packed by its own command.
        Add(value, false, file, l.number, "rich-text file");
      }
    }
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
  if (auto layout = FindDirNoCase(folder, "layout"); layout && FindFileNoCase(*layout, "Pages.txt")) {
    base = *layout;
  }
  auto list_path = FindFileNoCase(base, "Pages.txt");
  if (!list_path) {
    diags.Error(script, line, "no Pages.txt in " + Join(folder, "layout") + " or " + folder);
    return {};
  }
  Collector collector(base, folder, entry_prefix, diags);
  auto list = collector.Add("Pages.txt", true, script, line, "page list");
  if (!list) return {};

  std::string section;
  std::size_t pages = 0, types = 0;
  for (const auto& l : EngineLines(*list)) {
    if (l.text[0] == '[') {
      section = platform::AnsiLowerCase(l.text.size() >= 2 ? l.text.substr(1, l.text.size() - 2) : "");
      continue;
    }
    if (section == "pages") {
      ++pages;
      collector.Layout(l.text, *list_path, l.number);
    } else if (section == "pagetypes") {
      ++types;
      if (types > pages) {
        diags.Warning(*list_path, l.number, "page type \"" + l.text + "\" has no page (list [Pages] first)");
      } else if (!IsKnownPageType(l.text)) {
        diags.Warning(*list_path, l.number, "unknown page type \"" + l.text + "\"; the page becomes a welcome page");
      }
    }
  }
  if (pages == 0) diags.Warning(*list_path, 0, "the page list names no pages");
  return std::move(collector.entries);
}

}  // namespace zq::builder
