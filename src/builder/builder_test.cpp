// The builder as an author meets it: scripts in, compiled lines, records and packages out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace std::string_literals;

#include "builder/builder.h"
#include "builder/package_writer.h"
#include "builder/script_compiler.h"
#include "builder/script_printer.h"
#include "builder/script_syntax.h"
#include "builder/source_files.h"
#include "container/pak.h"
#include "container/pak_writer.h"
#include "base/scrambler.h"
#include "platform/files.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"
#include "ui/language.h"
#include "builder/build_paths.h"

namespace zq::builder {
namespace {

using test::ReadAll;
using test::WriteAll;

std::string Text(const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); }

class BuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CreateDir(dir_ / "stock");
    WriteAll(dir_ / "stock\\English.wri", test::LanguageTable(u"English", "0409;", {{13, u"Next >"}}));
  }
  std::string Script() const { return dir_ / "setup.zqs"; }
  CompileResult Compile(const std::string& source) {
    WriteAll(Script(), source);
    CompileOptions options;
    options.stock_language_dirs = {dir_ / "stock"};
    return CompileScript(Script(), options);
  }
  // The messages of one severity, formatted.
  static std::vector<std::string> Messages(const CompileResult& r, Diagnostic::Severity s) {
    std::vector<std::string> out;
    for (const auto& d : r.diagnostics.All()) {
      if (d.severity == s) out.push_back(FormatDiagnostic(d));
    }
    return out;
  }
  static std::vector<std::string> Errors(const CompileResult& r) { return Messages(r, Diagnostic::Severity::Error); }
  static std::vector<std::string> Warnings(const CompileResult& r) {
    return Messages(r, Diagnostic::Severity::Warning);
  }
  static bool Contains(const std::vector<std::string>& all, const std::string& part) {
    return std::any_of(all.begin(), all.end(), [&](const std::string& m) { return m.find(part) != std::string::npos; });
  }
  static const PlannedEntry* Find(const CompileResult& r, const std::string& name, std::uint16_t group) {
    for (const auto& e : r.entries) {
      if (e.name == name && e.group == group) return &e;
    }
    return nullptr;
  }
  void MakeFile(const std::string& relative, const std::string& content) {
    std::string path = dir_.path();
    std::size_t start = 0;
    for (std::size_t sep; (sep = relative.find('\\', start)) != std::string::npos; start = sep + 1) {
      platform::CreateDir(path + "\\" + relative.substr(0, sep));
    }
    WriteAll(dir_ / relative, content);
  }
  test::TempDir dir_;
};

TEST(ScriptSyntax, ReadsQuotesCommentsAndLabels) {
  auto line = ParseSourceLine("  writeregstr HKCU \"Software\\My App\" \"\" \"say \"\"hi\"\"\" ; note");
  ASSERT_TRUE(line.error.empty());
  EXPECT_EQ(line.kind, SourceLine::Kind::Command);
  EXPECT_EQ(line.keyword, "writeregstr");
  EXPECT_EQ(line.args, (std::vector<std::string>{"HKCU", "Software\\My App", "", "say \"hi\""}));
  EXPECT_EQ(ParseSourceLine("message a;b").args, std::vector<std::string>{"a;b"});
  EXPECT_EQ(ParseSourceLine("# comment").kind, SourceLine::Kind::Blank);
  EXPECT_EQ(ParseSourceLine("   ; comment").kind, SourceLine::Kind::Blank);
  EXPECT_EQ(ParseSourceLine(":Start ; here").label, "Start");
  EXPECT_EQ(ParseSourceLine(":\"two words\"").label, "two words");
  EXPECT_FALSE(ParseSourceLine("message \"open").error.empty());
  EXPECT_FALSE(ParseSourceLine("message \"a\"b").error.empty());
  EXPECT_FALSE(ParseSourceLine("message a\"b").error.empty());
  EXPECT_FALSE(ParseSourceLine(":").error.empty());
  EXPECT_FALSE(ParseSourceLine(":a b").error.empty());
  for (std::string arg : {"", "plain", "two words", "q\"uote", ";semi", "#hash", "tab\there"}) {
    auto back = ParseSourceLine("message " + QuoteArgument(arg));
    ASSERT_EQ(back.args.size(), 1u) << arg;
    EXPECT_EQ(back.args[0], arg);
  }
}

