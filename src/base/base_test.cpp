// Size texts, registry roots, the digit pass, small path helpers and the buffer reader.
#include <gtest/gtest.h>

#include <utility>

#include "base/buffer_manager.h"
#include "base/path_text.h"
#include "base/registry_roots.h"
#include "base/scrambler.h"
#include "base/size_text.h"
#include "platform/registry.h"

namespace zq {
namespace {

TEST(SizeText, UnitsAndRounding) {
  EXPECT_EQ(SizeToText(0), "0.00 Bytes");
  EXPECT_EQ(SizeToText(500), "500.00 Bytes");
  EXPECT_EQ(SizeToText(1023), "1023.00 Bytes");
  EXPECT_EQ(SizeToText(1024), "1.00 KB");
  EXPECT_EQ(SizeToText(2048), "2.00 KB");
  EXPECT_EQ(SizeToText(1048575), "1024.00 KB");
  EXPECT_EQ(SizeToText(1536 * 1024), "1.50 MB");
  EXPECT_EQ(SizeToText(5368709120LL), "5.00 GB");
  EXPECT_EQ(SizeToText(5LL << 40), "5120.00 GB");
}

// The counts the wizard and the verification window show: one of a thing, otherwise things.
TEST(SizeText, CountsTakeTheNounTheyNeed) {
  const struct {
    std::int64_t count;
    const char* text;
  } cases[] = {{0, "0 files"}, {1, "1 file"}, {2, "2 files"}, {11, "11 files"}, {-1, "-1 files"}};
  for (const auto& c : cases) EXPECT_EQ(CountText(c.count, "file", "files"), c.text);
}

TEST(RegistryRoots, ShortNamesOnly) {
  EXPECT_EQ(RootNameToCode("hkcu"), 1);
  EXPECT_EQ(RootNameToCode("HKCR"), 2);
  EXPECT_EQ(RootNameToCode("HkU"), 3);
  EXPECT_EQ(RootNameToCode("hkcc"), 4);
  EXPECT_EQ(RootNameToCode("HKLM"), 0);
  EXPECT_EQ(RootNameToCode("HKEY_CURRENT_USER"), 0);
  EXPECT_EQ(RootCodeToKey(0), platform::kHkeyLocalMachine);
  EXPECT_EQ(RootCodeToKey(4), platform::kHkeyCurrentConfig);
  EXPECT_EQ(RootCodeToKey(5), 0u);
  EXPECT_EQ(RootCodeToName(3), "HKEY_USERS");
  EXPECT_EQ(RootCodeToName(-1), "!ERROR!");
}

TEST(Scrambler, RoundTripsEveryByteAndUsesFixedKeys) {
  EXPECT_EQ(kUninstallLogKey.size(), 244u);
  EXPECT_EQ(kPackageCommandKey.size(), 244u);
  EXPECT_NE(kUninstallLogKey, kPackageCommandKey);
  std::string all;
  for (int i = 0; i < 600; ++i) all += static_cast<char>(i % 256);  // longer than the key: it repeats
  for (auto key : {kUninstallLogKey, kPackageCommandKey}) {
    std::string s = ScrambleLine(key, all);
    EXPECT_EQ(s.size(), all.size());
    EXPECT_NE(s, all);
    EXPECT_EQ(UnscrambleLine(key, s), all);
  }
  EXPECT_EQ(ScrambleLine("109", std::string("\xFF\x10\xFA\x01", 4)), std::string("\x00\x10\x03\x02", 4));
  EXPECT_EQ(ScrambleLine("5", ""), "");
}

TEST(PathText, HelpersBehaveAsDocumented) {
  EXPECT_EQ(IncludeTrailingBackslash(std::string("")), "");
  EXPECT_EQ(IncludeTrailingBackslash(std::string("C:\\a")), "C:\\a\\");
  EXPECT_EQ(IncludeTrailingBackslash(std::string("C:\\a\\")), "C:\\a\\");
  EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(ExtractFileDir("C:\\b.txt"), "C:\\");
  EXPECT_EQ(ExtractFileDir("b.txt"), "");
  EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(SplitNameValue(u"Font=Arial=x"), (std::pair<std::u16string, std::u16string>{u"Font", u"Arial=x"}));
  EXPECT_EQ(SplitNameValue(u"novalue"), (std::pair<std::u16string, std::u16string>{u"", u"novalue"}));
  EXPECT_EQ(StrToIntOr(std::string("42")), 42);
  EXPECT_EQ(StrToIntOr(std::string("-7")), -7);
  EXPECT_EQ(StrToIntOr(std::string("2147483647")), 2147483647);
  EXPECT_EQ(StrToIntOr(std::string("-2147483648")), INT32_MIN);
  for (const char* bad : {"", "-", "12a", " 1", "2147483648", "99999999999999999999"}) {
    EXPECT_EQ(StrToIntOr(std::string(bad)), -1) << bad;
  }
}

TEST(BufferManager, ReadsStayWithinTheBuffer) {
  const std::uint8_t data[] = {3, 0, 'a', 'b', 'c', 0x78, 0x56, 0x34, 0x12, 0xFF};
  TBufferManager in(data, sizeof data);
  EXPECT_EQ(in.ReadString(), std::optional<std::string>("abc"));
  EXPECT_EQ(in.ReadInt32(), std::optional<std::int32_t>(0x12345678));
  EXPECT_FALSE(in.ReadInt16().has_value());  // one byte left
  EXPECT_EQ(in.ReadBlock(10), std::vector<std::uint8_t>{0xFF});
  EXPECT_TRUE(in.ReadBlock(10).empty());
  in.Seek(5);
  EXPECT_EQ(in.ReadBlock(10).size(), 5u);
  const std::uint8_t long_count[] = {200, 0, 'x'};
  TBufferManager short_in(long_count, sizeof long_count);
  EXPECT_FALSE(short_in.ReadString().has_value());
  TBufferManager empty(nullptr, 0);
  EXPECT_TRUE(empty.ReadBlock(4).empty());
  EXPECT_FALSE(empty.ReadByte().has_value());
}

TEST(SetupFileName, BrowserCopyNumbersAreIgnored) {
  const std::pair<const char*, bool> cases[] = {
      {"setup.exe", true},       {"setup(1).exe", true},   {"setup (1).exe", true},   {"setup(12).exe", true},
      {"setup (10).exe", true},  {"setup[3].exe", true},   {"setup(1)[2].exe", true}, {"setup().exe", true},
      {"setup(0).exe", false},   {"setup(01).exe", false}, {"setup(a).exe", false},   {"setup (x).exe", false},
      {"setup  (1).exe", false}, {"other(1).exe", false},  {"setup1.exe", false},
  };
  for (const auto& [running, same] : cases) EXPECT_EQ(SameSetupFileName(running, "setup.exe"), same) << running;
  EXPECT_EQ(RemoveCopyNumbers("setup(x", '(', ')'), "setup(x");
  EXPECT_EQ(RemoveCopyNumbers("a(b)c(2)d", '(', ')'), "a(b)cd");
}

}  // namespace
}  // namespace zq
