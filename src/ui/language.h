// One language table: its name, the language identifiers it serves, and its numbered texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zq {

struct TLID {
  std::int32_t Number = 0;  // as read; looked up by its low 16 bits
  std::u16string Text;
};

class TLanguage {
 public:
  std::u16string LangName = u"Untitled";
  std::vector<std::uint16_t> LangIds;  // file order
  std::vector<TLID> Strings;           // file order, duplicates kept (the first one is found)

  // Line 1 is the name, line 2 the hexadecimal identifiers each ended by ";" (the last ";"
  // optional), lines 3 on "number text". A table with fewer than two lines, a bad identifier
  // or a bad number is refused whole: false, the table is left as it was and `problem` says
  // what is wrong, naming the line.
  bool LoadFromBuffer(const void* bytes, std::size_t size, std::string* problem = nullptr);
};

}  // namespace zq
