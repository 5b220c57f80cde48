#include "engine/error_log.h"

#include <gtest/gtest.h>

#include <ios>
#include <sstream>

#include "base/error.h"
#include "engine/setup_context.h"
#include "diagnostics/os_info.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "platform/text.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

ErrorReport Sample() {
  ErrorReport r;
  r.SetupName = "Demo Game 1.0";
  r.SetupExeName = "DemoSetup.exe";
  r.PakID = "ZQPF";
  r.PakVersion = "1";
  r.PakFileCount = "42";
  r.Stage = "Setup Thread";
  r.Message = "Access violation at address 00401000";
  r.Params = {"C:\\setup.dat"};
  r.Product = "Windows XP Professional";
  r.BuildNumber = 2600;
  r.ServicePack = "Service Pack 2";
  r.ServicePackMajor = 2;
  r.ServicePackMinor = 0;
  r.PhysicalMemory = 536'346'624;  // 511.5 MiB
  r.CpuMhz = 2394;
  return r;
}

TEST(ErrorReportText, WholeReport) {
  const std::vector<std::string> expected = {
      "General Info",
      "------------",
      "Setup Name             : Demo Game 1.0",
      "Setup EXE Name         : DemoSetup.exe",
      "",
      "Pak Info",
      "--------",
      "ID                     : ZQPF",
      "Version                : 1",
      "Count                  : 42",
      "",
      "ErrorType              : Setup Thread",
      "ErrorText              : Access violation at address 00401000",
      "",
      "Params                 : C:\\setup.dat",
      "ParamCount             : 1",
      "",
      "Windows Info",
      "------------",
      "Product                : Windows XP Professional",
      "BuildNumber            : 2600",
      "ServicePack            : Service Pack 2",
      "ServicePackMajor       : 2",
      "ServicePackMinor       : 0",
      "",
      "Physical Memory        : 512MB",
      "CPU Speed              : 2394Mhz",
  };
  const std::vector<std::string> lines = Lines(ErrorReportText(Sample()));
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST(ErrorReportText, NameColumnIsTwentyTwoWide) {
  const std::string text = ErrorReportText(Sample());
  EXPECT_NE(text.find("\r\nID" + std::string(20, ' ') + " : ZQPF\r\n"), std::string::npos);
  for (const std::string& line : Lines(text)) {
    if (line.find(" : ") == std::string::npos) continue;
    EXPECT_EQ(line.find(" : "), 22u) << line;
  }
}

TEST(ErrorReportText, MemoryIsWholeMebibytesPlusOne) {
  ErrorReport r = Sample();
  r.PhysicalMemory = 512ull * 1024 * 1024;
  EXPECT_NE(ErrorReportText(r).find("Physical Memory        : 513MB\r\n"), std::string::npos);
  r.PhysicalMemory = 0;
  EXPECT_NE(ErrorReportText(r).find("Physical Memory        : 1MB\r\n"), std::string::npos);
  r.PhysicalMemory = 8ull * 1024 * 1024 * 1024 - 1;  // beyond 32 bits
  EXPECT_NE(ErrorReportText(r).find("Physical Memory        : 8192MB\r\n"), std::string::npos);
}

TEST(ErrorReportText, EmptyStageIsUnknown) {
  ErrorReport r = Sample();
  r.Stage.clear();
  EXPECT_NE(ErrorReportText(r).find("\r\nErrorType              : Unknown\r\n"), std::string::npos);
  EXPECT_EQ(ErrorType(""), "Unknown");
  EXPECT_EQ(ErrorType("Verification Stage"), "Verification Stage");
}

TEST(ErrorReportText, NoArguments) {
  ErrorReport r = Sample();
  r.Params.clear();
  const std::string text = ErrorReportText(r);
  EXPECT_NE(text.find("\r\nParams                 : \r\nParamCount             : 0\r\n"), std::string::npos);
}

TEST(MaskedParams, JoinSwitchHidesTheTwoArgumentsAfterIt) {
  const std::vector<std::string> args = {"a", "/j", "user", "1.2.3.4", "b"};
  EXPECT_EQ(MaskedParams(args), "a /j X X.X.X.X b");
  ErrorReport r = Sample();
  r.Params = args;
  const std::string text = ErrorReportText(r);
  EXPECT_NE(text.find("Params                 : a /j X X.X.X.X b\r\nParamCount             : 5\r\n"),
            std::string::npos);
}

TEST(MaskedParams, Cases) {
  EXPECT_EQ(MaskedParams({}), "");
  EXPECT_EQ(MaskedParams({"/J", "u", "h"}), "/j X X.X.X.X");
  EXPECT_EQ(MaskedParams({"/J"}), "/j X X.X.X.X");  // nothing to hide after it
  EXPECT_EQ(MaskedParams({"x", "/j", "u"}), "x /j X X.X.X.X");
  EXPECT_EQ(MaskedParams({"/j", "/j", "u", "v"}), "/j X X.X.X.X v");  // the hidden "/j" is no switch
  EXPECT_EQ(MaskedParams({"/jx", "-j", "j"}), "/jx -j j");
  EXPECT_EQ(MaskedParams({"/J", "a", "b", "/j", "c", "d", "e"}), "/j X X.X.X.X /j X X.X.X.X e");
  EXPECT_EQ(MaskedParams({"with space", "b"}), "with space b");
}

TEST(ErrorLogFile, NumbersFromZeroSkippingExistingReports) {
  test::TempDir dir;
  EXPECT_EQ(NextErrorLogPath(dir.path()), dir / "ErrorLog0000.TXT");
  EXPECT_EQ(NextErrorLogPath(dir.path() + "\\"), dir / "ErrorLog0000.TXT");

  EXPECT_EQ(WriteErrorLogFile(dir.path(), "first\r\n"), dir / "ErrorLog0000.TXT");
  test::WriteAll(dir / "ErrorLog0001.TXT", "someone else's");
  const std::string third = WriteErrorLogFile(dir.path(), "third\r\n");
  EXPECT_EQ(third, dir / "ErrorLog0002.TXT");
  EXPECT_EQ(test::ReadAll(third), "third\r\n");
  EXPECT_EQ(test::ReadAll(dir / "ErrorLog0000.TXT"), "first\r\n");
  EXPECT_EQ(test::ReadAll(dir / "ErrorLog0001.TXT"), "someone else's");
}

TEST(ErrorLogFile, TheFirstGapIsTaken) {
  test::TempDir dir;
  test::WriteAll(dir / "ErrorLog0001.TXT", "");
  EXPECT_EQ(NextErrorLogPath(dir.path()), dir / "ErrorLog0000.TXT");
}

TEST(ErrorLogFile, UnwritableFolderRaisesAnIOError) {
  test::TempDir dir;
  EXPECT_THROW(WriteErrorLogFile(dir / "missing", "x"), Error);
}

TEST(ErrorReportBox, Text) {
  EXPECT_EQ(ErrorReportBoxText("Setup Thread", "Boom", "C:\\Temp\\ErrorLog0000.TXT"),
            u"Setup Thread Error: Boom\r\rError Log Created. Please Include \"C:\\Temp\\ErrorLog0000.TXT\" with your "
            u"bug report");
  const std::u16string unknown = ErrorReportBoxText("", "Boom", "x");
  EXPECT_EQ(unknown.rfind(u"Unknown Error: Boom\r\r", 0), 0u);
}

class RecordingBoxes : public MessageBoxes {
 public:
  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) override {
    events.push_back("box");
    this->text = text;
    this->caption = caption;
    this->flags = flags;
    return kIdOk;
  }
  std::vector<std::string> events;
  std::u16string text, caption;
  unsigned flags = 0;
};

