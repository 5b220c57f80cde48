#include "ui/expand_caption.h"

namespace zq {

std::u16string ExpandCaption(const TLanguages& languages, std::int32_t table, const TLanguageStrings& strings,
                             const std::u16string& text) {
  const std::u16string tags_expanded = languages.ExpandLangTags(text, table);
  const std::u16string broken = TLanguages::ReplaceText(tags_expanded, u"<BR>", u"\r");
  return strings.ExpandVariables(broken);
}

}  // namespace zq
