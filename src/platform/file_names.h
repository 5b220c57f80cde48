// The paths Windows refuses to create, judged from the text alone. The host stand-in refuses
// them like Windows, and the win32 build refuses device names, which Windows would open as
// the device (a write to "NUL.txt" succeeds and leaves no file).
#pragma once

#include <string>

#include "platform/files.h"

namespace zq::platform {

// For a full path "X:\...": BadName when a component below the drive holds < > : " | ? * or a
// control character, or is a reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$,
// COM1-9, LPT1-9, also with an extension); TooLong when the path reaches the system's limit
// (260 characters with the terminator for a file, 248 for a folder). None otherwise, and for
// any other form of path, which the system judges itself. A NUL byte anywhere is BadName.
FileFault RefusedForCreation(const std::string& path, bool directory);

// The platform's file functions note why they failed for LastFileFault.
void NoteFileFault(FileFault fault);

}  // namespace zq::platform
