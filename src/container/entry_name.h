// Entry names become paths below a directory; these are the names that may.
#pragma once

#include <string>

namespace zq {

// True for a relative name whose every component is a plain name: no drive letter, no
// leading "\" or "/", no "." or ".." component, no empty component, no ":" (which would
// name a stream or a device). Only such names are written below a directory.
bool IsSafeEntryName(const std::string& name);

}  // namespace zq