TEST_F(BuilderTest, StoresLinesLabelsAndDefinitions) {
  MakeFile("data\\a.txt", "a");
  auto r = Compile(
      "name Demo\n"
      ":Top\n"
      "goto END\n"
      "iffileexists $INSTDIR\\a.txt end 0\n"
      "messagebox \"Sure?\" Title top End\n"
      ":end\n"
      "file data\n"
      "language English\n"
      ":END\n");
  ASSERT_TRUE(Errors(r).empty()) << Errors(r)[0];
  // What was stored is what the engine reads back.
  TCompLines stored;
  const auto* entry = Find(r, "CompiledLines", 0);
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(stored.LoadFromBuffer(entry->data.data(), entry->data.size()));
  const auto& l = stored.Lines;
  ASSERT_EQ(l.size(), 9u);
  EXPECT_EQ(l[0].CommandIndex, -1);
  EXPECT_EQ(l[0].LineNumber, 0xFFFFFFFFu);
  EXPECT_EQ(l[0].ArgCount, 0);
  EXPECT_EQ(l[1].CommandIndex, 0);
  EXPECT_EQ(l[1].LineNumber, 1u);
  EXPECT_EQ(l[1].Args, std::vector<std::string>{"Top"});
  EXPECT_EQ(l[2].CommandIndex, 1);
  EXPECT_EQ(l[2].LineNumber, 2u);
  EXPECT_EQ(l[2].Args[0], "5");                                                    // goto: the first "end" label
  EXPECT_EQ(l[3].Args, (std::vector<std::string>{"$INSTDIR\\a.txt", "8", "-1"}));  // the last one; 0 -> -1
  EXPECT_EQ(l[4].Args, (std::vector<std::string>{"Sure?", "Title", "1", "8"}));
  EXPECT_EQ(l[6].Args, (std::vector<std::string>{"data", "1"}));
  EXPECT_EQ(l[7].Args, std::vector<std::string>{"English"});
  EXPECT_EQ(l[7].CommandIndex, 18);
  EXPECT_TRUE(Contains(Warnings(r), "setup.zqs:9: warning: label \"END\" is also defined on line 6"));
}

TEST_F(BuilderTest, NumbersGroupsAndSharesArchiveGroups) {
  MakeFile("one\\DLLs\\Models.dll", "m1");
  MakeFile("one\\top.txt", "t1");
  MakeFile("two\\DLLs\\models.dll", "m2-newer");
  MakeFile("two\\extra.txt", "x");
  MakeFile("single\\readme.txt", "r");
  auto r = Compile(
      "language English\n"
      "zqpupdate one secret Game.zqp\n"
      "file single\\readme.txt sub\n"
      "zqpupdate two other game.ZQP\n"
      "vfsupdate one data.vfs 0\n");
  ASSERT_TRUE(Errors(r).empty()) << Errors(r)[0];
  const auto& l = r.lines.Lines;
  EXPECT_EQ(l[1].Args.back(), "1");
  EXPECT_EQ(l[2].Args, (std::vector<std::string>{"single\\readme.txt", "sub", "2"}));
  EXPECT_EQ(l[3].Args.back(), "3");
  EXPECT_EQ(l[4].Args, (std::vector<std::string>{"one", "data.vfs", "0", "4"}));
  EXPECT_EQ(r.group_count, 4);
  std::vector<std::pair<std::string, std::uint16_t>> payload;
  for (const auto& e : r.entries) {
    if (e.group) payload.emplace_back(e.name, e.group);
  }
  // Group 3 stays empty: its files join group 1, the later models.dll replacing the earlier one
  // in its place.
  EXPECT_EQ(payload, (std::vector<std::pair<std::string, std::uint16_t>>{{"DLLs\\models.dll", 1},
                                                                         {"top.txt", 1},
                                                                         {"extra.txt", 1},
                                                                         {"readme.txt", 2},
                                                                         {"DLLs\\Models.dll", 4},
                                                                         {"top.txt", 4}}));
  ASSERT_NE(Find(r, "DLLs\\models.dll", 1), nullptr);
  EXPECT_EQ(ReadAll(Find(r, "DLLs\\models.dll", 1)->source), "m2-newer");
  // The secret words are stored scrambled and come back with the key.
  EXPECT_NE(l[1].Args[1], "secret");
  EXPECT_EQ(UnscrambleLine(kPackageCommandKey, l[1].Args[1]), "secret");
  EXPECT_EQ(UnscrambleLine(kPackageCommandKey, l[3].Args[1]), "other");
}

