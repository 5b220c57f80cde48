#include "engine/commands/extract_group.h"

#include "base/path_text.h"
#include "base/size_text.h"
#include "container/entry_name.h"
#include "engine/logged_files.h"
#include "engine/progress.h"
#include "engine/setup_context.h"
#include "platform/text.h"

namespace zq {

void ExtractGroup(SetupContext& ctx, TPak& pak, const std::string& directory, std::uint16_t group) {
  const std::u16string status = ctx.Languages.GetText(18);
  auto show = [&ctx, &status](const std::string& file_text) {
    SetStatusText(ctx, TLanguages::ReplaceText(status, u"<%FILENAME%>", platform::AnsiToWide(file_text)));
  };
  std::uint32_t size = 0;
  std::string name;
  std::size_t index = 0;
  for (bool found = pak.FirstIndexInGroup(group, index); found; found = pak.NextIndexInGroup(group, index)) {
    size = pak.Entries[index].OrigSize;
    name = pak.Entries[index].Name;
    const std::string target = directory + "\\" + name;
    if (!IsSafeEntryName(name)) {
      ctx.LogLine("refused entry \"" + name + "\": its name would leave " + directory);
    } else {
      show(name);
      ctx.UninstallList.AddFile(target);
      if (size >= LargeEntryLimit) {
        // The in-memory path creates missing folders; a large entry in a subfolder needs them too.
        ForceDirectoriesLogged(ctx, ExtractFileDir(target));
        pak.CopyLargeEntry(target, name, size, index, show);
      } else {
        auto data = pak.Extract(index);
        WriteFileLogged(ctx, target, data ? data->data() : nullptr, data ? data->size() : 0);
      }
      ctx.LogLine("file " + target);
    }
    StepProgress(ctx, true);
  }
}

}  // namespace zq
