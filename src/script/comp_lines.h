// The compiled script ("CompiledLines"): a flat table of lines, each naming a command by its
// registry index and carrying that command's arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zq {

struct TCompLine {
  std::int32_t CommandIndex = 0;  // 1..kCommandCount a command, 0 a label or empty line, -1 build time only
  std::vector<std::string> Args;
  std::int32_t ArgCount = 0;  // always Args.size()
  std::uint32_t LineNumber = 0;
};

inline constexpr std::int32_t kDefinitionOnlyIndex = -1;
inline constexpr std::uint32_t kDefinitionOnlyLineNumber = 0xFFFFFFFFu;

class TCompLines {
 public:
  std::vector<TCompLine> Lines;

  // Replaces the table with the lines of an entry. A damaged entry (one that ends early,
  // names a command outside the registry, has a negative argument count, a command line whose
  // number is not its own position, or bytes left over) is refused whole: false, the table
  // is left as it was and `problem` says what is wrong.
  bool LoadFromBuffer(const void* data, std::size_t size, std::string* problem = nullptr);
  std::vector<std::uint8_t> Serialize() const;

  // Passes every argument through `convert` (text read in a legacy code page, to UTF-8).
  void MapText(const std::function<std::string(const std::string&)>& convert);

  // True when line `position` has at least n arguments.
  bool HasParamCount(std::size_t position, int n) const;
};

}  // namespace zq