TEST_F(BuilderTest, FillsTheSetupInformation) {
  auto r = Compile(
      "shortname Early\n"
      "name \"Demo Game\"\n"
      "outfile DemoSetup.exe\n"
      "installdir $PROGRAMFILES\\Demo\n"
      "installdirregkey hkcu Software\\Demo Path\n"
      "changelog changes.rtf\n"
      "prefix game\n"
      "language English\n");
  ASSERT_TRUE(Errors(r).empty()) << Errors(r)[0];
  TSetupInfoFile info;
  const auto* entry = Find(r, "SetupInfo", 0);
  ASSERT_TRUE(info.LoadFromBuffer(entry->data.data(), static_cast<std::uint32_t>(entry->data.size())));
  EXPECT_EQ(info.SetupName, "Demo Game");
  EXPECT_EQ(info.ShortName, "Demo Game");  // name overrides the earlier shortname
  EXPECT_EQ(info.SetupExeName, "DemoSetup.exe");
  EXPECT_EQ(info.InstallDir, "$PROGRAMFILES\\Demo");
  EXPECT_EQ(info.InstallDirRegKey.HKEY, 1);
  EXPECT_EQ(info.InstallDirRegKey.Path, "Software\\Demo");
  EXPECT_EQ(info.InstallDirRegKey.Key, "Path");
  EXPECT_EQ(info.Changelog, "changes.rtf");
  EXPECT_EQ(info.LogPrefix, "game_");
  EXPECT_EQ(info.UninstallExeName, "game_Uninstall.exe");
  EXPECT_EQ(info.HasUninstaller, 0);
  EXPECT_EQ(info.Mode, SetupMode::Setup);
  EXPECT_TRUE(Contains(Warnings(r), "setup.zqs:2: warning: name also sets the short name"));
  EXPECT_TRUE(Contains(Warnings(r), "setup.zqs:6: warning: change log \"changes.rtf\" not found"));

  auto later = Compile("name Alpha\nshortname A\nlanguage English\n");
  EXPECT_EQ(later.info.ShortName, "A");
  EXPECT_EQ(later.info.UninstallExeName, "Uninstall.exe");
  EXPECT_EQ(later.info.LogPrefix, "");
}

TEST_F(BuilderTest, PacksLanguageTablesAndWarnsOfMissingOnes) {
  WriteAll(dir_ / "Custom.wri", test::LanguageTable(u"Custom", "0415", {{1, u"Hi"}}));
  platform::CreateDir(dir_ / "stock\\uninstall");
  WriteAll(dir_ / "stock\\uninstall\\English.wri", test::LanguageTable(u"English", "0409;", {{15, u"Uninstall"}}));
  WriteAll(dir_ / "Broken.wri", "\xFF\xFEx\0"s);
  auto r = Compile("language Custom\nlanguage English\nuninstalllanguage English\nlanguage Klingon\nlanguage Broken\n");
  // The author's table gets the stock English texts it lacks; the stock table is packed as it is.
  const PlannedEntry* custom = Find(r, "LANGUAGE-Custom", 0);
  ASSERT_NE(custom, nullptr);
  EXPECT_TRUE(custom->source.empty());
  EXPECT_EQ(Text(custom->data), ReadAll(dir_ / "Custom.wri") + "1\0003\0 \0N\0e\0x\0t\0 \0>\0\r\0\n\0"s);
  EXPECT_EQ(ReadAll(Find(r, "LANGUAGE-English", 0)->source), ReadAll(dir_ / "stock\\English.wri"));
  EXPECT_EQ(ReadAll(Find(r, "UNINSTALL_LANGUAGE-English", 0)->source), ReadAll(dir_ / "stock\\uninstall\\English.wri"));
  EXPECT_EQ(Find(r, "LANGUAGE-Klingon", 0), nullptr);
  EXPECT_TRUE(Contains(Warnings(r), "setup.zqs:4: warning: language table \"Klingon.wri\" not found"));
  EXPECT_TRUE(Contains(Errors(r), "setup.zqs:5: error:"));

  // Without tables of its own a setup, and its uninstaller, get the stock English ones.
  platform::CreateDir(dir_ / "un");
  WriteAll(dir_ / "un\\Pages.txt", "[Pages]\r\nbye.txt\r\n[PageTypes]\r\nFinish\r\n");
  WriteAll(dir_ / "un\\bye.txt", "[Bye]\r\nType=TLabel\r\n");
  auto stock = Compile("name A\ninstalldir $PROGRAMFILES\\A\nuninstallpages un\nuninstalllogload $INSTDIR\n");
  EXPECT_TRUE(Warnings(stock).empty()) << Warnings(stock).front();
  ASSERT_NE(Find(stock, "LANGUAGE-English", 0), nullptr);
  EXPECT_EQ(Find(stock, "LANGUAGE-English", 0)->source, dir_ / "stock\\English.wri");
  ASSERT_NE(Find(stock, "UNINSTALL_LANGUAGE-English", 0), nullptr);
  EXPECT_EQ(Find(stock, "UNINSTALL_LANGUAGE-English", 0)->source, dir_ / "stock\\uninstall\\English.wri");
}

