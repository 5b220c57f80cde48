// The optional parts of a setup as its compiled lines declare them: each "component" line and
// the lines after it up to the next "component" or "endcomponent", which run only when the
// component is chosen. The builder fills in every stored field, so the engine, the pages and
// `zq script` read the same facts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

class TCompLines;

enum class ComponentState : std::uint8_t { On, Off, Fixed };

// "on", "off", "fixed", any case; nothing for another word.
std::optional<ComponentState> ComponentStateFromWord(std::string_view word);
const char* ComponentStateWord(ComponentState state);

// The stored arguments of a component line, by position (1-based).
enum ComponentArg : int {
  kComponentName = 1,
  kComponentCaption,
  kComponentState,
  kComponentDescription,
  kComponentSize,
  kComponentLast
};

struct ComponentInfo {
  std::string Name;  // as the script wrote it; compared without regard to case
  std::string Caption;
  ComponentState State = ComponentState::On;
  std::string Description;
  std::int64_t Size = 0;                                          // bytes of its files, as the builder counted them
  std::uint32_t Line = 0;                                         // position of its "component" line
  std::uint32_t Last = 0;                                         // position of its last line
  bool Selected() const { return State != ComponentState::Off; }  // the default choice
};

// In line order. A line whose stored fields do not read (a hand-made script) gives a component
// that holds only its own line and counts no size.
std::vector<ComponentInfo> ComponentsOf(const TCompLines& lines);
// The index of the component whose lines hold position `line`, or -1.
int ComponentAt(const std::vector<ComponentInfo>& components, std::uint32_t line);
// Element g: the component that package group g's line lies in, or -1 (element 0 for group 0).
std::vector<int> GroupComponents(const TCompLines& lines, const std::vector<ComponentInfo>& components);
// The component named so (without regard to case), or -1.
int FindComponent(const std::vector<ComponentInfo>& components, std::string_view name);
// A name /COMPONENTS= can list: letters, digits, "_", "-" and ".", not empty.
bool IsValidComponentName(std::string_view name);

}  // namespace zq
