// What a compiled script asks to be packed: the container entries in their final order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zq::builder {

struct PlannedEntry {
  std::string name;
  std::uint16_t group = 0;
  std::string source;              // file to read; empty: `data` is the content
  std::vector<std::uint8_t> data;  // content made by the builder itself
  bool text = false;               // `data` is text of the package (a page file), not bytes
  bool files = false;              // of a group extracted as files: may join a solid block
};

}  // namespace zq::builder