#ifndef _WIN32
TEST(StockLanguages, AreFoundAndLoad) {
  for (const char* file : {"English.wri", "German.wri", "uninstall/English.wri", "uninstall/German.wri"}) {
    std::optional<std::string> found;
    for (const auto& dir : StockLanguageDirs()) {
      if (!found && platform::FileExists(Join(dir, file))) found = Join(dir, file);
    }
    ASSERT_TRUE(found) << file;
    std::string bytes = ReadAll(*found);
    TLanguage table;
    table.LoadFromBuffer(bytes.data(), bytes.size());
    const bool uninstall = std::string(file).find("uninstall") != std::string::npos;
    const bool english = std::string(file).find("English") != std::string::npos;
    auto text = [&](int n) {
      for (const auto& s : table.Strings) {
        if (s.Number == n) return std::optional<std::u16string>(s.Text);
      }
      return std::optional<std::u16string>();
    };
    ASSERT_TRUE(text(23)) << file;
    ASSERT_TRUE(text(19)) << file;
    EXPECT_NE(text(19)->find(u"<%FNUM%>"), std::u16string::npos) << file;
    EXPECT_EQ(text(29).has_value(), !uninstall) << file;
    if (english) {
      EXPECT_EQ(*text(15), uninstall ? u"&Uninstall" : u"&Install");
      EXPECT_EQ(*text(23), uninstall ? u"Setup failed to uninstall." : u"Setup failed to install.");
      EXPECT_EQ(table.LangIds.size(), 16u);
    } else {
      EXPECT_EQ(table.LangIds, (std::vector<std::uint16_t>{0x0407, 0x0807, 0x0C07, 0x1007, 0x1407}));
    }
  }
}
#endif

TEST_F(BuilderTest, ReportsEachErrorAtItsLine) {
  MakeFile(std::string("deep\\") + std::string(120, 'n') + "\\file.txt", "x");
  auto r = Compile(
      "language English\n"
      "frobnicate x\n"
      "writeregstr HKCU key\n"
      "goto nowhere\n"
      "file missing_folder\n"
      "file deep\n"
      "message \"" +
      std::string(70000, 'x') +
      "\"\n"
      "message \"unterminated\n");
  auto errors = Errors(r);
  EXPECT_TRUE(Contains(errors, "setup.zqs:2: error: unknown command \"frobnicate\""));
  EXPECT_TRUE(Contains(errors, "setup.zqs:3: error: \"writeregstr\" needs at least 4 arguments, 2 given"));
  EXPECT_TRUE(Contains(errors, "setup.zqs:4: error: unknown label \"nowhere\""));
  EXPECT_TRUE(Contains(errors, "setup.zqs:5: error: source folder or file \"missing_folder\" not found"));
  EXPECT_TRUE(Contains(errors, "setup.zqs:6: error: entry name"));
  EXPECT_TRUE(Contains(errors, "setup.zqs:7: error: argument 1 is longer than 65535 bytes"));
  EXPECT_TRUE(Contains(errors, "setup.zqs:8: error: missing closing quote"));
  EXPECT_EQ(errors.size(), 7u);

  std::string many;
  for (int i = 0; i < 65536; ++i) many += ":l" + std::to_string(i) + "\n";
  EXPECT_TRUE(Contains(Errors(Compile(many)), "setup.zqs: error: the script has 65536 lines"));
}

