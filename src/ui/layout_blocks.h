// A layout file read into its control blocks: the "[name]" head, the type line ("...=TImage"),
// then "key=value" properties.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"

namespace zq {

struct LayoutProperty {
  std::string Key;         // as written, before the first "="; empty for a line without one
  std::string Value;       // after the first "=", or the whole line without one
  std::size_t Number = 0;  // 1-based line number in the file
};

struct LayoutBlock {
  std::string Name;        // the head without its brackets
  std::size_t Number = 0;  // the head's line number
  ControlType Type = ControlType::Label;
  std::vector<LayoutProperty> Properties;  // file order
};

// Visits the blocks of a known control type in file order, grouped as ForEachSection groups
// lines; a block without a type line or with an unknown type builds nothing and is passed over.
void ForEachLayoutBlock(std::string_view text, const std::function<void(const LayoutBlock&)>& visit);

}  // namespace zq
