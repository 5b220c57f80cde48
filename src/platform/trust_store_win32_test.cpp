// The folder's rights as Windows keeps them: its owner and its access list.
#include "platform/trust_store.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include "platform/win32_strings.h"
#include "support/temp_dir.h"

namespace zq::platform {
namespace {

bool MakeFolderWithRights(const std::string& path, const wchar_t* sddl) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &attributes.lpSecurityDescriptor,
                                                            nullptr)) {
    return false;
  }
  const bool made = CreateDirectoryW(win32::Wide(path).c_str(), &attributes);
  LocalFree(attributes.lpSecurityDescriptor);
  return made;
}

// Wine keeps no rights of its own: it turns them into Unix mode bits, minus the umask, and reads
// back SYSTEM, the Unix owner as the running user, and Everyone for the bits of others. Rights
// given to any other account land in the group's bits, which it never reads back.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

TEST(TrustStoreWindows, AFolderOthersCanReachIsRefused) {
  const struct {
    const wchar_t* sddl;
    const char* why;
    const char* wine_why;  // nullptr: Wine cannot keep such rights
  } cases[] = {
      {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)", "other accounts may write it",
       "other accounts may read it"},
      {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FR;;;WD)", "other accounts may read it", "other accounts may read it"},
      {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)", "other accounts may read it", nullptr},
      {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;CO)", "other accounts may write it", nullptr},
      {L"O:WDD:P(A;OICI;FA;;;BA)", "another account owns it", nullptr},
      // Wine makes this one mode 0: no one else may open it there.
      {L"O:BAD:NO_ACCESS_CONTROL", "it has no access list, so every account may write it", nullptr},
  };
  const bool wine = UnderWine();
  for (const auto& c : cases) {
    const char* why = wine ? c.wine_why : c.why;
    if (why == nullptr) continue;
    test::TempDir dir;
    const std::string path = dir / "zqsetup";
    ASSERT_TRUE(MakeFolderWithRights(path, c.sddl)) << win32::Narrow(c.sddl);
    for (const TrustScope scope : {TrustScope::Machine, TrustScope::User}) {
      EXPECT_EQ(OpenTrustedFolderAt(path, scope).problem, path + ": " + why) << win32::Narrow(c.sddl);
    }
  }
}

TEST(TrustStoreWindows, ALinkInPlaceOfTheFolderIsRefused) {
  test::TempDir dir;
  const std::string target = dir / "target";
  ASSERT_TRUE(OpenTrustedFolderAt(target, TrustScope::User).ok());
  const std::string path = dir / "zqsetup";
  // Windows gives the right to few accounts; Wine 8 says it made one and makes nothing.
  if (!CreateSymbolicLinkW(win32::Wide(path).c_str(), win32::Wide(target).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      GetFileAttributesW(win32::Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no symbolic link can be made here";
  }
  EXPECT_EQ(OpenTrustedFolderAt(path, TrustScope::User).problem, path + ": it is a link");
}

TEST(TrustStoreWindows, AFolderDenyingOthersIsTrusted) {
  test::TempDir dir;
  const std::string path = dir / "zqsetup";
  ASSERT_TRUE(MakeFolderWithRights(path, L"O:BAD:P(D;OICI;FA;;;BG)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"));
  const TrustedFolder folder = OpenTrustedFolderAt(path, TrustScope::Machine);
  EXPECT_TRUE(folder.ok()) << folder.problem;
}

}  // namespace
}  // namespace zq::platform
