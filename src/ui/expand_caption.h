// The expansion applied to label, panel and edit captions of page layouts.
#pragma once

#include <string>

#include "ui/language_strings.h"
#include "ui/languages.h"

namespace zq {

// Language tags first, so the "<BR>"s and placeholders of table texts are expanded too; "<BR>"
// (any case) to CR before placeholders, so a "<BR>" in a placeholder's value stays as written.
std::u16string ExpandCaption(const TLanguages& languages, std::int32_t table, const TLanguageStrings& strings,
                             const std::u16string& text);

}  // namespace zq
