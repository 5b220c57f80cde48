#include "engine/commands/extract_group.h"

#include <unordered_set>

#include "base/path_text.h"
#include "base/size_text.h"
#include "container/entry_name.h"
#include "container/solid_reader.h"
#include "engine/archive_updater.h"
#include "engine/commands/entry_prefetch.h"
#include "engine/commands/solid_prefetch.h"
#include "engine/logged_files.h"
#include "engine/progress.h"
#include "engine/run_changes.h"
#include "engine/setup_context.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace zq {

namespace {

std::string FaultText(platform::FileFault fault) {
  // None: the file opened, the entry's bytes did not come.
  return fault == platform::FileFault::None ? "the setup package could not be read" : platform::FileFaultText(fault);
}

// A file that is not there must never look installed: the run ends as a failed run, like
// "failure", and the file is not recorded for the uninstall.
void FailWrite(const RunScope& ctx, const std::string& target, bool package_unreadable) {
  const platform::FileFault fault = package_unreadable ? platform::FileFault::None : platform::LastFileFault();
  const std::string message = "Unable to write file \"" + target + "\": " + FaultText(fault) + ".";
  // What a failed write left behind is a cut copy that the uninstall would never remove; a
  // file that could not even be opened is left as it was.
  if (!package_unreadable && (fault == platform::FileFault::None || fault == platform::FileFault::DiskFull)) {
    platform::DeleteFileAt(target);
  }
  FailRun(ctx, message);
}

// No two entries of the group write the same file (names compared as the system does).
bool NamesDiffer(const TPak& pak, const std::vector<std::size_t>& entries) {
  std::unordered_set<std::string> names;
  for (const std::size_t index : entries) {
    if (!names.insert(platform::LowerCase(pak.Entries()[index].Name)).second) return false;
  }
  return true;
}

}  // namespace

