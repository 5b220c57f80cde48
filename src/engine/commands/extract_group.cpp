#include "engine/commands/extract_group.h"

#include "base/path_text.h"
#include "base/size_text.h"
#include "container/entry_name.h"
#include "engine/archive_updater.h"
#include "engine/logged_files.h"
#include "engine/progress.h"
#include "engine/setup_context.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq {

namespace {

std::string FaultText(platform::FileFault fault) {
  using platform::FileFault;
  switch (fault) {
    case FileFault::BadName: return "Windows does not allow this name";
    case FileFault::TooLong: return "the path is longer than Windows allows";
    case FileFault::AccessDenied: return "access is denied (the file may be read-only or in use)";
    case FileFault::DiskFull: return "the disk is full";
    case FileFault::Missing: return "its folder could not be created";
    case FileFault::Other: return "the system refused to write it";
    case FileFault::None: break;
  }
  return "the setup package could not be read";  // the file opened, the entry's bytes did not come
}

// A file that is not there must never look installed: the run ends as a failed run, like
// "failure", and the file is not recorded for the uninstall.
void FailWrite(SetupContext& ctx, const std::string& target) {
  const platform::FileFault fault = platform::LastFileFault();
  const std::string message = "Unable to write file \"" + target + "\": " + FaultText(fault) + ".";
  // What a failed write left behind is a cut copy that the uninstall would never remove; a
  // file that could not even be opened is left as it was.
  if (fault == platform::FileFault::None || fault == platform::FileFault::DiskFull) platform::DeleteFileAt(target);
  ctx.LogLine("Error: " + message);
  ctx.ShowMessageBox(platform::AnsiToWide(message), u"Error", kMbOk | kMbIconError);
  SetDetailText(ctx, ctx.Languages.GetText(23), true);
  ctx.SetupAborted = true;
}

}  // namespace

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
      ForgetArchiveJournal(ctx, target);
      bool written = false;
      // A copy that fails before it opens the target must not count as one that opened it.
      platform::NoteFileFault(platform::FileFault::Other);
      if (size >= LargeEntryLimit) {
        // The in-memory path creates missing folders; a large entry in a subfolder needs them too.
        ForceDirectoriesLogged(ctx, ExtractFileDir(target));
        written = pak.CopyLargeEntry(target, name, size, index, show);
      } else {
        auto data = pak.Extract(index);
        written = WriteFileLogged(ctx, target, data ? data->data() : nullptr, data ? data->size() : 0);
      }
      if (!written) {
        FailWrite(ctx, target);
        return;
      }
      ctx.UninstallList.AddFile(target);
      ctx.LogLine("file " + target);
    }
    StepProgress(ctx, true);
  }
}

}  // namespace zq
