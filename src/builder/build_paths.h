// Paths as the builder meets them: the script's own path as given on the command line (a
// host path on the host, a Windows path on win32) and paths written in scripts with either
// separator, relative to the script's folder.
#pragma once

#include <string>
#include <vector>

namespace zq::builder {

// The folder part of a path, without its separator; "" for a bare file name.
std::string DirName(const std::string& path);
// The last component of a path.
std::string BaseName(const std::string& path);
// True for "/x", "\x", "C:..." and "\\server\...".
bool IsAbsolute(const std::string& path);
// `relative` below `dir` with the separator `dir` uses; `relative` itself when absolute.
std::string Join(const std::string& dir, const std::string& relative);

// Where the stock language tables are looked for, in order: "languages" beside the running
// program, then "../share/zqsetup/languages", then the source tree's "languages".
std::vector<std::string> StockLanguageDirs();

// The engine program to put in front of a package when none is named: "zqsetup.exe" or
// "zqsetup" beside the running program, for an x64 script "zqsetup64.exe" first (a release
// folder holds both engines); "" when there is none.
std::string FindSiblingStub(bool x64 = false);
// The finaliser built with an engine program, beside it: zqfinalise64.exe for zqsetup64.exe.
std::string FinaliserOfStub(const std::string& stub);
// Where the stock page sets ("install", "uninstall") are looked for, in order: pages\ beside
// the program, ..\share\zqsetup\pages\, the source tree's pages\.
std::vector<std::string> StockPageDirs();

}  // namespace zq::builder
