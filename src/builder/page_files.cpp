#include "builder/page_files.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "base/path_text.h"
#include "builder/build_paths.h"
#include "builder/source_files.h"
#include "container/entry_names.h"
#include "container/pak_string.h"
#include "platform/text.h"
#include "ui/layout_blocks.h"
#include "ui/line_list.h"
#include "ui/page_control.h"
#include "ui/page_error.h"
#include "ui/page_list.h"

namespace zq::builder {

namespace {

std::string_view AsText(const std::vector<std::uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

class Collector {
 public:
  Collector(std::string base, std::string folder, std::string prefix, Diagnostics& diags, bool has_changelog)
      : base_(std::move(base)), folder_(std::move(folder)), prefix_(std::move(prefix)), diags_(diags),
        has_changelog_(has_changelog) {}

  std::vector<PlannedEntry> entries;

  // Packs `name` found below the base (or the pages folder); returns its bytes, or nullopt.
  std::optional<std::vector<std::uint8_t>> Add(const std::string& name, bool text, const std::string& file,
                                               std::uint32_t line, const std::string& what) {
    const std::string key = platform::LowerCase(name);
    for (const auto& e : entries) {
      if (platform::LowerCase(e.name) == prefix_lower() + key) return e.data;
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
    entry.text = text;
    entries.push_back(std::move(entry));
    return entries.back().data;
  }

  // Packs a layout and the pictures and rich-text files it names, read as the page reads it.
  void Layout(const std::string& name, const std::string& list_file, std::uint32_t line) {
    auto bytes = Add(name, true, list_file, line, "layout");
    if (!bytes) return;
    const std::string file = Join(base_, name);
    UnknownTypes(AsText(*bytes), file);
    ForEachLayoutBlock(AsText(*bytes), [&](const LayoutBlock& block) {
      for (const LayoutProperty& p : block.Properties) {
        if (AsciiLowerCase(p.Key) != "file") continue;
        const auto number = static_cast<std::uint32_t>(p.Number);
        if (block.Type == ControlType::Image) {
          Add(p.Value, false, file, number, "picture");
        } else if (block.Type == ControlType::RichEdit && p.Value.find("<%") == std::string::npos) {
          Add(p.Value, false, file, number, "rich-text file");
        } else if (block.Type == ControlType::RichEdit && !has_changelog_ &&
                   AsciiUpperCase(p.Value).find("<%CHANGELOG%>") != std::string::npos) {
          // A placeholder (the change log) names an entry packed by its own command.
          diags_.Warning(file, number,
                         "the page shows the change log but the script has no changelog: the setup shows "
                         "\"Rich Edit Error\" and an empty page");
        }
      }
    });
  }

 private:
  // The engine passes over a block without a known type: the control is missing, unannounced.
  void UnknownTypes(std::string_view text, const std::string& file) {
    TLineList lines;
    SplitLines(lines, text);
    ForEachSection(lines, [&](const TLineList& section, const std::vector<std::size_t>& numbers) {
      const std::string head = section.Get(0);
      if (head.empty() || head.front() != '[') return;
      const std::string type_line = section.Get(1);
      const std::size_t eq = type_line.find('=');
      if (section.Count() < 2 || eq == std::string::npos) {
        diags_.Warning(file, static_cast<std::uint32_t>(numbers[0]),
                       "control " + head + " has no type line (Type=TLabel, ...): the setup leaves it out");
      } else if (!ControlTypeFromWord(type_line.substr(eq + 1))) {
        diags_.Warning(file, static_cast<std::uint32_t>(numbers[1]),
                       "unknown control type \"" + type_line.substr(eq + 1) + "\": the setup leaves the control out");
      }
    });
  }

  std::string prefix_lower() const { return platform::LowerCase(prefix_); }
  std::string base_, folder_, prefix_;
  Diagnostics& diags_;
  bool has_changelog_;
};

// The page list without the pages of the types `drop` picks, and their types.
std::string WithoutPages(std::string_view list, const std::function<bool(PageKind)>& drop_type) {
  std::vector<std::size_t> page_lines, type_lines;
  std::vector<std::size_t> drop;
  std::vector<std::pair<std::size_t, std::size_t>> types;  // index, line
  ForEachPageListLine(list, [&](const PageListLine& l) {
    if (l.Section == "pages") page_lines.push_back(l.Number);
    if (l.Section != "pagetypes") return;
    if (const auto type = PageTypeFromWord(l.Text); type && drop_type(*type)) types.emplace_back(l.Index, l.Number);
  });
  for (const auto& [index, number] : types) {
    if (index == 0 || index > page_lines.size()) continue;
    drop.push_back(page_lines[index - 1]);
    drop.push_back(number);
  }
  std::string out;
  std::size_t number = 1;
  for (std::size_t start = 0; start < list.size(); ++number) {
    // Lines end at CR, as the engine reads them; the LF after one goes with it.
    std::size_t end = list.find('\r', start);
    end = end == std::string_view::npos ? list.size() : end + 1;
    if (end < list.size() && list[end] == '\n') ++end;
    if (std::find(drop.begin(), drop.end(), number) == drop.end()) out += list.substr(start, end - start);
    start = end;
  }
  return out;
}

// Builds the pages as the engine does, against a page area without a window; the engine
// ends the setup on what it throws, so each throw is an error here.
void BuildPagesAsTheEngine(const std::vector<PlannedEntry>& entries, const std::string& prefix, const std::string& base,
                           Diagnostics& diags, std::vector<std::string>* toggles) {
  TLanguages languages;  // no current table: tags are still read, and their texts are "NOT FOUND"
  languages.Current = -1;
  TLanguageStrings strings;
  auto fetch = [&](const std::string& name) -> std::optional<std::vector<std::uint8_t>> {
    // Placeholders name entries packed by their own commands; missing files are reported above.
    if (name.find("<%") != std::string::npos) return std::vector<std::uint8_t>{};
    const std::string key = platform::LowerCase(prefix + name);
    for (const auto& e : entries) {
      if (platform::LowerCase(e.name) == key) return e.data;
    }
    return std::nullopt;
  };
  TSEPageControl pages(PageEnvironment{&languages, &strings, fetch, {}, nullptr});
  try {
    pages.LoadPages(kPageListEntry);
  } catch (const PageError& e) {
    const std::string head = (e.File().empty() ? std::string("page files") : e.File()) +
                             (e.Line() > 0 ? ", line " + std::to_string(e.Line()) : std::string()) + ": ";
    std::string what = e.what();
    if (what.rfind(head, 0) == 0) what.erase(0, head.size());
    diags.Error(Join(base, e.File().empty() ? std::string(kPageListEntry) : e.File()),
                static_cast<std::uint32_t>(e.Line()), what);
  }
  for (int i = 0; i < pages.PageCount(); ++i) {
    if (pages.Page(i).PageType != ptLicense) continue;
    const Control* accept = pages.Area().FindByName("license_accept");
    if (accept == nullptr || accept->Type != ControlType::RadioButton) {
      diags.Warning(Join(base, kPageListEntry), 0,
                    "a License page without a radio button named license_accept: Next never comes on there");
    }
  }
  if (toggles == nullptr) return;
  for (const auto& c : pages.Area().Controls) {
    if (c->IsToggle() && !c->Name.empty()) toggles->push_back(c->Name);
  }
}

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
                                           const std::string& script, std::uint32_t line, Diagnostics& diags,
                                           const PageSetFacts& facts, std::vector<std::string>* toggles) {
  std::string base = folder;
  if (auto layout = FindDirNoCase(folder, "layout"); layout && FindFileNoCase(*layout, kPageListEntry)) {
    base = *layout;
  }
  auto list_path = FindFileNoCase(base, kPageListEntry);
  if (!list_path) {
    diags.Error(script, line, std::string("no ") + kPageListEntry + " in " + Join(folder, "layout") + " or " + folder);
    return {};
  }
  Collector collector(base, folder, entry_prefix, diags, facts.has_changelog || facts.drop_changelog_page);
  auto list = collector.Add(kPageListEntry, true, script, line, "page list");
  if (!list) return {};
  const auto drop = [&facts](PageKind type) {
    return (type == ptChangeLog && facts.drop_changelog_page) || (type == ptComponents && !facts.has_components) ||
           (type == ptLicense && !facts.has_license);
  };
  if (const std::string kept = WithoutPages(AsText(*list), drop); kept != AsText(*list)) {
    list->assign(kept.begin(), kept.end());
    collector.entries.front().data = *list;
  }

  std::size_t pages = 0;
  ForEachPageListLine(AsText(*list), [&](const PageListLine& l) {
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
  BuildPagesAsTheEngine(collector.entries, entry_prefix, base, diags, toggles);
  return std::move(collector.entries);
}

}  // namespace zq::builder
