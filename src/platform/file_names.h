// The paths Windows refuses to create, judged from the text alone. The host stand-in refuses
// them like Windows, and the win32 build refuses device names, which Windows would open as
// the device (a write to "NUL.txt" succeeds and leaves no file).
#pragma once

#include <string>

#include "platform/files.h"

namespace zq::platform {

// For a full path "X:\...": BadName when a component below the drive holds < > : " | ? * or a
// control character, or is a reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM1-9, LPT1-9, also with an extension); TooLong when a component is longer than 255 UTF-16
// units or the path longer than the extended-length form takes (32,767 units with the
// terminator and the "\\?\" in front). None otherwise, and for any other form of path, which
// the system judges itself. A NUL byte anywhere is BadName.
FileFault RefusedForCreation(const std::string& path, bool directory);

// The form of a full path "X:\..." to hand to the wide file functions: as it is while it is
// short, the extended-length form "\\?\X:\..." (resolved as the system would resolve the
// short form) once it nears MAX_PATH, so that long paths work without a system setting.
std::string SystemPathForm(const std::string& path);

// The platform's file functions note why they failed for LastFileFault.
void NoteFileFault(FileFault fault);

}  // namespace zq::platform
