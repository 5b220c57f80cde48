// Builds a package's page set as the wizard builds it, without a window, to find what would
// stop the wizard: start-up refuses such a setup and `zq verify` names the fault.
#pragma once

#include <string>

#include "ui/control_parser.h"

namespace zq {

// Empty when the pages build (or there is no page list, which the wizard handles itself);
// else what the page list or a layout does wrong ("Pages.txt, line 3: ...").
std::string PageSetProblem(const TLanguages& languages, const TLanguageStrings& strings, const EntryFetcher& fetch);

}  // namespace zq
