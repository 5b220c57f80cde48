#include "builder/compile_state.h"

#include "container/entry_name.h"
#include "platform/file_names.h"
#include "platform/files.h"

namespace zq::builder::compile {

void State::AddSetupFile(PlannedEntry entry, std::uint32_t line) {
  for (const auto& e : setup_files) {
    if (Lower(e.name) == Lower(entry.name)) return;
  }
  CheckEntry(entry, line);
  setup_files.push_back(std::move(entry));
}

void State::CheckEntry(const PlannedEntry& e, std::uint32_t line) {
  if (e.name.size() > kMaxEntryName) {
    diags().Error(script, line, "entry name \"" + e.name + "\" is longer than 127 bytes");
  } else if (!IsSafeEntryName(e.name)) {
    diags().Error(script, line, "entry name \"" + e.name + "\" is not a plain relative name");
  } else if (platform::RefusedForCreation("C:\\" + e.name, false) != platform::FileFault::None) {
    diags().Error(script, line, "entry name \"" + e.name + "\" holds a name or character that Windows does not allow");
  }
  if (!e.source.empty()) {
    auto size = platform::FileSize(e.source);
    if (size && *size > 0xFFFFFFFFull) diags().Error(script, line, e.source + " is 4 GiB or larger");
  }
}

}  // namespace zq::builder::compile