TEST(WriteErrorLog, WritesShowsAndOpensTheReport) {
  test::TempDir dir;
  test::WriteAll(dir / "ErrorLog0000.TXT", "");

  SetupContext ctx;
  ctx.SetupToLoad().SetupInfo.SetupName = "Demo Game";
  ctx.SetupToLoad().SetupInfo.SetupExeName = "DemoSetup.exe";
  // A package of 17 entries whose header names version 3.
  ASSERT_TRUE(test::WritePackage(dir / "pak.bin", test::FakeProgram(64), std::vector<test::SampleEntry>(17)));
  std::string package = test::ReadAll(dir / "pak.bin");
  package[package.size() - 12] = 3;
  test::WriteAll(dir / "pak.bin", package);
  ctx.SetupToLoad().Pak = std::make_unique<TPak>(dir / "pak.bin");
  RecordingBoxes boxes;
  ctx.Services.Messages = &boxes;

  std::string opened;
  ErrorLogSystem system;
  system.Folder = dir.path();
  system.CpuSpeedMhz = [] { return 1234u; };
  system.OpenFile = [&](const std::string& path) {
    boxes.events.push_back("open");
    opened = path;
  };
  const std::string path = WriteErrorLog(ctx, "Boom", "", {"a", "/J", "u", "h"}, system);

  EXPECT_EQ(path, dir / "ErrorLog0001.TXT");
  EXPECT_EQ(opened, path);
  EXPECT_EQ(boxes.events, (std::vector<std::string>{"box", "open"}));
  EXPECT_EQ(boxes.caption, u"Error Report");
  EXPECT_EQ(boxes.text, ErrorReportBoxText("", "Boom", path));
  EXPECT_EQ(boxes.flags & 0xF, static_cast<unsigned>(kMbOk));

  ErrorReport expected;
  expected.SetupName = "Demo Game";
  expected.SetupExeName = "DemoSetup.exe";
  expected.PakID = "ZQPF";
  expected.PakVersion = "3";
  expected.PakFileCount = "17";
  expected.Message = "Boom";
  expected.Params = {"a", "/J", "u", "h"};
  expected.Product = std::string(OSProductName(TOSInfo::Product())) + " " + TOSInfo::Edition();
  expected.BuildNumber = TOSInfo::BuildNumber();
  expected.ServicePack = TOSInfo::ServicePack();
  expected.ServicePackMajor = TOSInfo::ServicePackMajor();
  expected.ServicePackMinor = TOSInfo::ServicePackMinor();
  expected.PhysicalMemory = platform::TotalPhysicalMemory();
  expected.CpuMhz = 1234;
  EXPECT_EQ(test::ReadAll(path), ErrorReportText(expected));
  EXPECT_GT(expected.PhysicalMemory, 16ull * 1024 * 1024);
#ifndef _WIN32
  EXPECT_NE(test::ReadAll(path).find("\r\nProduct                : Windows Vista \r\nBuildNumber            : 7601\r\n"
                                     "ServicePack            : Service Pack 1\r\n"),
            std::string::npos);
#endif
}

TEST(WriteErrorLog, WithoutContainerThePakValuesAreEmpty) {
  test::TempDir dir;
  SetupContext ctx;
  ErrorLogSystem system;
  system.Folder = dir.path();
  system.CpuSpeedMhz = [] { return 1u; };
  system.OpenFile = [](const std::string&) {};
  const std::string text = test::ReadAll(WriteErrorLog(ctx, "m", "Verification Stage", {}, system));
  EXPECT_NE(text.find("\r\nID                     : \r\nVersion                : \r\nCount                  : \r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\nErrorType              : Verification Stage\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zq
