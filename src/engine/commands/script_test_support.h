// Scripts written line by line for the tests of this folder, run in a fresh context.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/setup_context.h"
#include "engine/command.h"
#include "engine/commands/commands.h"
#include "script/command_table.h"
#include "script/comp_lines.h"

namespace zq::test {

// A line for the keyword with these arguments, numbered by its position when added.
struct ScriptLine {
  std::string keyword;  // "" or ":" for a label line (first argument its name)
  std::vector<std::string> args;
};

inline void LoadScript(SetupContext& ctx, const std::vector<ScriptLine>& lines) {
  ctx.SetupToLoad().CompLines.Lines.clear();
  for (const auto& l : lines) {
    TCompLine line;
    if (!l.keyword.empty() && l.keyword != ":") line.CommandIndex = FindCommand(l.keyword)->index;
    line.Args = l.args;
    line.ArgCount = static_cast<std::int32_t>(l.args.size());
    line.LineNumber = static_cast<std::uint32_t>(ctx.SetupToLoad().CompLines.Lines.size());
    ctx.SetupToLoad().CompLines.Lines.push_back(line);
  }
  RegisterCommands(ctx.SetupToLoad().CommandList);
  ctx.Run.Lines = ctx.Setup.CompLines;  // as RunScript starts a run
  ctx.Run.CurrentLine = -1;
}

// Runs line `position` alone, as the worker would.
inline void RunLine(SetupContext& ctx, std::uint32_t position) {
  const TCompLine& line = ctx.Run.Lines.Lines.at(position);
  ctx.Setup.CommandList.At(line.CommandIndex)->SFXProcess(ctx, line.LineNumber);
}

class RecordingText : public TextTarget {
 public:
  void SetCaption(const std::u16string& text) override { captions.push_back(text); }
  std::vector<std::u16string> captions;
};

class ScriptedBoxes : public MessageBoxes {
 public:
  explicit ScriptedBoxes(int answer) : answer_(answer) {}
  int Show(const std::u16string& text, const std::u16string& caption, unsigned flags) override {
    shown.push_back({text, caption, flags});
    return answer_;
  }
  struct Box {
    std::u16string text, caption;
    unsigned flags;
  };
  std::vector<Box> shown;

 private:
  int answer_;
};

}  // namespace zq::test
