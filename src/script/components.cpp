#include "script/components.h"

#include <algorithm>

#include "base/path_text.h"
#include "script/command_table.h"
#include "script/comp_lines.h"

namespace zq {

namespace {

constexpr std::int32_t kComponentIndex = CommandIndexOf("component");

std::optional<std::int64_t> Digits(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<ComponentState> ComponentStateFromWord(std::string_view word) {
  const std::string lower = AsciiLowerCase(std::string(word));
  if (lower == "on") return ComponentState::On;
  if (lower == "off") return ComponentState::Off;
  if (lower == "fixed") return ComponentState::Fixed;
  return std::nullopt;
}

const char* ComponentStateWord(ComponentState state) {
  switch (state) {
    case ComponentState::Off: return "off";
    case ComponentState::Fixed: return "fixed";
    case ComponentState::On: break;
  }
  return "on";
}

std::vector<ComponentInfo> ComponentsOf(const TCompLines& lines) {
  std::vector<ComponentInfo> out;
  for (std::size_t i = 0; i < lines.Lines.size(); ++i) {
    const TCompLine& line = lines.Lines[i];
    if (line.CommandIndex != kComponentIndex) continue;
    auto arg = [&](int n) {
      return static_cast<std::size_t>(n) <= line.Args.size() ? line.Args[n - 1] : std::string();
    };
    ComponentInfo c;
    c.Name = arg(kComponentName);
    c.Caption = arg(kComponentCaption);
    c.State = ComponentStateFromWord(arg(kComponentState)).value_or(ComponentState::On);
    c.Description = arg(kComponentDescription);
    c.Size = Digits(arg(kComponentSize)).value_or(0);
    c.Line = static_cast<std::uint32_t>(i);
    const auto last = Digits(arg(kComponentLast));
    c.Last = last && *last >= static_cast<std::int64_t>(i) && *last < static_cast<std::int64_t>(lines.Lines.size())
                 ? static_cast<std::uint32_t>(*last)
                 : c.Line;
    out.push_back(std::move(c));
  }
  return out;
}

int ComponentAt(const std::vector<ComponentInfo>& components, std::uint32_t line) {
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (line > components[i].Line && line <= components[i].Last) return static_cast<int>(i);
  }
  return -1;
}

std::vector<int> GroupComponents(const TCompLines& lines, const std::vector<ComponentInfo>& components) {
  std::vector<int> out{-1};
  for (std::size_t i = 0; i < lines.Lines.size(); ++i) {
    const auto command = CommandAt(lines.Lines[i].CommandIndex);
    if (command && command->group_kind != GroupKind::None)
      out.push_back(ComponentAt(components, static_cast<std::uint32_t>(i)));
  }
  return out;
}

int FindComponent(const std::vector<ComponentInfo>& components, std::string_view name) {
  const std::string lower = AsciiLowerCase(std::string(name));
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (AsciiLowerCase(components[i].Name) == lower) return static_cast<int>(i);
  }
  return -1;
}

bool IsValidComponentName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
  });
}

}  // namespace zq
