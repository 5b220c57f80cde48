// win32 only: system DLLs come from System32 alone. A setup is started from a downloads folder
// and the uninstaller from the temporary folder, where anyone may have left a DLL named like a
// system one beside the program; the system's search looks there first.
#pragma once

#ifdef _WIN32

namespace zq::platform {

// From here on the process loads DLLs from System32 only; the first call of a program's main,
// before anything can load one. Where the system lacks that (Windows 7 without its 2011 loader
// update), the current folder at least leaves the search.
void LoadDllsFromSystem32Only();

// A system DLL from System32, loaded for the rest of the process; nullptr when it is missing.
void* LoadSystemDll(const wchar_t* dll);
// A function of a system DLL loaded from System32; nullptr when either is missing. The programs
// import only known system DLLs, which the loader always takes from System32: any other import
// is looked for beside the program first, before main can object.
void* SystemProc(const wchar_t* dll, const char* name);
template <typename Fn>
Fn* SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Fn*>(SystemProc(dll, name));
}

}  // namespace zq::platform

#endif
