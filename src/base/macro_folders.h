// Folders and drives the path macros stand for.
#pragma once

#include <string>

namespace zq {

// Root ("D:\") of the first CD-ROM drive, or empty.
std::string FindCDDrive();
// Path of a shell special folder with a trailing "\"; "\" alone when it cannot be resolved.
std::string GetShellFolder(int csidl);

}  // namespace zq