// A NUL cuts a path short where the system reads it (a "file" line once walked its folder
// inside itself without end); other control characters would reach the terminal or the
// registry raw. Each is refused at its line; a tab inside quotes stays a character of the text.
TEST_F(BuilderTest, ControlCharactersInArgumentsAreRefusedAtTheirLine) {
  MakeFile("payload\\a.txt", "a");
  const struct {
    std::string line;
    std::string error;
  } cases[] = {
      {"file \"payload\0sub\""s, "argument 1 holds the control character 0x00"},
      {"file payload\0sub"s, "argument 1 holds the control character 0x00"},
      {"message \"ring \a\"", "argument 1 holds the control character 0x07"},
      {"writeregstr HKCU Key \"Na\x1b[2Jme\" v", "argument 3 holds the control character 0x1B"},
      {"message \"del \x7f\"", "argument 1 holds the control character 0x7F"},
      {"mess\x01"
       "age x",
       "the command name holds the control character 0x01"},
      {":la\x02"
       "bel",
       "the label holds the control character 0x02"},
  };
  for (const auto& c : cases) {
    const auto errors = Errors(Compile("language English\n" + c.line + "\n"));
    EXPECT_EQ(errors.size(), 1u) << c.error;
    EXPECT_TRUE(Contains(errors, "setup.zqs:2: error: " + c.error)) << c.error;
  }
  EXPECT_TRUE(Errors(Compile("language English\nmessage \"a\tb\"\nfile payload\n")).empty());
  // The walk itself never goes round: a folder named with a NUL is not the folder before it.
  std::vector<std::string> links;
  EXPECT_TRUE(WalkFolder(dir_ / std::string("payload\0sub", 11), links).empty());
  EXPECT_EQ(WalkFolder(dir_ / "payload", links).size(), 1u);
}

TEST_F(BuilderTest, WarnsOfWhatIsSurelyUnintended) {
  MakeFile("empty\\.keep", "");
  platform::DeleteFileAt(dir_ / "empty\\.keep");
  auto r = Compile("language English\n:unused\ngoto\nfile empty\nname a\nname b\nfile empty x y\n");
  EXPECT_TRUE(Errors(r).empty());
  auto w = Warnings(r);
  EXPECT_TRUE(Contains(w, "setup.zqs:2: warning: label \"unused\" is never used"));
  EXPECT_TRUE(Contains(w, "setup.zqs:3: warning: goto without a label"));
  EXPECT_TRUE(Contains(w, "setup.zqs:4: warning: \"empty\" holds no files"));
  EXPECT_TRUE(Contains(w, "setup.zqs:6: warning: name overrides the name on line 5"));
  EXPECT_TRUE(Contains(w, "setup.zqs:7: warning: file takes 1, 2 or 7 arguments"));
  EXPECT_EQ(r.lines.Lines[2].CommandIndex, 1);
  EXPECT_TRUE(r.lines.Lines[2].Args.empty());
}

