#include "engine/commands/commands.h"

#include <array>

#include "base/error.h"
#include "engine/macros.h"
#include "base/path_text.h"
#include "engine/setup_context.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/text.h"
#include "ui/languages.h"

namespace zq {

namespace {
// A command without a run-time action of its own ("name", "language", ...).
class PassiveCommand : public TCommandClass {
 public:
  using TCommandClass::TCommandClass;
};

using Maker = std::unique_ptr<TCommandClass> (*)(const CommandInfo&);

// The families' bindings by row; a row the engine runs has exactly one class, any other row
// the passive one.
std::array<Maker, kCommandCount> BindRows() {
  std::array<Maker, kCommandCount> makers{};
  for (auto family : {FlowCommands(), FileCommands(), RegistryCommands(), LogArchiveCommands(), DecisionCommands()}) {
    for (const CommandBinding& binding : family) {
      const CommandInfo& row = CommandTable()[static_cast<std::size_t>(binding.index - 1)];
      Maker& slot = makers[static_cast<std::size_t>(binding.index - 1)];
      if (slot != nullptr) throw Error(std::string("command \"") + row.keyword + "\" has two classes");
      if (!row.Runs()) {
        throw Error(std::string("command \"") + row.keyword + "\" never runs but has a class");
      }
      slot = binding.make;
    }
  }
  for (const CommandInfo& row : CommandTable()) {
    Maker& slot = makers[static_cast<std::size_t>(row.index - 1)];
    if (slot != nullptr) continue;
    if (row.Runs()) {
      throw Error(std::string("command \"") + row.keyword + "\" has no run-time class");
    }
    slot = &MakeAs<PassiveCommand>;
  }
  return makers;
}

}  // namespace

std::unique_ptr<TCommandClass> MakeCommand(const CommandInfo& info) {
  static const std::array<Maker, kCommandCount> makers = BindRows();
  return makers.at(static_cast<std::size_t>(info.index - 1))(info);
}

ArchiveProcedures* ArchivesFor(const RunScope& ctx, const char* keyword) {
  if (ctx.Services.Archives == nullptr)
    ctx.Services.LogLine(std::string(keyword) + " passed over: archive updates are not available");
  return ctx.Services.Archives;
}

std::string SearchOpticalDrives(const std::string& path) {
  if (platform::UpperCase(path).find("$CDDRIVE") == std::string::npos) return path;
  for (const auto& root : platform::LogicalDriveRoots()) {
    if (platform::GetDriveType(root) != platform::DriveType::CdRom) continue;
    std::u16string candidate =
        TLanguages::ReplaceText(platform::Utf8ToWide(path), u"$CDDRIVE", platform::Utf8ToWide(root));
    candidate = TLanguages::ReplaceText(candidate, u"\\\\", u"\\");
    const std::string narrow = platform::WideToUtf8(candidate);
    if (platform::FileExists(narrow)) return narrow;
  }
  return path;
}

void RegisterCommands(TCommandList& list) {
  list.Clear();
  for (const CommandInfo& info : CommandTable()) list.Add(MakeCommand(info));
}

}  // namespace zq
