// Language tables (UTF-16 "*.wri" entries) and the expansions the wizard applies to their texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/expand_caption.h"
#include "ui/language_error.h"
#include "ui/language_strings.h"
#include "ui/languages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zq::TLanguages languages;
  std::string problem;
  if (!languages.AddLanguage(data, size, &problem)) {
    if (problem.empty() || !languages.Items.empty()) std::abort();
    return 0;
  }
  languages.Current = 0;
  const zq::TLanguage& table = languages.Items[0];
  for (std::uint16_t id : table.LangIds) {
    if (languages.FindLanguage(id) != 0) std::abort();
  }
  const std::string title = "Demo <LANG1>";
  zq::TLanguageStrings strings;
  strings.Add("<%SETUPTITLE%>", &title);
  strings.Add("<%SPACEAVA%>", nullptr);
  // Every text as a caption: tags inside texts that name texts, placeholders, line breaks.
  for (const zq::TLID& entry : table.Strings) {
    languages.GetText(entry.Number);
    try {
      zq::ExpandCaption(languages, languages.Current, strings, entry.Text);
    } catch (const zq::LanguageError&) {
      // A tag without its ">" or its number: the error report's case.
    }
  }
  if (table.Strings.size() >= 2) {
    zq::TLanguages::ReplaceText(table.Strings[0].Text, table.Strings[1].Text, table.LangName);
  }
  return 0;
}
