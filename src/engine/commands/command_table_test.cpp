// The command table against both halves of every command: a line of each row compiled from
// source, printed back and compiled again, and run by the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include "base/scrambler.h"
#include "builder/script_compiler.h"
#include "builder/script_printer.h"
#include "engine/commands/script_test_support.h"
#include "engine/setup_thread.h"
#include "platform/files.h"
#include "platform/text.h"
#include "script/command_table.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

// The source argument counts tried for a row: each the engine accepts when the row lists
// them, else the fewest that reach every jump argument.
std::vector<int> SourceCounts(const CommandInfo& c) {
  std::vector<int> counts;
  for (int n = 0; n < 32; ++n) {
    if (c.arg_counts >> n & 1u) counts.push_back(n - c.AppendedArgs());
  }
  if (counts.empty()) {
    int n = c.MinSourceArgs();
    for (int k = 0; c.JumpArg(k, 0) != 0; ++k) n = std::max(n, c.JumpArg(k, 0));
    counts.push_back(n);
  }
  return counts;
}

// Argument n of a test line: a registry root where the row names one, else the first names
// the folder beside the script (a group's source, a pages folder); every argument is also a
// label.
std::string ArgText(const CommandInfo& c, int n) {
  if (n == c.root_arg) return "HKCU";
  if (c.build == BuildStep::PackLicense) return "present.txt";
  const std::string keyword = c.keyword;
  if (n == 1 && keyword == "ifexitcode") return "7";
  // The words the decisions take are checked when the script is built.
  if ((n == 2 && keyword == "ifversion") || (n == 1 && keyword == "ifwindows")) return ">=";
  if (n == 2 && keyword == "ifwindows") return "6.1";
  if (n == 1 && keyword == "ifmachine") return "x64";
  return n == 1 ? "d" : "a" + std::to_string(n);
}

// The stored arguments the builder writes in place of the source's, for the rows that do.
std::optional<std::vector<std::string>> Rewritten(const CommandInfo& c, int count) {
  if (c.build == BuildStep::PackLicense) return std::vector<std::string>{"LICENSE", "", "present.txt"};
  if (c.build != BuildStep::Component) return std::nullopt;
  std::vector<std::string> args{"d", count > 1 ? "a2" : "", "on", ""};
  args.push_back("0");                            // no files
  args.push_back(std::to_string(1 + 4 * count));  // no endcomponent: it holds the script's last line
  return args;
}

std::string Messages(const builder::CompileResult& r) {
  std::string all;
  for (const auto& d : r.diagnostics.All()) all += builder::FormatDiagnostic(d) + "\n";
  return all;
}

