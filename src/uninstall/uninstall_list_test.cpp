#include "uninstall/uninstall_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "engine/macros.h"
#include "base/scrambler.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

TEST(UninstallList, EmptyLogIsSixZeroBytes) {
  test::TempDir dir;
  TUninstallList log;
  ASSERT_TRUE(log.Save(dir.path(), ""));
  EXPECT_EQ(test::ReadAll(dir / "install.log"), std::string(6, '\0'));
  ASSERT_TRUE(log.Save(dir.path(), "demo_"));
  EXPECT_TRUE(platform::FileExists(dir / "demo_install.log"));
}

// What a reader that knows only the three-count form makes of a log: the lines, or nothing when
// the log ends early (as such a reader refuses it).
std::optional<std::vector<std::string>> ReadAsThreeCountLog(const std::vector<std::uint8_t>& bytes) {
  std::size_t at = 0;
  auto u16 = [&](std::uint32_t* v) {
    if (at + 2 > bytes.size()) return false;
    *v = bytes[at] | (bytes[at + 1] << 8);
    at += 2;
    return true;
  };
  std::uint32_t counts[3];
  for (auto& c : counts) {
    if (!u16(&c)) return std::nullopt;
  }
  std::vector<std::string> lines;
  for (std::uint32_t i = 0; i < counts[0] + counts[1] + counts[2]; ++i) {
    std::uint32_t size = 0;
    if (!u16(&size) || at + size > bytes.size()) return std::nullopt;
    lines.push_back(UnscrambleLine(kUninstallLogKey, std::string(bytes.begin() + at, bytes.begin() + at + size)));
    at += size;
  }
  return lines;
}

TEST(UninstallList, TextBeyondAsciiIsKeptAndOlderReadersRefuseTheLog) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    bool extended;
  } cases[] = {
      {"ASCII only: the three-count form, as before", {"$INSTDIR\\a.txt"}, false},
      {"German",
       {"$INSTDIR\\Gr\xC3\xB6\xC3\x9F"
        "e.txt"},
       true},
      {"Greek, Japanese and an emoji",
       {"$INSTDIR\\\xCE\xB1\xCE\xB2", "$INSTDIR\\\xE6\x97\xA5\xE6\x9C\xAC", "$INSTDIR\\\xF0\x9F\x98\x80.txt"},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TUninstallList log;
    for (const auto& f : c.files) log.AddFile(f);
    log.AddRegValue(TUninstallList::RegValueLine("HKCU", "Software\\Demo", "Name", c.files.back()));
    log.AddDir(c.files.front());
    const auto bytes = log.Serialize();
    TUninstallList back;
    ASSERT_TRUE(back.LoadFromBuffer(bytes.data(), bytes.size()));
    EXPECT_EQ(back.Files, log.Files);
    EXPECT_EQ(back.RegValues, log.RegValues);
    EXPECT_EQ(back.Dirs, log.Dirs);
    const auto older = ReadAsThreeCountLog(bytes);
    EXPECT_EQ(older.has_value(), !c.extended);
  }
  // A log of today with a Windows-1252 name reads as that name.
  std::vector<std::uint8_t> legacy = {1, 0, 0, 0, 0, 0};
  const std::string line = ScrambleLine(kUninstallLogKey,
                                        "$INSTDIR\\Gr\xF6\xDF"
                                        "e.txt");
  legacy.push_back(static_cast<std::uint8_t>(line.size()));
  legacy.push_back(0);
  legacy.insert(legacy.end(), line.begin(), line.end());
  TUninstallList read;
  ASSERT_TRUE(read.LoadFromBuffer(legacy.data(), legacy.size()));
  EXPECT_EQ(read.Files, std::vector<std::string>{"$INSTDIR\\Gr\xC3\xB6\xC3\x9F"
                                                 "e.txt"});
}