TEST_F(BuilderTest, PacksPagesAndTheFilesTheyName) {
  MakeFile("pg\\layout\\Pages.txt", "[Pages]\nwelcome.txt\nfinish.txt\n[PageTypes]\nWelcome\nFinish\n");
  MakeFile("pg\\layout\\welcome.txt",
           "[Side]\nType=TImage\nfile=side.jpg\n[Log]\nType=TRichEdit\nfile=<%CHANGELOG%>\n");
  MakeFile("pg\\layout\\Finish.TXT", "[Notes]\nType=TRichEdit\nfile=notes.rtf\n[Side2]\nType=TImage\nfile=side.jpg\n");
  MakeFile("pg\\layout\\side.jpg", "JPEG");
  MakeFile("pg\\layout\\notes.rtf", "{\\rtf1}");
  MakeFile("un\\Pages.txt", "[Pages]\r\nbye.txt\r\n[PageTypes]\r\nFinish\r\n");
  MakeFile("un\\bye.txt", "[x]\r\nType=TLabel\r\n");
  MakeFile("un\\finalise.exe", "MZfin");
  MakeFile("un\\ICON.ICO", "ico");
  auto r = Compile("pages pg\nuninstallpages un\nlanguage English\n");
  ASSERT_TRUE(Errors(r).empty()) << Errors(r)[0];
  std::vector<std::string> names;
  for (const auto& e : r.entries) names.push_back(e.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"SetupInfo", "CompiledLines", "LANGUAGE-English", "Pages.txt", "welcome.txt",
                                      "side.jpg", "finish.txt", "notes.rtf", "UNINSTALL_Pages.txt", "UNINSTALL_bye.txt",
                                      "UNINSTALL_FINALISE.EXE", "UNINSTALL_ICON.ICO"}));
  // The engine breaks lines only at CR.
  EXPECT_EQ(Text(Find(r, "Pages.txt", 0)->data),
            "[Pages]\r\nwelcome.txt\r\nfinish.txt\r\n[PageTypes]\r\nWelcome\r\nFinish\r\n");
  EXPECT_EQ(r.info.HasUninstaller, 1);

  MakeFile("bad\\Pages.txt", "[Pages]\r\nnothere.txt\r\n");
  auto bad = Compile("pages bad\nlanguage English\n");
  EXPECT_TRUE(Contains(Errors(bad), "Pages.txt:2: error: layout \"nothere.txt\" not found"));
  EXPECT_TRUE(Contains(Errors(Compile("pages nofolder\nlanguage English\n")),
                       "setup.zqs:1: error: pages folder \"nofolder\" not found"));
}

TEST_F(BuilderTest, PrintedScriptCompilesToTheSameLines) {
  MakeFile("data\\a b.txt", "a");
  MakeFile("pg\\Pages.txt", "[Pages]\r\n");
  const std::string source =
      "outfile x.exe\n"
      "name \"The \"\"Best\"\" Game\"\n"
      "shortname Best\n"
      "installdir \"$PROGRAMFILES\\Best Game\"\n"
      "installdirregkey HKCU Software\\Best Dir\n"
      "uninstallpages pg\n"
      "prefix best\n"
      "language English\n"
      ":start\n"
      "file data \"\" HKCU Software\\Best Ver 2 0\n"
      "zqpupdate data \"pass word\" game.zqp\n"
      "zqpofficial game.zqp ok 1\n"
      "vfsupdate data a.vfs\n"
      "iffileexists $INSTDIR\\x start 0\n"
      "messagebox Text Caption 0 Start\n"
      "goto start\n"
      "failure\n";
  auto first = Compile(source);
  ASSERT_TRUE(Errors(first).empty()) << Errors(first)[0];
  const std::string printed = PrintScript(first.lines, first.info);
  EXPECT_NE(printed.find("file data \"\" HKCU Software\\Best Ver 2 0  ; group 1\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("zqpupdate data \"pass word\" game.zqp  ; group 2"), std::string::npos) << printed;
  EXPECT_NE(printed.find("messagebox Text Caption 0 start\n"), std::string::npos) << printed;
  auto second = Compile(printed);
  ASSERT_TRUE(Errors(second).empty()) << Errors(second)[0];
  EXPECT_EQ(second.lines.Serialize(), first.lines.Serialize());
  EXPECT_EQ(second.info.Serialize(), first.info.Serialize());
}

