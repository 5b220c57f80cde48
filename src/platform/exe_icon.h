// Giving a program file the first image of an icon file as its icon.
#pragma once

#include <string>

namespace zq::platform {

// Replaces the program's icon image 1 with the first image of `icon_file` and rewrites the
// program's first icon group so that it describes exactly that image (size, colours, bytes),
// keeping the two consistent. False when the icon file is unreadable or the program cannot be
// updated. Host: programs carry no icon resources; always false.
bool SetExeIcon(const std::string& icon_file, const std::string& exe_file);

}  // namespace zq::platform