void ExtractGroup(const RunScope& ctx, TPak& pak, const std::string& directory, std::uint16_t group) {
  const std::u16string status = ctx.Text(TextId::ExtractingFile);
  auto show = [&ctx, &status](const std::string& file_text) {
    SetStatusText(ctx.Services, TLanguages::ReplaceText(status, u"<%FILENAME%>", platform::Utf8ToWide(file_text)));
  };
  const std::vector<std::size_t> entries = pak.IndexesInGroup(group);
  std::vector<std::size_t> inflated;  // those the prefetch reads ahead, in the same order
  for (const std::size_t index : entries) {
    if (IsSafeEntryName(pak.Entries()[index].Name) && !pak.IsSolid(index)) inflated.push_back(index);
  }
  // Solid blocks are decoded on other threads, two at once where they allow, into their files
  // through fixed buffers; a block found damaged fails the run, which undoes what came before it.
  // The solid entries are then written in the order the decoders give them, in the places of
  // the group's solid entries: the same files, unless the group names one twice.
  std::vector<std::size_t> solid_order;
  for (const std::size_t index : entries) {
    if (pak.IsSolid(index)) solid_order.push_back(index);
  }
  // A group of a zlib package, where nothing is reordered, is not asked about its names.
  const bool lanes = !solid_order.empty() && NamesDiffer(pak, entries);
  SolidPrefetch solid(pak, std::move(solid_order), lanes);
  std::vector<std::size_t> write_order = entries;
  std::size_t next_solid = 0;
  for (std::size_t& index : write_order) {
    if (pak.IsSolid(index)) index = solid.Order()[next_solid++];
  }
  FolderListing listing;  // nothing but this extraction writes to its folders meanwhile
  // Written ahead: the group's records (the folders it makes, the files it creates, those it
  // keeps aside with their digests) are made durable together, before the first of its changes.
  std::vector<PlannedWrite> plans(write_order.size());
  {
    std::unordered_set<std::string> folders_seen, targets_seen;
    for (std::size_t i = 0; i < write_order.size(); ++i) {
      if (ctx.Run.Cancelled || ctx.Run.Terminating) return;
      const std::string& name = pak.Entries()[write_order[i]].Name;
      if (!IsSafeEntryName(name)) continue;
      const std::string target = directory + "\\" + name;
      plans[i].target = target;
      if (std::string folder = ExtractFileDir(target); folders_seen.insert(folder).second) {
        if (!RecordMissingFolders(ctx.Run.Journal, folder)) break;
      }
      // A file the group writes twice: the first write's record covers the second.
      if (!targets_seen.insert(platform::LowerCase(target)).second) continue;
      auto plan = PlanFileWrite(ctx.Run, target, &listing);
      if (!plan) break;
      plans[i] = std::move(*plan);
    }
    ctx.Run.Journal.Sync();
    if (ctx.Run.Journal.Broken()) {
      FailRun(ctx, "Unable to write file \"" + ctx.Run.Journal.Path() + "\": the disk may be full.");
      return;
    }
  }
  // The folders made sure of once each: asking for every file costs a look-up of each level.
  std::unordered_set<std::string> folders_ready;
  EntryPrefetch prefetch(pak, std::move(inflated));
  for (std::size_t i = 0; i < write_order.size(); ++i) {
    const std::size_t index = write_order[i];
    if (ctx.Run.Cancelled || ctx.Run.Terminating) return;  // a large group stops at its next file
    const std::uint32_t size = pak.Entries()[index].OrigSize;
    const std::string& name = pak.Entries()[index].Name;
    const std::string target = directory + "\\" + name;
    if (!IsSafeEntryName(name)) {
      ctx.Services.LogLine("refused entry \"" + name + "\": its name would leave " + directory);
    } else {
      show(name);
      ForgetArchiveJournal(ctx, target, &listing);
      if (std::string folder = ExtractFileDir(target); !folders_ready.count(folder)) {
        ForceDirectoriesLogged(ctx.Run.UninstallList, folder);  // recorded with the group
        folders_ready.insert(std::move(folder));
      }
      const std::optional<std::string> write_to = ApplyTargetOrStage(ctx, plans[i], &listing);
      if (!write_to) {
        // The file there could not be moved aside: another program holds it. It stays as it was.
        platform::NoteFileFault(platform::FileFault::InUse);
        FailWrite(ctx, target, false);
        return;
      }
      bool written = false;
      if (pak.IsSolid(index)) {
        platform::NoteFileFault(platform::FileFault::Other);
        platform::File out;
        SolidReader::Result r = SolidReader::Result::SinkFailed;
        if (out.Open(*write_to, platform::OpenMode::Create)) {
          r = solid.Read(index, [&out](const std::uint8_t* p, std::size_t n) { return out.Write(p, n) == n; });
        }
        out.Close();
        if (r == SolidReader::Result::Damaged) {
          pak.ReportUnpackFailure(index, 0);
          platform::DeleteFileAt(*write_to);
          FailWrite(ctx, target, true);
          return;
        }
        written = r == SolidReader::Result::Ok;
      } else {
        // Written as it comes, a piece at a time; a large file shows how far it got.
        platform::NoteFileFault(platform::FileFault::Other);
        platform::File out;
        EntryRead r = EntryRead::SinkFailed;
        std::uint64_t decomp_size = 0;
        if (out.Open(*write_to, platform::OpenMode::Create)) {
          std::uint64_t done = 0, next_shown = 0;
          r = prefetch.Next(
              [&](Bytes& piece) {
                if (size >= LargeEntryLimit && done >= next_shown) {
                  show(name + " - " + SizeToText(done) + " / " + SizeToText(size));
                  next_shown += CopyChunkSize;
                }
                done += piece.size();
                return out.Write(piece.data(), piece.size()) == piece.size();
              },
              decomp_size);
        }
        out.Close();
        if (r == EntryRead::Damaged) {
          // Verified at start-up, damaged or unreadable now (a failing disk or medium, a file
          // changed under the run): what came of it must not pass for an installed file.
          pak.ReportUnpackFailure(index, decomp_size);
          platform::DeleteFileAt(*write_to);
          FailWrite(ctx, target, true);
          return;
        }
        written = r == EntryRead::Ok;
      }
      if (!written) {
        FailWrite(ctx, *write_to, false);
        return;
      }
      if (*write_to != target && !FinishStagedWrite(ctx, *write_to, target)) {
        platform::NoteFileFault(platform::FileFault::InUse);
        FailWrite(ctx, target, false);
        return;
      }
      ctx.Run.UninstallList.AddFile(target);
      ctx.Services.LogLine("file " + target);
    }
    StepProgress(ctx, true);
  }
}

}  // namespace zq
