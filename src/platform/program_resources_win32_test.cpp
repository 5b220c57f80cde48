// What the builder writes into a program's resources, read back through Windows' own API from
// a real program of this toolchain (a copy of this test program) with a package behind it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "container/pe_resources.h"
#include "container/program_resources.h"
#include "platform/files.h"
#include "support/small_pe.h"
#include "support/temp_dir.h"

namespace zq::platform {
namespace {

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

// The version API, loaded by hand so that no test program needs another import library.
struct VersionApi {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  HMODULE dll = LoadLibraryW(L"version.dll");
  SizeFn size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(dll, "GetFileVersionInfoSizeW")));
  InfoFn info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(dll, "GetFileVersionInfoW")));
  QueryFn query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(dll, "VerQueryValueW")));
  ~VersionApi() { FreeLibrary(dll); }
};

TEST(ProgramResourcesWin32, WindowsReadsWhatTheBuilderWrote) {
  test::TempDir dir;
  const std::string exe = dir / "program.exe";
  const std::string self = test::ReadAll(ExecutablePath());
  std::vector<std::uint8_t> image(self.begin(), self.end());
  // The engine's own icon, as its resource script names it.
  auto own = ReadPeResources(image.data(), image.size());
  ASSERT_TRUE(own.has_value());
  own->push_back({{kRtGroupIcon, {}}, {0, u"MAINICON"}, 0, 0, std::vector<std::uint8_t>(20, 1)});
  own->push_back({{kRtIcon, {}}, {1, {}}, 0, 0, std::vector<std::uint8_t>(40, 1)});
  ASSERT_TRUE(WritePeResources(image, *own));
  const auto ico = test::IcoFile({{16, 1128}, {32, 4264}});
  const ProgramFacts facts{"Demo Product", "2.1.0.7", "Example Works", ExecutionLevel::Highest, ico};
  std::string problem;
  ASSERT_TRUE(WriteProgramResources(image, facts, &problem)) << problem;
  test::WriteAll(exe, std::string(image.begin(), image.end()) + std::string(3000, 'P'));

  const std::string manifest = Resource(exe, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("level=\"highestAvailable\""), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  // The icon group keeps the name the window loads it by, and lists both images.
  HMODULE m = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(m, nullptr);
  HRSRC group_res = FindResourceW(m, L"MAINICON", MAKEINTRESOURCEW(14));
  ASSERT_NE(group_res, nullptr);
  const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(m, group_res)));
  ASSERT_EQ(SizeofResource(m, group_res), 6u + 2 * 14u);
  EXPECT_EQ(group[4], 2);
  FreeLibrary(m);
  for (WORD id : {WORD{1}, WORD{2}}) {
    const std::size_t size = id == 1 ? 1128 : 4264;
    EXPECT_EQ(Resource(exe, MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id)), std::string(size, static_cast<char>(16 * id)));
  }

  VersionApi api;
  ASSERT_TRUE(api.size && api.info && api.query);
  const std::wstring wide_exe(exe.begin(), exe.end());
  DWORD ignored = 0;
  const DWORD length = api.size(wide_exe.c_str(), &ignored);
  ASSERT_GT(length, 0u);
  std::vector<BYTE> block(length);
  ASSERT_TRUE(api.info(wide_exe.c_str(), 0, length, block.data()));
  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"ProductName", L"Demo Product"},
      {L"ProductVersion", L"2.1.0.7"},
      {L"FileVersion", L"2.1.0.7"},
      {L"CompanyName", L"Example Works"},
      {L"FileDescription", L"Demo Product Setup"},
  };
  for (const auto& [key, expected] : strings) {
    void* value = nullptr;
    UINT chars = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    ASSERT_TRUE(api.query(block.data(), path.c_str(), &value, &chars)) << std::string(path.begin(), path.end());
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)), expected);
  }
  void* fixed = nullptr;
  UINT fixed_size = 0;
  ASSERT_TRUE(api.query(block.data(), L"\\", &fixed, &fixed_size));
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  EXPECT_EQ(info->dwFileVersionMS, 0x00020001u);
  EXPECT_EQ(info->dwFileVersionLS, 0x00000007u);
}

}  // namespace
}  // namespace zq::platform
