// A program that removes itself and the folder it runs from once it has ended.
#pragma once

namespace zq::platform {

// Host: the program file and its folder (when empty) go at once. win32: a running program
// cannot delete its own file, so a hidden command interpreter is left to do it as soon as
// this process has ended (and, failing that, the system removes them at the next restart).
void DeleteSelfAndFolder();

}  // namespace zq::platform