TEST(UninstallList, ALogAnOlderReaderWouldMisreadIsNotSaved) {
  test::TempDir dir;
  TUninstallList log;
  log.Files.assign(0xFFFF, "$INSTDIR\\\xC3\xA9");
  log.RegValues.assign(0xFFFF, "x");
  log.Dirs.assign(0xFFFF - 3, "d");
  EXPECT_TRUE(log.Save(dir.path(), ""));
  log.Dirs.push_back("d");
  EXPECT_FALSE(log.Save(dir.path(), ""));
  // Sections after the four are skipped, so that later writers can add some.
  std::vector<std::uint8_t> four(6, 0xFF);
  auto put = [&](const std::string& text) {
    four.push_back(static_cast<std::uint8_t>(text.size()));
    four.push_back(static_cast<std::uint8_t>(text.size() >> 8));
    four.insert(four.end(), text.begin(), text.end());
  };
  put("ZQLOG/UTF-8");
  put(std::string("\1\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\1\0\0\0", 20));
  put(ScrambleLine(kUninstallLogKey, "\xC3\xA9"));
  put(ScrambleLine(kUninstallLogKey, "HKCU\\Software\\Demo"));
  TUninstallList read;
  ASSERT_TRUE(read.LoadFromBuffer(four.data(), four.size()));
  EXPECT_EQ(read.Files, std::vector<std::string>{"\xC3\xA9"});
  EXPECT_TRUE(read.RegValues.empty() && read.Dirs.empty() && read.Keys.empty());
  four.resize(four.size() - 3);
  EXPECT_FALSE(read.LoadFromBuffer(four.data(), four.size()));
}

// The keys a run created are the extended form's fourth section; a log without keys keeps the
// form it had.
TEST(UninstallList, CreatedKeysTravelInTheFourthSection) {
  TUninstallList log;
  log.AddFile("$INSTDIR\\a.txt");
  const auto plain = log.Serialize();
  EXPECT_EQ(std::vector<std::uint8_t>(plain.begin(), plain.begin() + 6), (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0}));
  log.AddKey(TUninstallList::KeyLine("HKCU", "Software\\Demo"));
  log.AddKey(TUninstallList::KeyLine("hkcu", "software\\demo"));
  log.AddKey(TUninstallList::KeyLine("HKCU", "Software\\Demo\\Sub"));
  ASSERT_EQ(log.Keys.size(), 2u);
  const auto bytes = log.Serialize();
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 6), std::vector<std::uint8_t>(6, 0xFF));
  TUninstallList read;
  ASSERT_TRUE(read.LoadFromBuffer(bytes.data(), bytes.size()));
  EXPECT_EQ(read.Files, log.Files);
  EXPECT_EQ(read.Keys, log.Keys);
  std::string fields[2];
  ASSERT_TRUE(TUninstallList::SplitKeyLine(read.Keys[1], fields));
  EXPECT_EQ(fields[0], "HKCU");
  EXPECT_EQ(fields[1], "Software\\Demo\\Sub");
  EXPECT_FALSE(TUninstallList::SplitKeyLine("\"HKCU\"", fields));
}

TEST(UninstallList, FilesAndRegistryLinesAreUniqueWithoutRegardToCaseDirsAreNot) {
  TUninstallList log;
  log.AddFile("$INSTDIR\\Readme.TXT");
  log.AddFile("$instdir\\readme.txt");
  log.AddRegValue("\"HKCU\" \"Software\\Demo\" \"Path\" \"x\"");
  log.AddRegValue("\"hkcu\" \"software\\demo\" \"path\" \"X\"");
  log.AddDir("C:\\A");
  log.AddDir("C:\\A");
  EXPECT_EQ(log.Files.size(), 1u);
  EXPECT_EQ(log.RegValues.size(), 1u);
  EXPECT_EQ(log.Dirs.size(), 2u);
}