TEST(CommandTable, EveryRowIsStoredPrintedAndFollowedAsTheTableSays) {
  test::TempDir dir;
  ASSERT_TRUE(platform::CreateDir(dir / "d"));
  test::WriteAll(dir / "d\\Pages.txt", "[Pages]\r\n");
  test::WriteAll(dir / "present.txt", "x");
  // The install pages with a check box named like the first argument, for "ifchecked".
  ASSERT_TRUE(platform::CreateDir(dir / "install"));
  test::WriteAll(dir / "install\\Pages.txt", "[Pages]\r\nbox.txt\r\n");
  test::WriteAll(dir / "install\\box.txt", "[d]\r\nType=TCheckBox\r\n");
  const std::string script = dir / "setup.zqs";
  builder::CompileOptions options;
  options.stock_page_dirs = {dir.path()};
  for (const CommandInfo& c : CommandTable()) {
    for (const int count : SourceCounts(c)) {
      SCOPED_TRACE(std::string(c.keyword) + " with " + std::to_string(count) + " arguments");
      // The line at position 0, "message none" at 1, then for every argument a label and a
      // message naming it, once (from position 2) and again (from 2 + 2 * count).
      std::string source = c.keyword;
      for (int n = 1; n <= count; ++n) source += " " + ArgText(c, n);
      source += "\nmessage none\n";
      for (const char* copy : {"first", "last"}) {
        for (int n = 1; n <= count; ++n) {
          source += ":" + ArgText(c, n) + "\nmessage \"" + copy + " " + ArgText(c, n) + "\"\n";
        }
      }
      auto label_line = [&](int n) { return 2 * n + (c.first_label ? 0 : 2 * count); };

      const builder::CompileResult compiled = builder::CompileSource(source, script, options);
      ASSERT_FALSE(compiled.diagnostics.HasErrors()) << Messages(compiled);
      const TCompLine& line = compiled.lines.Lines.at(0);
      if (c.IsDefinition()) {
        EXPECT_EQ(line.CommandIndex, kDefinitionOnlyIndex);
        EXPECT_TRUE(line.Args.empty());
      } else if (const auto rewritten = Rewritten(c, count)) {
        EXPECT_EQ(line.CommandIndex, c.index);
        EXPECT_EQ(line.Args, *rewritten);
      } else {
        EXPECT_EQ(line.CommandIndex, c.index);
        ASSERT_EQ(line.Args.size(), static_cast<std::size_t>(count + c.AppendedArgs()));
        for (int n = 1; n <= count; ++n) {
          const std::string& stored = line.Args[static_cast<std::size_t>(n - 1)];
          if (c.IsJumpArg(n, static_cast<std::size_t>(count))) {
            EXPECT_EQ(stored, std::to_string(label_line(n))) << "argument " << n;
          } else if (n == c.scrambled_arg) {
            EXPECT_NE(stored, ArgText(c, n));
            EXPECT_EQ(UnscrambleLine(kPackageCommandKey, stored), ArgText(c, n));
          } else {
            EXPECT_EQ(stored, ArgText(c, n)) << "argument " << n;
          }
        }
        if (c.group_kind != GroupKind::None) {
          EXPECT_EQ(line.Args.back(), "1");
        }
      }

      const std::string printed = builder::PrintScript(compiled.lines, compiled.info);
      const builder::CompileResult again = builder::CompileSource(printed, script, options);
      ASSERT_FALSE(again.diagnostics.HasErrors()) << printed << Messages(again);
      EXPECT_EQ(again.lines.Serialize(), compiled.lines.Serialize()) << printed;
      EXPECT_EQ(again.info.Serialize(), compiled.info.Serialize()) << printed;

      // Run twice: every argument that is no jump target names a file that exists and the
      // message box answers OK, then a file that is missing and the answer is Cancel. Between
      // them the runs land on exactly the labels of the jump arguments. The conditions on an
      // exit code and the registry have their own table (command_run_test.cpp), the decisions
      // theirs (engine/decisions_test.cpp).
      const std::string keyword = c.keyword;
      if (!c.Jumps() || keyword == "ifexitcode" || keyword == "ifregexists" || c.index >= CommandIndexOf("var")) {
        continue;
      }
      std::set<std::string> landed;
      for (const bool present : {true, false}) {
        SetupContext ctx;
        test::LoadScript(ctx, {});
        ctx.SetupToLoad().CompLines = compiled.lines;
        for (int n = 1; n <= count; ++n) {
          if (c.IsJumpArg(n, static_cast<std::size_t>(count)) || n == c.control_arg) continue;
          ctx.SetupToLoad().CompLines.Lines[0].Args[static_cast<std::size_t>(n - 1)] =
              dir / (present ? "present.txt" : "missing.txt");
        }
        test::RecordingText status;
        test::ScriptedBoxes boxes(present ? kIdOk : kIdCancel);
        ctx.Services.StatusLabel = &status;
        ctx.Services.Messages = &boxes;
        ctx.Choices.InstallDir = dir / "Inst";
        ctx.Choices.Checked = {{"d", present}};  // the box the line names is checked, then not
        RunScript(ctx);
        ASSERT_FALSE(status.captions.empty());
        landed.insert(platform::WideToUtf8(status.captions.front()));
      }
      std::set<std::string> targets;
      for (int n = 1; n <= count; ++n) {
        if (c.IsJumpArg(n, static_cast<std::size_t>(count)))
          targets.insert((c.first_label ? "first " : "last ") + ArgText(c, n));
      }
      // A box that is not checked makes no jump: the run goes on with the next line.
      if (c.control_arg != 0) targets.insert("none");
      EXPECT_EQ(landed, targets);
    }
  }
}

}  // namespace
}  // namespace zq
