// The icon update on a real program file (a copy of this test program).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/exe_icon.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace zq::platform {
namespace {

std::string Icon(BYTE size, BYTE shade) {
  const std::size_t image_bytes = 40 + size * size * 4 + size * 4;
  std::string image(image_bytes, static_cast<char>(shade));
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = size;
  h.biHeight = size * 2;
  h.biPlanes = 1;
  h.biBitCount = 32;
  std::memcpy(image.data(), &h, sizeof h);
  std::string ico(6 + 16, '\0');
  const WORD dir[3] = {0, 1, 1};
  std::memcpy(ico.data(), dir, 6);
  BYTE entry[16] = {size, size, 0, 0, 1, 0, 32, 0};
  const DWORD bytes = static_cast<DWORD>(image.size()), offset = 22;
  std::memcpy(entry + 8, &bytes, 4);
  std::memcpy(entry + 12, &offset, 4);
  std::memcpy(ico.data() + 6, entry, 16);
  return ico + image;
}

std::string Resource(const std::string& exe, LPCWSTR type, LPCWSTR name) {
  HMODULE m = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (m == nullptr) return "";
  std::string out;
  if (HRSRC r = FindResourceW(m, name, type)) {
    const char* p = static_cast<const char*>(LockResource(LoadResource(m, r)));
    out.assign(p, SizeofResource(m, r));
  }
  FreeLibrary(m);
  return out;
}

TEST(ExeIcon, ImageAndGroupAgreeAfterTheUpdate) {
  test::TempDir dir;
  const std::string exe = dir / "program.exe";
  ASSERT_TRUE(CopyFileTo(ExecutablePath(), exe, false));
  for (BYTE size : {BYTE{32}, BYTE{16}}) {
    const std::string ico = Icon(size, static_cast<BYTE>(size * 3));
    test::WriteAll(dir / "icon.ico", ico);
    ASSERT_TRUE(SetExeIcon(dir / "icon.ico", exe));
    EXPECT_EQ(Resource(exe, MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(1)), ico.substr(22));
    const std::string group = Resource(exe, MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1));
    ASSERT_EQ(group.size(), 6u + 14u);
    EXPECT_EQ(static_cast<BYTE>(group[6]), size);  // width of the one entry
    DWORD bytes = 0;
    std::memcpy(&bytes, group.data() + 6 + 8, 4);
    EXPECT_EQ(bytes, ico.size() - 22);
  }
  test::WriteAll(dir / "bad.ico", "not an icon");
  EXPECT_FALSE(SetExeIcon(dir / "bad.ico", exe));
}

}  // namespace
}  // namespace zq::platform