TEST(UninstallList, LinesAreScrambledCountedAndReadBack) {
  test::TempDir dir;
  TUninstallList log;
  const std::string long_line(300, 'L');
  log.AddFile(long_line);
  log.AddRegValue(TUninstallList::RegValueLine("HKLM", "Software\\Demo", "Name", "$INSTDIR\\x"));
  log.AddDir("C:\\Program Files\\Demo");
  log.AddDir("C:\\Program Files\\Demo\\sub\\");
  ASSERT_TRUE(log.Save(dir.path(), "p_"));
  const std::string bytes = test::ReadAll(dir / "p_install.log");
  EXPECT_EQ(bytes.substr(0, 6), std::string("\x01\x00\x01\x00\x02\x00", 6));
  EXPECT_EQ(bytes.substr(6, 2), std::string("\x2C\x01", 2));  // 300
  EXPECT_EQ(bytes.substr(8, 300), ScrambleLine(kUninstallLogKey, long_line));
  EXPECT_EQ(bytes.find("Program Files"), std::string::npos);  // nothing readable as it stands

  TUninstallList back;
  back.AddFile("replaced by the load");
  ASSERT_TRUE(back.Load(dir.path(), "p_"));
  EXPECT_EQ(back.Files, log.Files);
  EXPECT_EQ(back.RegValues, log.RegValues);
  EXPECT_EQ(back.Dirs, log.Dirs);
}

TEST(UninstallList, MissingOrDamagedLogLeavesTheListsAlone) {
  test::TempDir dir;
  TUninstallList log;
  log.AddFile("kept");
  EXPECT_FALSE(log.Load(dir.path(), ""));
  TUninstallList full;
  full.AddFile("a");
  full.AddFile("b");
  full.Save(dir.path(), "");
  std::string bytes = test::ReadAll(dir / "install.log");
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    test::WriteAll(dir / "install.log", bytes.substr(0, cut));
    EXPECT_FALSE(log.Load(dir.path(), "")) << cut;
    EXPECT_EQ(log.Files, std::vector<std::string>{"kept"});
    std::string problem;
    EXPECT_FALSE(log.LoadFromBuffer(bytes.data(), cut, &problem));
    EXPECT_NE(problem.find(cut < 6 ? "line counts" : "file line"), std::string::npos) << cut << ": " << problem;
  }
}

// The keyed check after the lists: it holds only for the log's own bytes, folder and key, and
// readers that know no check (this one without a key, and the three-count reader) still read
// the lists.
TEST(UninstallList, TheKeyedCheckHoldsOnlyForTheLogAsWrittenInItsFolder) {
  test::TempDir dir;
  LogKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
  LogKey other_key = key;
  other_key[31] ^= 1;
  TUninstallList log;
  log.AddFile("$INSTDIR\\app.exe");
  log.AddRegValue(TUninstallList::RegValueLine("HKLM", "Software\\Demo", "Path", "$INSTDIR"));
  log.AddDir("C:\\Games\\Demo");
  const std::string folder = "C:\\Games\\Demo";
  ASSERT_TRUE(log.Save(dir.path(), "p_", &key));
  const auto text = [](const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); };
  const std::string unsigned_bytes = text(log.Serialize());
  const std::string signed_bytes = text(log.Serialize(&key, folder));
  // The lists as before, then the counted "ZQMAC/1" and 32 bytes.
  ASSERT_EQ(signed_bytes.size(), unsigned_bytes.size() + 2 + 7 + 32);
  EXPECT_EQ(signed_bytes.substr(0, unsigned_bytes.size()), unsigned_bytes);
  EXPECT_EQ(signed_bytes.substr(unsigned_bytes.size(), 9), std::string("\x07\x00ZQMAC/1", 9));
  EXPECT_EQ(test::ReadAll(TUninstallList::LogPath(dir.path(), "p_")), text(log.Serialize(&key, dir.path())));
  const auto edited = [&](std::size_t at) {
    std::string b = signed_bytes;
    b[at] = static_cast<char>(b[at] ^ 0x20);
    return b;
  };
  const std::size_t check_at = unsigned_bytes.size() + 9;
  const struct {
    const char* what;
    std::string bytes;
    std::string folder;
    const LogKey* key;
    LogCheck expected;
  } cases[] = {
      {"as written", signed_bytes, folder, &key, LogCheck::Verified},
      {"the folder spelt otherwise", signed_bytes, "c:/games/DEMO\\", &key, LogCheck::Verified},
      {"no check", unsigned_bytes, folder, &key, LogCheck::Absent},
      {"no check, no key", unsigned_bytes, folder, nullptr, LogCheck::Absent},
      {"a byte of a line edited", edited(10), folder, &key, LogCheck::Failed},
      {"a byte of the check edited", edited(check_at + 5), folder, &key, LogCheck::Failed},
      {"the marker edited", edited(unsigned_bytes.size() + 3), folder, &key, LogCheck::Failed},
      {"the check cut short", signed_bytes.substr(0, signed_bytes.size() - 1), folder, &key, LogCheck::Failed},
      {"a byte after the check", signed_bytes + "x", folder, &key, LogCheck::Failed},
      {"another product's folder", signed_bytes, "C:\\Games\\Other", &key, LogCheck::Failed},
      {"another key", signed_bytes, folder, &other_key, LogCheck::Failed},
      {"no key to test it with", signed_bytes, folder, nullptr, LogCheck::Failed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TUninstallList back;
    LogCheck check = c.expected == LogCheck::Failed ? LogCheck::Verified : LogCheck::Failed;  // must be set
    std::string problem;
    ASSERT_TRUE(back.LoadFromBuffer(c.bytes.data(), c.bytes.size(), &problem, c.key, c.folder, &check)) << problem;
    EXPECT_EQ(check, c.expected);
    // The lists read all the same, whatever the check.
    EXPECT_EQ(back.Files.size(), 1u);
    EXPECT_EQ(back.Dirs, log.Dirs);
    if (c.bytes.substr(0, 11) == signed_bytes.substr(0, 11)) {
      EXPECT_EQ(back.Files, log.Files);
      EXPECT_EQ(ReadAsThreeCountLog({c.bytes.begin(), c.bytes.end()}),
                ReadAsThreeCountLog({unsigned_bytes.begin(), unsigned_bytes.end()}));
    }
  }
}

