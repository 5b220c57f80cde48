// The compiled script written back as source: labels as ":name" lines, jump targets as
// label names, the package commands' secret words in clear, and each group-owning line's
// group number as a trailing comment. Compiling the text gives the same compiled lines.
#pragma once

#include <string>

#include "container/setup_info.h"
#include "script/comp_lines.h"

namespace zq::builder {

// 8-bit text, CR LF free (lines end with "\n").
std::string PrintScript(const TCompLines& lines, const TSetupInfoFile& info);

}  // namespace zq::builder