TEST_F(BuilderTest, ParallelPackingGivesTheSerialWritersBytes) {
  std::vector<PlannedEntry> entries;
  entries.push_back({"text", 0, {}, std::vector<std::uint8_t>(5000, 'a')});
  entries.push_back({"empty", 0, {}, {}});
  std::string noise = test::Incompressible(76, 3);
  entries.push_back({"noise", 0, {}, {noise.begin(), noise.end()}});
  for (int i = 0; i < 24; ++i) {
    const std::string name = "f" + std::to_string(i);
    WriteAll(dir_ / name, i % 3 ? test::Incompressible(1000 + i * 977, i) : std::string(40000 + i, char('a' + i)));
    entries.push_back({name, static_cast<std::uint16_t>(1 + i / 5), dir_ / name, {}});
  }
  const std::string stub = test::FakeProgram(333);
  WriteAll(dir_ / "stub.exe", stub);
  ASSERT_EQ(WriteSetup(dir_ / "parallel.exe", dir_ / "stub.exe", entries, {4, {}}), "");

  WriteAll(dir_ / "serial.exe", stub);
  {
    PakWriter pak(dir_ / "serial.exe", PakWriter::Mode::Append);
    for (const auto& e : entries) {
      std::size_t i = pak.AddEntry(e.name, e.source, e.group);
      ASSERT_TRUE(e.source.empty() ? pak.StoreBuffer(i, e.data.data(), static_cast<std::uint32_t>(e.data.size()))
                                   : pak.StoreFile(i));
    }
    ASSERT_TRUE(pak.WriteDirectory(true));
  }
  EXPECT_EQ(ReadAll(dir_ / "parallel.exe"), ReadAll(dir_ / "serial.exe"));
  TPak check(dir_ / "parallel.exe");
  EXPECT_TRUE(check.HasDigest());
  ASSERT_EQ(check.Entries().size(), entries.size() + 1);
  EXPECT_EQ(check.Entries()[2].CompSize, 0u);  // raw when compression does not pay
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (check.Entries()[i].OrigSize) {
      EXPECT_TRUE(check.VerifyEntry(i)) << i;
    }
  }
}

// Each engine packs the finaliser built with it, beside it; the 64-bit one has its own name.
TEST(BuildPaths, TheFinaliserIsTheOneBuiltWithTheEngine) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\zq\\zqsetup.exe", "C:\\zq\\zqfinalise.exe"},
      {"C:\\zq\\ZQSETUP64.EXE", "C:\\zq\\zqfinalise64.exe"},
      {"C:\\zq\\custom.exe", "C:\\zq\\zqfinalise.exe"},
      {"C:\\zq\\zqsetup", "C:\\zq\\zqfinalise"},  // a host engine
  };
  for (const auto& [stub, finaliser] : cases) EXPECT_EQ(FinaliserOfStub(stub), finaliser) << stub;
}

TEST_F(BuilderTest, BuildWritesTheSetupOnlyWhenItSucceeds) {
  MakeFile("data\\a.txt", "payload");
  WriteAll(dir_ / "engine.exe", test::FakeProgram(100));
  WriteAll(Script(), "name Demo\noutfile Demo.exe\nlanguage English\nfile data\n");
  BuildOptions options;
  options.script = Script();
  options.stub = dir_ / "engine.exe";
  options.stock_language_dirs = std::vector<std::string>{dir_ / "stock"};
  auto ok = BuildSetup(options);
  ASSERT_TRUE(ok.ok) << FormatDiagnostic(ok.diagnostics.at(0));
  EXPECT_EQ(ok.output, dir_ / "Demo.exe");
  EXPECT_EQ(ReadAll(ok.output).substr(0, 100), test::FakeProgram(100));
  {
    TPak pak(ok.output);
    ASSERT_TRUE(pak.HasValidHeader());
    EXPECT_EQ(pak.Entries().front().Offset, 100u);
    auto data = pak.ExtractByName("a.txt", 1);
    ASSERT_TRUE(data);
    EXPECT_EQ(Text(*data), "payload");
  }

  // A failed build leaves the earlier setup alone and no temporary behind.
  const std::string before = ReadAll(ok.output);
  WriteAll(Script(), "name Demo\noutfile Demo.exe\nlanguage English\nfile data\nfile gone\n");
  auto failed = BuildSetup(options);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(ReadAll(ok.output), before);
  EXPECT_FALSE(platform::FileExists(ok.output + ".zqbuild-part"));

  WriteAll(Script(), "name Demo\nlanguage English\nfile data\n");
  options.output = dir_ / "other.exe";
  options.stub = dir_ / "no-engine.exe";
  auto no_stub = BuildSetup(options);
  EXPECT_FALSE(no_stub.ok);
  EXPECT_FALSE(platform::FileExists(dir_ / "other.exe"));
  EXPECT_FALSE(platform::FileExists(dir_ / "other.exe.zqbuild-part"));

  // Without outfile the setup expects the name it is written under.
  options.stub = ok.output;  // a setup is no engine program
  EXPECT_FALSE(BuildSetup(options).ok);
  options.stub = dir_ / "engine.exe";
  ASSERT_TRUE(BuildSetup(options).ok);
  TPak pak(dir_ / "other.exe");
  auto record = pak.ExtractByName("SetupInfo", 0);
  TSetupInfoFile info;
  ASSERT_TRUE(record && info.LoadFromBuffer(record->data(), record->size()));
  EXPECT_EQ(info.SetupExeName, "other.exe");
}