TEST(UninstallList, ARenamedFileIsRecordedUnderItsNewName) {
  struct Case {
    std::vector<std::string> before;
    const char* from;
    const char* to;
    bool recorded;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {{"C:\\a.txt", "C:\\b.txt"}, "c:\\A.TXT", "C:\\c.txt", true, {"C:\\c.txt", "C:\\b.txt"}},
      // The new name was recorded already: one line for it, none for the old name.
      {{"C:\\a.txt", "C:\\b.txt"}, "C:\\a.txt", "C:\\B.txt", true, {"C:\\b.txt"}},
      // A change of case only: the line follows the new spelling.
      {{"C:\\a.txt"}, "C:\\a.txt", "C:\\A.TXT", true, {"C:\\A.TXT"}},
      // Not the run's file: nothing is recorded for it under either name.
      {{"C:\\a.txt"}, "C:\\user.txt", "C:\\x.txt", false, {"C:\\a.txt"}},
  };
  for (const Case& c : cases) {
    TUninstallList list;
    for (const std::string& f : c.before) list.AddFile(f);
    EXPECT_EQ(list.RenameFile(c.from, c.to), c.recorded) << c.from;
    EXPECT_EQ(list.Files, c.after) << c.from;
  }
}

// The duplicate checks go by the lists as they are now, however they were last changed: added
// to, renamed in, assigned whole (a loaded log, the same size in the same storage too), edited
// in place or cleared.
TEST(UninstallList, DuplicateChecksFollowListsChangedFromOutside) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* what;
    std::function<void(TUninstallList&)> change;
    Lines after;
  };
  const Case cases[] = {
      {"assigned whole", [](TUninstallList& l) { l.Files = {"C:\\x.txt"}; }, {"C:\\x.txt", "C:\\a.txt"}},
      {"same size, same storage",
       [](TUninstallList& l) {
         const Lines other = {"C:\\x.txt", "C:\\y.txt"};
         l.Files = other;
       },
       {"C:\\x.txt", "C:\\y.txt", "C:\\a.txt"}},
      {"edited in place", [](TUninstallList& l) { l.Files[1] = "C:\\A.TXT"; }, {"C:\\old.txt", "C:\\A.TXT"}},
      {"cleared", [](TUninstallList& l) { l.Clear(); }, {"C:\\a.txt"}},
      {"renamed away", [](TUninstallList& l) { l.RenameFile("C:\\old.txt", "C:\\a.txt"); }, {"C:\\a.txt", "C:\\b.txt"}},
      {"renamed to its own name in another case, with a twin",
       [](TUninstallList& l) {
         l.Files = {"C:\\old.txt", "C:\\OLD.txt", "C:\\b.txt"};
         l.RenameFile("C:\\old.txt", "C:\\Old.txt");
       },
       {"C:\\OLD.txt", "C:\\b.txt", "C:\\a.txt"}},
  };
  for (const Case& c : cases) {
    TUninstallList list;
    list.AddFile("C:\\old.txt");
    list.AddFile("C:\\b.txt");
    c.change(list);
    list.AddFile("C:\\a.txt");
    list.AddFile("c:\\A.txt");
    EXPECT_EQ(list.Files, c.after) << c.what;
  }
}

