#include "ui/page_set_check.h"

#include "container/entry_names.h"
#include "ui/language_error.h"
#include "ui/page_control.h"
#include "ui/page_error.h"

namespace zq {

std::string PageSetProblem(const TLanguages& languages, const TLanguageStrings& strings, const EntryFetcher& fetch) {
  if (!fetch || !fetch(kPageListEntry)) return {};
  TSEPageControl pages(PageEnvironment{&languages, &strings, fetch, {}, nullptr});
  try {
    pages.LoadPages(kPageListEntry);
  } catch (const PageError& e) {
    return e.what();
  } catch (const LanguageError& e) {
    return e.what();
  }
  return {};
}

}  // namespace zq