// The output goes where it is asked to, folders and all; a write that fails says why.
TEST_F(BuilderTest, TheOutputsFolderIsMadeAndAFailedWriteSaysWhy) {
  WriteAll(dir_ / "engine.exe", test::FakeProgram(100));
  WriteAll(dir_ / "afile", "x");
  ASSERT_TRUE(platform::CreateDir(dir_ / "folder.exe"));
  WriteAll(Script(), "name Demo\nlanguage English\n");
  const struct {
    std::string output;
    std::string problem;  // "" when it is written
  } cases[] = {
      {dir_ / "new\\deeper\\Out.exe", ""},
      {dir_ / "afile\\Out.exe", "cannot create the folder " + dir_ / "afile" + ": a file has its name"},
      {dir_ / "folder.exe", "cannot replace " + dir_ / "folder.exe" + ": it is a folder"},
  };
  for (const auto& c : cases) {
    BuildOptions options;
    options.script = Script();
    options.stub = dir_ / "engine.exe";
    options.output = c.output;
    options.stock_language_dirs = std::vector<std::string>{dir_ / "stock"};
    const BuildResult r = BuildSetup(options);
    EXPECT_EQ(r.ok, c.problem.empty()) << c.output;
    if (c.problem.empty()) {
      EXPECT_TRUE(TPak(c.output).HasValidHeader());
    } else {
      ASSERT_FALSE(r.diagnostics.empty());
      EXPECT_EQ(FormatDiagnostic(r.diagnostics.back()), c.output + ": error: " + c.problem);
    }
    EXPECT_FALSE(platform::FileExists(c.output + ".zqbuild-part"));
  }
}

#ifndef _WIN32
// A signing command is run on the finished setup; one that fails, or changes more than a
// signature may, leaves no setup and no temporary behind.
TEST_F(BuilderTest, ASigningCommandThatFailsLeavesNothing) {
  WriteAll(dir_ / "engine.exe", test::FakeProgram(100));
  WriteAll(Script(), "name Demo\nlanguage English\n");
  const struct {
    std::string command;
    std::string problem;  // "" when it signs
  } cases[] = {
      {"cp {in} signed.exe", "the signing command must name the unsigned file as {in} and the signed one as {out}"},
      {"exit 3 {in} {out}", "signing the setup: the signing command ended with exit code 3"},
      {"true {in} {out}", "signing the setup: the signing command did not write {out}"},
      {"cp {in} {out}; printf x >> {out}", "signing the setup: the signed file's package does not read whole"},
      {"cp {in} {out}", ""},
  };
  for (const auto& c : cases) {
    BuildOptions options;
    options.script = Script();
    options.stub = dir_ / "engine.exe";
    options.output = dir_ / "out\\Demo.exe";
    options.sign = c.command;
    options.stock_language_dirs = std::vector<std::string>{dir_ / "stock"};
    const BuildResult r = BuildSetup(options);
    EXPECT_EQ(r.ok, c.problem.empty()) << c.command;
    EXPECT_EQ(platform::FileExists(options.output), c.problem.empty()) << c.command;
    if (!c.problem.empty()) {
      ASSERT_FALSE(r.diagnostics.empty());
      EXPECT_NE(FormatDiagnostic(r.diagnostics.back()).find(c.problem), std::string::npos)
          << FormatDiagnostic(r.diagnostics.back());
    }
    for (const auto& e : platform::ListDir(dir_ / "out").value_or(std::vector<platform::DirEntry>{})) {
      EXPECT_EQ(e.name.find(".zqbuild"), std::string::npos) << e.name;
    }
  }
}
#endif

}  // namespace
}  // namespace zq::builder
