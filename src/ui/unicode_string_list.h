// An ordered list of wide texts, each with a 32-bit value, filled from a UTF-16 text buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zq {

class TUnicodeStringList {
 public:
  int Add(const std::u16string& text);
  int AddObject(const std::u16string& text, std::int32_t value);
  void Clear();
  int Count() const;
  // Throws LanguageError for an index out of range.
  const std::u16string& Get(int index) const;

  // Replaces the content by the lines of a buffer: a two-byte byte-order mark (not examined),
  // then UTF-16 little-endian units, a final odd byte ignored. CR ends a line; LF moves the
  // start of the next line past itself, so text before a lone LF is dropped. A last line
  // without a break is kept when not empty. A null buffer throws "Cannot open file".
  void LoadFromBuffer(const void* bytes, std::size_t size);

 private:
  struct Item {
    std::u16string text;
    std::int32_t value = 0;
  };
  std::vector<Item> items_;
};

}  // namespace zq