// A sound log never holds a "." or ".." component, which the uninstaller refuses: paths are
// recorded as the system resolves them, never above the drive root.
TEST(UninstallList, PathsAreRecordedWithDotComponentsResolved) {
  const struct {
    const char* given;
    const char* recorded;
  } cases[] = {
      {"C:\\Games\\Demo\\..\\Other\\x.dat", "C:\\Games\\Other\\x.dat"},
      {"C:\\Games\\.\\Demo\\.\\x.dat", "C:\\Games\\Demo\\x.dat"},
      {"C:\\..\\..\\x.dat", "C:\\x.dat"},
      {"C:/Games/Demo/../x.dat", "C:/Games/x.dat"},
      {"C:\\Games\\Demo\\sub\\..\\", "C:\\Games\\Demo\\"},
      {"C:\\Games\\Demo\\sub\\..", "C:\\Games\\Demo"},
      {"C:\\Games\\...\\x.dat", "C:\\Games\\...\\x.dat"},
      {"C:\\Games\\Demo\\x.dat", "C:\\Games\\Demo\\x.dat"},
      {"relative\\..\\x.dat", "relative\\..\\x.dat"},
  };
  for (const auto& c : cases) {
    TUninstallList list;
    list.AddFile(c.given);
    list.AddDir(c.given);
    EXPECT_EQ(list.Files, std::vector<std::string>{c.recorded}) << c.given;
    EXPECT_EQ(list.Dirs, std::vector<std::string>{c.recorded}) << c.given;
  }
  TUninstallList list;
  list.AddFile("C:\\Games\\a.txt");
  EXPECT_TRUE(list.RenameFile("C:\\Games\\Demo\\..\\a.txt", "C:\\Games\\.\\b.txt"));
  EXPECT_EQ(list.Files, std::vector<std::string>{"C:\\Games\\b.txt"});
}

TEST(UninstallList, RegistryLineFormatSplitsBackIntoItsFields) {
  const std::string line = TUninstallList::RegValueLine("HKCU", "Software\\Demo", "Name", "say \"hi\" there");
  EXPECT_EQ(line, "\"HKCU\" \"Software\\Demo\" \"Name\" \"say \"hi\" there\"");
  std::string f[4];
  ASSERT_TRUE(TUninstallList::SplitRegValueLine(line, f));
  EXPECT_EQ(f[0], "HKCU");
  EXPECT_EQ(f[1], "Software\\Demo");
  EXPECT_EQ(f[2], "Name");
  EXPECT_EQ(f[3], "say \"hi\" there");
  EXPECT_FALSE(TUninstallList::SplitRegValueLine("\"HKCU\" \"only two\"", f));
  EXPECT_FALSE(TUninstallList::SplitRegValueLine("", f));
}

TEST(UninstallList, InstalledPathsAreRecordedWithTheMacroAndExpandBack) {
  SetupContext setup;
  setup.Choices.InstallDir = "C:\\Games\\Demo";
  setup.Run.UninstallList.AddFile("C:\\Games\\Demo\\bin\\demo.exe");
  EXPECT_EQ(setup.Run.UninstallList.Files, std::vector<std::string>{"$INSTDIR\\bin\\demo.exe"});
  // The uninstaller carries the same installation directory in its own record.
  SetupContext uninstaller;
  uninstaller.Choices.InstallDir = "C:\\Games\\Demo";
  EXPECT_EQ(ExpandMacrosAnsi(uninstaller, setup.Run.UninstallList.Files[0]), "C:\\Games\\Demo\\bin\\demo.exe");
}

}  // namespace
}  // namespace zq
