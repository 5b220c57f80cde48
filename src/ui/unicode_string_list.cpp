#include "ui/unicode_string_list.h"

#include "ui/language_error.h"

namespace zq {
namespace {

std::u16string DecodeUtf16Le(const unsigned char* bytes, std::size_t size) {
  constexpr std::size_t kByteOrderMark = 2;
  std::u16string units;
  if (size <= kByteOrderMark) return units;
  const std::size_t count = (size - kByteOrderMark) / 2;
  units.resize(count);
  const unsigned char* p = bytes + kByteOrderMark;
  for (std::size_t i = 0; i < count; ++i, p += 2) units[i] = static_cast<char16_t>(p[0] | (p[1] << 8));
  return units;
}

}  // namespace

int TUnicodeStringList::Add(const std::u16string& text) { return AddObject(text, 0); }

int TUnicodeStringList::AddObject(const std::u16string& text, std::int32_t value) {
  items_.push_back(Item{text, value});
  return static_cast<int>(items_.size()) - 1;
}

void TUnicodeStringList::Clear() { items_.clear(); }

int TUnicodeStringList::Count() const { return static_cast<int>(items_.size()); }

const std::u16string& TUnicodeStringList::Get(int index) const {
  if (index < 0 || index >= Count())
    throw LanguageError("list index " + std::to_string(index) + " out of range: the list has " +
                        std::to_string(Count()) + " item(s)");
  return items_[static_cast<std::size_t>(index)].text;
}

void TUnicodeStringList::LoadFromBuffer(const void* bytes, std::size_t size) {
  if (bytes == nullptr) throw LanguageError("Cannot open file");
  Clear();
  const std::u16string units = DecodeUtf16Le(static_cast<const unsigned char*>(bytes), size);
  std::size_t start = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == u'\r') {
      Add(units.substr(start, i - start));
      start = i + 1;
    } else if (units[i] == u'\n') {
      start = i + 1;
    }
  }
  if (start < units.size()) Add(units.substr(start));
}

}  // namespace zq
