// The folder macros by the setup's architecture and scope, and the meaning the uninstall log
// keeps for them whichever setup wrote it.
#include <gtest/gtest.h>

#include "engine/macros.h"
#include "engine/setup_context.h"

namespace zq {
namespace {

struct Case {
  Architecture arch;
  InstallScope scope;
  const char* text;      // as a script writes it
  const char* path;      // where it lands on 64-bit Windows
  const char* recorded;  // as the uninstall log keeps it
};

void LoadFolders(SetupContext& ctx, Architecture arch, InstallScope scope) {
  LoadedSetup& s = ctx.SetupToLoad();
  s.Options.Arch = arch;
  s.Options.Scope = scope;
  s.ProgramFiles32Dir = "C:\\Program Files (x86)\\";
  s.ProgramFiles64Dir = "C:\\Program Files\\";
  s.ProgramFilesDir = arch == Architecture::X64 ? s.ProgramFiles64Dir : s.ProgramFiles32Dir;
  s.AppDataDir = "C:\\users\\me\\AppData\\Roaming\\";
  s.StartMenuDir = s.AppDataDir + "Microsoft\\Windows\\Start Menu\\Programs\\";
  s.DesktopDir = "C:\\users\\me\\Desktop\\";
  s.LocalAppDataDir = "C:\\users\\me\\AppData\\Local\\";
  s.CommonAppDataDir = "C:\\ProgramData\\";
  s.CommonStartMenuDir = s.CommonAppDataDir + "Microsoft\\Windows\\Start Menu\\Programs\\";
  s.CommonDesktopDir = "C:\\users\\Public\\Desktop\\";
  ctx.Choices.InstallDir = "D:\\Apps\\Demo";
}

TEST(MachineMacros, ScriptFoldersFollowArchitectureAndScopeAndTheLogSaysWhichItWas) {
  constexpr auto x86 = Architecture::X86, x64 = Architecture::X64;
  constexpr auto def = InstallScope::Default, machine = InstallScope::Machine, user = InstallScope::User;
  const Case cases[] = {
      {x86, def, "$PROGRAMFILES\\A\\x", "C:\\Program Files (x86)\\A\\x", "$PROGRAMFILESA\\x"},
      {x64, def, "$PROGRAMFILES\\A\\x", "C:\\Program Files\\A\\x", "$PROGRAMFILES64\\A\\x"},
      {x64, def, "$ProgramFiles32\\A\\x", "C:\\Program Files (x86)\\A\\x", "$PROGRAMFILESA\\x"},
      {x86, def, "$PROGRAMFILES64\\A", "C:\\Program Files\\A", "$PROGRAMFILES64\\A"},
      {x86, def, "$PROGRAMFILES32bit\\y", "C:\\Program Files (x86)\\32bit\\y", "$PROGRAMFILES32bit\\y"},
      {x86, def, "$SMPROGRAMS\\D\\r.lnk",
       "C:\\users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\D\\r.lnk", "$SMPROGRAMSD\\r.lnk"},
      {x86, machine, "$SMPROGRAMS\\D\\r.lnk", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\D\\r.lnk",
       "$COMMONSMPROGRAMS\\D\\r.lnk"},
      {x64, machine, "$DESKTOP\\r.lnk", "C:\\users\\Public\\Desktop\\r.lnk", "$COMMONDESKTOP\\r.lnk"},
      {x86, user, "$DESKTOP\\r.lnk", "C:\\users\\me\\Desktop\\r.lnk", "$DESKTOP\\r.lnk"},
      {x86, user, "$LOCALAPPDATA\\Programs\\D\\x", "C:\\users\\me\\AppData\\Local\\Programs\\D\\x",
       "$LOCALAPPDATA\\Programs\\D\\x"},
      {x86, def, "$COMMONAPPDATA\\D\\c.ini", "C:\\ProgramData\\D\\c.ini", "$COMMONAPPDATA\\D\\c.ini"},
      {x86, user, "$COMMONSMPROGRAMS\\r.lnk", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\r.lnk",
       "$COMMONSMPROGRAMS\\r.lnk"},
  };
  for (const Case& c : cases) {
    SetupContext ctx;
    LoadFolders(ctx, c.arch, c.scope);
    const std::string path = ExpandMacrosAnsi(ctx, c.text);
    EXPECT_EQ(path, c.path) << c.text;
    EXPECT_EQ(CollapseMacrosAnsi(ctx, path), c.recorded) << c.text;
    // Every uninstaller, whatever its own options, finds the path again.
    for (const Architecture arch : {x86, x64}) {
      for (const InstallScope scope : {def, machine, user}) {
        SetupContext uninstaller;
        LoadFolders(uninstaller, arch, scope);
        EXPECT_EQ(ExpandMacrosAnsi(uninstaller, c.recorded, MacroUse::Log), c.path) << c.recorded;
      }
    }
  }
}

}  // namespace
}  // namespace zq
