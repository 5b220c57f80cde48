#include "engine/line_args.h"

#include "base/error.h"
#include "base/path_text.h"
#include "base/scrambler.h"
#include "engine/macros.h"
#include "engine/run_state.h"

namespace zq {

LineArgs::LineArgs(RunState& run, std::uint32_t line, const CommandInfo& info) : line_(line), info_(info) {
  if (line < run.Lines.Lines.size()) args_ = &run.Lines.Lines[line].Args;
}

// A missing argument reads as one shared empty text that nothing writes: a thread_local
// string here would be destroyed after its storage on the win32 runtime's worker threads.
const std::string& LineArgs::operator[](std::size_t n) const {
  static const std::string missing;
  return n >= 1 && n <= Count() ? (*args_)[n - 1] : missing;
}

std::string LineArgs::ExpandInPlace(const MacroValues& macros, std::size_t n) {
  std::string expanded = ExpandMacrosAnsi(macros, (*this)[n]);
  if (n >= 1 && n <= Count()) (*args_)[n - 1] = expanded;
  return expanded;
}

std::int32_t LineArgs::Jump(int k) const {
  const int n = info_.JumpArg(k, Count());
  return n == 0 ? -1 : StrToIntOr((*this)[static_cast<std::size_t>(n)]);
}

std::uint16_t LineArgs::Group() const {
  const std::string& text = (*this)[Count()];
  const std::int32_t g = StrToIntOr(text);
  if (g < 0 || g > 0xFFFF) {
    throw Error("line " + std::to_string(line_) + ": the group number \"" + text + "\" is not valid");
  }
  return static_cast<std::uint16_t>(g);
}

std::string LineArgs::DecodeSecretInPlace() {
  const auto n = static_cast<std::size_t>(info_.scrambled_arg);
  std::string decoded = DecodePass(std::string(kPackageCommandKey), (*this)[n], false);
  if (n >= 1 && n <= Count()) (*args_)[n - 1] = decoded;
  return decoded;
}

}  // namespace zq
