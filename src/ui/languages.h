// All loaded language tables, the one in use, and the text lookups built on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/language.h"
#include "ui/text_ids.h"

namespace zq {

class TLanguages {
 public:
  std::int32_t Current = -1;     // index into Items; set by start-up and the language menu
  std::vector<TLanguage> Items;  // load order

  // Loads a table and appends it. A table that does not load is not appended: false, and
  // `problem` says why (as TLanguage::LoadFromBuffer).
  bool AddLanguage(const void* bytes, std::size_t size, std::string* problem = nullptr);

  // Index of the first table, in load order, that lists the identifier; -1 when none does.
  int FindLanguage(std::uint16_t lang_id) const;

  // The first text of the current table whose number matches in the low 16 bits; otherwise
  // "NOT FOUND " and the number as unsigned 16-bit (-1 gives "NOT FOUND 65535").
  std::u16string GetText(std::int32_t number) const { return GetText(number, Current); }
  // The same in table `table` (an index into Items) instead of the current one.
  std::u16string GetText(std::int32_t number, std::int32_t table) const;
  std::u16string GetText(TextId id, std::int32_t table) const { return GetText(Number(id), table); }

  // Every occurrence of the pattern replaced, searching again from the start after each
  // replacement; A-Z match a-z. An empty pattern changes nothing. Bounded (see the .cpp).
  static std::u16string ReplaceText(const std::u16string& text, const std::u16string& pattern,
                                    const std::u16string& replacement);

  // Every "<LANG" n ">" replaced by GetText(n), tags inside inserted texts included. Text is
  // returned as it is when Current is past the last table. Throws LanguageError for a "<LANG"
  // without ">" or without an integer before it. Bounded like ReplaceText.
  std::u16string ExpandLangTags(const std::u16string& text) const { return ExpandLangTags(text, Current); }
  std::u16string ExpandLangTags(const std::u16string& text, std::int32_t table) const;
};

}  // namespace zq
