#include "engine/uninstaller.h"

#include <algorithm>
#include <string_view>

#include "container/entry_names.h"
#include "container/pak.h"
#include "container/pak_writer.h"
#include "container/pe_image.h"
#include "container/program_resources.h"
#include "engine/logged_files.h"
#include "engine/macros.h"
#include "engine/removal_guard.h"
#include "base/path_text.h"
#include "base/size_text.h"
#include "engine/progress.h"
#include "engine/run_changes.h"
#include "container/verify_all.h"
#include "base/registry_roots.h"
#include "engine/setup_context.h"
#include "engine/uninstall_log_check.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "base/private_temp.h"

namespace zq {

namespace {

std::string Upper(const std::string& s) { return platform::UpperCase(s); }

std::string LogDistrust(const RunScope& ctx) {
  return ctx.Run.UninstallLogCheck == LogCheck::Failed ? "the uninstall log fails its check"
                                                       : "the uninstall log is not signed";
}

std::string UninstallerPath(const RunScope& ctx) {
  return ctx.Choices.InstallDir + "\\" + ctx.Setup.SetupInfo.UninstallExeName;
}

// What the uninstall will remove from the disk: the logged files that are there, the log and
// the uninstaller, rounded up to whole KiB.
std::uint32_t InstalledSizeKb(const RunScope& ctx) {
  std::uint64_t bytes = 0;
  auto add = [&bytes](const std::string& path) { bytes += platform::FileSize(path).value_or(0); };
  for (const std::string& file : ctx.Run.UninstallList.Files) add(ExpandMacrosAnsi(ctx, file, MacroUse::Log));
  add(TUninstallList::LogPath(ctx.Choices.InstallDir, ctx.Setup.SetupInfo.LogPrefix));
  add(UninstallerPath(ctx));
  return static_cast<std::uint32_t>(std::min<std::uint64_t>((bytes + 1023) / 1024, 0xFFFFFFFFu));
}

// The index of the uninstaller the builder made and signed, when the setup carries one.
std::optional<std::size_t> CarriedUninstaller(const TPak& pak) {
  for (std::size_t i = 0; i < pak.Entries().size(); ++i) {
    const TPakEntry& e = pak.Entries()[i];
    if (e.Group == 0 && Upper(e.Name) == Upper(kSignedUninstallerEntry)) return i;
  }
  return std::nullopt;
}

// Read back as the uninstaller will read itself: a cut or damaged one must never be registered.
bool ReadsBackWhole(const std::string& target) {
  const TPak written(target);
  if (!written.HasValidHeader()) return false;
  const VerifyResult check = VerifyAllEntries(written, [](std::size_t) {});
  return !check.first_failure && !check.could_not_read;
}

// The signed uninstaller the setup carries, written as it is: any change would break its
// signature. Its record names no folder, so it takes the one it is started from.
bool WriteCarriedUninstaller(const RunScope& ctx, std::size_t index) {
  const std::string target = UninstallerPath(ctx);
  auto fail = [&](const std::string& why) {
    ctx.Services.LogLine("Error: could not write the uninstaller " + target + ": " + why);
    return false;
  };
  const auto program = ctx.Setup.Pak->Extract(index);
  if (!program) return fail("the setup's signed uninstaller cannot be read");
  ForceDirectoriesLogged(ctx.Run.UninstallList, ctx.Choices.InstallDir, &ctx.Run.Journal);
  if (!ctx.Run.Journal.Active() && platform::FileExists(target)) platform::DeleteFileAt(target);
  if (!PrepareFileWriteOrAsk(ctx, target)) return fail("the uninstaller there is in use");
  {
    platform::File out;
    if (!out.Open(target, platform::OpenMode::Create) ||
        out.Write(program->data(), program->size()) != program->size() || !out.Flush()) {
      return fail(platform::LastFileFault() == platform::FileFault::DiskFull ? "the disk is full"
                                                                             : "it cannot be written");
    }
  }
  if (!ReadsBackWhole(target)) return fail("it does not read back whole");
  platform::MarkRunnable(target);
  ctx.Services.LogLine("uninstaller " + target + " (signed at build time)");
  return true;
}

// The running program without its package. A signed setup's headers name its certificate
// table, which the uninstaller does not carry: the copy claims no signature, so the system
// takes it for the unsigned image it is.
// False, with a log line, when it could not be written whole; it is read back before it counts.
bool WriteUninstaller(const RunScope& ctx, const std::string& program_path) {
  TPak& pak = *ctx.Setup.Pak;
  if (const auto carried = CarriedUninstaller(pak)) return WriteCarriedUninstaller(ctx, *carried);
  const std::string target = UninstallerPath(ctx);
  auto fail = [&](const std::string& why) {
    ctx.Services.LogLine("Error: could not write the uninstaller " + target + ": " + why);
    return false;
  };
  if (pak.Entries().empty()) return fail("the setup has no package");
  const std::uint32_t program_size = pak.Entries().front().Offset;
  Bytes program(program_size);
  {
    platform::File self;
    if (!self.Open(program_path, platform::OpenMode::ReadShared) ||
        self.Read(program.data(), program.size()) != program.size()) {
      return fail("the running program cannot be read");
    }
  }
  const std::size_t head = std::min<std::size_t>(program.size(), kPeHeadBytes);
  if (auto security = ReadPeSecurityDirectory(program.data(), head);
      security && (security->TableOffset != 0 || security->TableSize != 0)) {
    ClearPeSecurityDirectory(program.data(), head);
  }
  // The script's own uninstaller icon replaces the setup's, which the copy carries otherwise.
  for (std::size_t i = 0; i < pak.Entries().size(); ++i) {
    const TPakEntry& e = pak.Entries()[i];
    if (e.Group != 0 || Upper(e.Name) != kUninstallIconEntry) continue;
    auto icon = pak.Extract(i);
    std::string problem;
    if (!icon || !WriteProgramIcon(program, *icon, &problem)) {
      ctx.Services.LogLine("the uninstaller keeps its own icon" + (problem.empty() ? "" : ": " + problem));
    }
  }
  ForceDirectoriesLogged(ctx.Run.UninstallList, ctx.Choices.InstallDir, &ctx.Run.Journal);
  // An earlier uninstaller is kept aside until the run commits; without a journal it goes.
  if (!ctx.Run.Journal.Active() && platform::FileExists(target)) platform::DeleteFileAt(target);
  if (!PrepareFileWriteOrAsk(ctx, target)) return fail("the uninstaller there is in use");
  {
    // Flushed once, whole, when its package is added below: a flush of the program part alone
    // would wait for the disk twice and prove nothing the read-back does not.
    platform::File out;
    if (!out.Open(target, platform::OpenMode::Create) || out.Write(program.data(), program.size()) != program.size()) {
      return fail(platform::LastFileFault() == platform::FileFault::DiskFull ? "the disk is full"
                                                                             : "it cannot be written");
    }
  }
  PakWriter out(target, PakWriter::Mode::Append);
  if (!out.IsOpen()) return fail("it cannot be opened again to add its package");
  // The first thing that failed, read or write, and of which entry: a full disk is named only
  // when the system says so.
  std::string problem;
  const auto written = [&](bool ok, const std::string& entry) {
    if (!ok && problem.empty()) {
      problem = "entry \"" + entry + "\" cannot be written" +
                (platform::LastFileFault() == platform::FileFault::DiskFull ? " (the disk is full)" : "");
    }
  };
  const auto store_text = [&](const char* entry, std::string_view text) {
    written(out.StoreBuffer(out.AddEntry(entry, "", 0), reinterpret_cast<const std::uint8_t*>(text.data()),
                            static_cast<std::uint32_t>(text.size())),
            entry);
  };
  // The uninstaller keeps the setup's encoding: the page files it copies are stored in it.
  const auto stored_text = [utf8 = pak.TextIsUtf8()](const std::string& text) {
    return utf8 ? text : platform::Utf8ToLegacy(text);
  };
  if (pak.TextIsUtf8()) store_text(kTextEncodingEntry, kTextEncodingUtf8);
  // The uninstaller removes from where the setup wrote: the same view of the machine, the same
  // Add/Remove root.
  if (const std::string options = FormatRunOptions(ctx.Setup.Options); !options.empty()) {
    store_text(kRunOptionsEntry, options);
  }
  for (std::size_t i = 0; i < pak.Entries().size() && problem.empty(); ++i) {
    const TPakEntry& e = pak.Entries()[i];
    const std::string upper = Upper(e.Name);
    if (e.Group != 0 || upper.rfind(kUninstallPrefix, 0) != 0 || upper == kUninstallIconEntry) continue;
    const std::string name = stored_text(e.Name.substr(std::string_view(kUninstallPrefix).size()));
    const std::size_t index = out.AddEntry(name, name, 0);
    if (e.StoredSize() == 0) {
      // An empty entry has no block to read: it is stored empty, as it came.
      static constexpr std::uint8_t kNothing = 0;
      written(out.StoreBuffer(index, &kNothing, 0), e.Name);
      continue;
    }
    // A compressed block is copied as it is stored (its CRC checked on reading): inflating and
    // compressing it again would give the same bytes at many times the cost.
    if (e.CompSize != 0) {
      auto block = pak.ReadStored(i);
      if (!block) {
        problem = "entry \"" + e.Name + "\" of the setup cannot be read";
        break;
      }
      written(out.StorePacked(index, PackedBlock{std::move(*block), e.CompSize, e.OrigSize, e.CRC}), e.Name);
      continue;
    }
    auto data = pak.Extract(i);
    if (!data) {
      problem = "entry \"" + e.Name + "\" of the setup cannot be read";
      break;
    }
    written(out.StoreBuffer(index, data->data(), static_cast<std::uint32_t>(data->size())), e.Name);
  }
  if (problem.empty()) {
    TSetupInfoFile record = UninstallerRecord(ctx.Setup.SetupInfo, ctx.Choices);
    record.MapText(stored_text);
    auto bytes = record.Serialize();
    written(
        out.StoreBuffer(out.AddEntry(kSetupInfoEntry, "", 0), bytes.data(), static_cast<std::uint32_t>(bytes.size())),
        kSetupInfoEntry);
  }
  if (problem.empty() && !out.WriteDirectory()) {
    problem = std::string("its package directory cannot be written") +
              (platform::LastFileFault() == platform::FileFault::DiskFull ? " (the disk is full)" : "");
  }
  out.Close();
  if (!problem.empty()) return fail(problem);
  if (!ReadsBackWhole(target)) return fail("it does not read back whole");
  platform::MarkRunnable(target);
  ctx.Services.LogLine("uninstaller " + target);
  return true;
}

// An uninstall that could not delete every file is not over: the registration and a log of what
// is left stay, so that running the uninstaller again once the files are free finishes it. The
// folders, registry values and keys stay listed: the run stopped before removing any of them.
void KeepWhatIsLeft(const RunScope& ctx, const std::vector<std::string>& left) {
  TUninstallList& log = ctx.Run.UninstallList;
  log.Files = left;
  // Signed again only when it was believed: a check made now would vouch for an older log's lines.
  const bool saved = SaveUninstallLog(ctx, ctx.Choices.InstallDir, ctx.Setup.SetupInfo.LogPrefix,
                                      ctx.Run.UninstallLogCheck == LogCheck::Verified);
  const std::string count = CountText(static_cast<std::int64_t>(left.size()), "file", "files");
  const std::string them = left.size() == 1 ? "it" : "them";
  ctx.Services.LogLine("the uninstall is not finished: " + count + " in use" +
                       (saved ? "; the log keeps " + them + " for the next run" : "; the log could not be saved"));
  ctx.Services.ShowMessageBox(platform::Utf8ToWide(count + " could not be removed because another program is using " +
                                                   them + ". Close the program and run the uninstaller again."),
                              u"Uninstall", kMbOk | kMbIconWarning);
  ctx.Run.SetupAborted = true;
}

// Whether the log is believed about `path`: always in the installation folder; outside it, only
// a log whose check holds, or, for an older engine's unsigned log, the shortcuts it made.
// What is not believed is left, and named in the run log.
bool LogReaches(const RunScope& ctx, LinkGuard& links, const std::string& path, bool folder) {
  if (links.ThroughLink(path)) {
    ctx.Services.LogLine("left " + path + ": a link or junction on its way leads out of the installation folder");
    return false;
  }
  const LogCheck check = ctx.Run.UninstallLogCheck;
  if (check == LogCheck::Verified || PathWithin(path, ctx.Choices.InstallDir)) return true;
  if (check == LogCheck::Absent && IsShortcutPlace(path, folder)) return true;
  ctx.Services.LogLine("left " + path + ": " + LogDistrust(ctx));
  return false;
}

// The log failed its check: what it names outside the installation folder may be another's, so
// it stays, with the registration and the log, for an administrator to look at.
void LeaveTheRest(const RunScope& ctx) {
  const TUninstallList& log = ctx.Run.UninstallList;
  for (const std::string& line : log.RegValues)
    ctx.Services.LogLine("left registry value " + line + ": " + LogDistrust(ctx));
  for (const std::string& line : log.Keys) ctx.Services.LogLine("left registry key " + line + ": " + LogDistrust(ctx));
  const std::string& dir = ctx.Choices.InstallDir;
  ctx.Services.LogLine(
      "the uninstall is not finished: the uninstall log fails its check; its entry in Add/Remove "
      "Programs and the log " +
      TUninstallList::LogPath(dir, ctx.Setup.SetupInfo.LogPrefix) + " stay");
  ctx.Services.ShowMessageBox(
      platform::Utf8ToWide("The uninstall log has been changed since it was written, or its check cannot be read, so "
                           "only the files in " +
                           dir +
                           " were removed.\rEverything else it lists, the program's entry in Add/Remove Programs "
                           "and the log itself were left for an administrator to look at."),
      u"Uninstall", kMbOk | kMbIconWarning);
  ctx.Run.SetupAborted = true;
}

// The keys the installation made, deepest first, each only once it is empty: a value or key
// that another program added keeps it, and a key that was there before is never listed.
void RemoveCreatedKeys(const RunScope& ctx) {
  std::vector<std::string> keys = ctx.Run.UninstallList.Keys;
  const auto depth = [](const std::string& line) { return std::count(line.begin(), line.end(), '\\'); };
  std::stable_sort(keys.begin(), keys.end(),
                   [&](const std::string& a, const std::string& b) { return depth(a) > depth(b); });
  platform::Registry& reg = ctx.Run.Registry;
  for (const std::string& line : keys) {
    std::string fields[2];
    if (!TUninstallList::SplitKeyLine(line, fields)) continue;
    reg.SetRoot(RootCodeToKey(RootNameToCode(fields[0])));
    if (!reg.KeyIsEmpty(fields[1])) continue;
    if (reg.DeleteKey(fields[1])) ctx.Services.LogLine("registry key removed: " + fields[0] + "\\" + fields[1]);
  }
}

}  // namespace

TSetupInfoFile UninstallerRecord(const TSetupInfoFile& setup, const UserChoices& choices) {
  TSetupInfoFile record = setup;
  record.Mode = SetupMode::Uninstaller;
  record.InstallDir = choices.InstallDir;
  return record;
}

UninstallEntry DescribeUninstallEntry(const RunScope& ctx, const std::string& program_path) {
  UninstallEntry entry;
  entry.Name = ctx.Setup.SetupInfo.ShortName;
  // The builder wrote them into the program's resources, and the version into the package too
  // (an engine without resources, or a package read from another file, knows it from there).
  const ProgramDescription program = DescribeProgramFile(program_path);
  entry.Version = ctx.Setup.Options.Version.empty() ? program.version : ctx.Setup.Options.Version;
  entry.Publisher = program.publisher;
  entry.InstallLocation = ctx.Choices.InstallDir;
  entry.Uninstaller = UninstallerPath(ctx);
  entry.EstimatedSizeKb = InstalledSizeKb(ctx);
  entry.LogSigned = ctx.Run.UninstallLogCheck == LogCheck::Verified;
  return entry;
}

std::uint32_t UninstallEntryRoot(const LoadedSetup& setup) {
  return setup.Options.Scope == InstallScope::User ? platform::kHkeyCurrentUser : platform::kHkeyLocalMachine;
}

std::vector<RegWrite> UninstallEntryWrites(const UninstallEntry& entry) {
  const auto dword = [](std::uint32_t n) { return std::to_string(n); };
  return {{"DisplayName", 'S', entry.Version.empty() ? entry.Name : entry.Name + " " + entry.Version},
          {"DisplayVersion", entry.Version.empty() ? '\0' : 'S', entry.Version},
          {"Publisher", entry.Publisher.empty() ? '\0' : 'S', entry.Publisher},
          {"DisplayIcon", 'S', entry.Uninstaller},
          {"InstallLocation", 'S', entry.InstallLocation},
          {"EstimatedSize", 'D', dword(entry.EstimatedSizeKb)},
          {"UninstallString", 'S', "\"" + entry.Uninstaller + "\""},
          {"QuietUninstallString", 'S', "\"" + entry.Uninstaller + "\" /S"},
          {"NoModify", 'D', dword(1)},
          {"NoRepair", 'D', dword(1)},
          {"ZqLogSigned", entry.LogSigned ? 'D' : '\0', dword(1)}};
}

void RegisterUninstallEntry(platform::Registry& reg, std::uint32_t root, const std::string& key_name,
                            const UninstallEntry& entry) {
  reg.SetRoot(root);
  if (!reg.OpenKey(kUninstallKeyBase + key_name, true)) return;
  reg.WriteString("DisplayName", entry.Version.empty() ? entry.Name : entry.Name + " " + entry.Version);
  // An earlier installation's version or publisher would describe this one wrongly.
  if (!entry.Version.empty()) reg.WriteString("DisplayVersion", entry.Version);
  else reg.DeleteValue("DisplayVersion");
  if (!entry.Publisher.empty()) reg.WriteString("Publisher", entry.Publisher);
  else reg.DeleteValue("Publisher");
  reg.WriteString("DisplayIcon", entry.Uninstaller);
  reg.WriteString("InstallLocation", entry.InstallLocation);
  reg.WriteDword("EstimatedSize", entry.EstimatedSizeKb);
  reg.WriteString("UninstallString", "\"" + entry.Uninstaller + "\"");
  reg.WriteString("QuietUninstallString", "\"" + entry.Uninstaller + "\" /S");
  reg.WriteDword("NoModify", 1);
  reg.WriteDword("NoRepair", 1);
  // An earlier installation's mark would make this one's unsigned log fail.
  if (entry.LogSigned) reg.WriteDword("ZqLogSigned", 1);
  else reg.DeleteValue("ZqLogSigned");
  reg.CloseKey();
}

std::optional<UninstallEntry> ReadUninstallEntry(platform::Registry& reg, std::uint32_t root,
                                                 const std::string& key_name) {
  if (key_name.empty()) return std::nullopt;
  reg.SetRoot(root);
  if (!reg.OpenKey(kUninstallKeyBase + key_name, false)) return std::nullopt;
  UninstallEntry entry;
  entry.Name = key_name;
  entry.Version = reg.ReadString("DisplayVersion").value_or("");
  entry.Publisher = reg.ReadString("Publisher").value_or("");
  entry.InstallLocation = reg.ReadString("InstallLocation").value_or("");
  entry.Uninstaller = reg.ReadString("DisplayIcon").value_or("");
  entry.EstimatedSizeKb = reg.ReadDword("EstimatedSize").value_or(0);
  entry.LogSigned = reg.ReadDword("ZqLogSigned").value_or(0) == 1;
  reg.CloseKey();
  return entry;
}

bool MakeUninstaller(const RunScope& ctx, const std::string& program_path) {
  if (!WriteUninstaller(ctx, program_path)) return false;
  // Registered after the uninstaller is written, so that its size is counted.
  const std::string& key_name = ctx.Setup.SetupInfo.ShortName;
  const std::uint32_t root = UninstallEntryRoot(ctx.Setup);
  const UninstallEntry entry = DescribeUninstallEntry(ctx, program_path);
  if (!RecordRegistryValues(ctx.Run, root, kUninstallKeyBase + key_name, UninstallEntryWrites(entry))) return false;
  RegisterUninstallEntry(ctx.Run.Registry, root, key_name, entry);
  return true;
}

std::u16string FormatProgressText(const RunScope& ctx, const std::u16string& name, std::int64_t k, std::int64_t n) {
  std::u16string t = ctx.Text(TextId::ArchiveProgress);
  t = TLanguages::ReplaceText(t, u"<%ZQPNAME%>", name);
  t = TLanguages::ReplaceText(t, u"<%FNUM%>", platform::Utf8ToWide(std::to_string(k)));
  return TLanguages::ReplaceText(t, u"<%FTOTAL%>", platform::Utf8ToWide(std::to_string(n)));
}

void DeleteRegValue(platform::Registry& reg, const std::string& line) {
  std::string tokens[4];
  std::string rest = line;
  for (auto& token : tokens) {
    std::size_t b = rest.find_first_not_of(" \t");
    rest = b == std::string::npos ? std::string() : rest.substr(b);
    bool quoted = false;
    std::size_t i = 0;
    for (; i < rest.size(); ++i) {
      if (rest[i] == '"') quoted = !quoted;
      else if ((rest[i] == ' ' || rest[i] == '\t') && !quoted) break;
      else token += rest[i];
    }
    rest = rest.substr(i);
  }
  reg.SetRoot(RootCodeToKey(RootNameToCode(tokens[0])));
  if (reg.OpenKey(tokens[1], false)) {
    reg.DeleteValue(tokens[2]);
    reg.CloseKey();
  }
}

void Uninstall(const RunScope& ctx) {
  TUninstallList& log = ctx.Run.UninstallList;
  const std::int64_t f = static_cast<std::int64_t>(log.Files.size());
  const std::int64_t d = static_cast<std::int64_t>(log.Dirs.size());
  const std::int64_t r = static_cast<std::int64_t>(log.RegValues.size());
  SetStatusText(ctx.Services,
                u"Status: 0 of " + platform::Utf8ToWide(CountText(f + d + r, "item", "items")) + u" remaining");
  ctx.Run.ProgressPosition = 0;
  if (ctx.Services.Gauge) ctx.Services.Gauge->SetPosition(0);
  auto report = [&ctx](const std::u16string& name, std::int64_t k, std::int64_t n, std::int64_t position) {
    if (100 * k / n <= 0) return;
    SetStatusText(ctx.Services, FormatProgressText(ctx, name, k, n));
    ctx.Run.ProgressPosition = static_cast<std::int32_t>(position);
    if (ctx.Services.Gauge) ctx.Services.Gauge->SetPosition(ctx.Run.ProgressPosition);
  };
  // Text 17 names the files in text 19 as 25 and 24 name the folders and registry values;
  // a table without it leaves the name out, as tables did before it.
  std::u16string files = ctx.Text(TextId::CopyingFile);
  if (files.rfind(u"NOT FOUND ", 0) == 0) files.clear();
  std::vector<std::string> left;  // as logged: files another program holds
  LinkGuard links(ctx.Choices.InstallDir);
  for (std::int64_t k = 1; k <= f; ++k) {
    report(files, k, f, k);
    const std::string& logged = log.Files[static_cast<std::size_t>(k - 1)];
    const std::string path = ExpandMacrosAnsi(ctx, logged, MacroUse::Log);
    if (!MayRemove(ctx.Setup, ctx.Services, path, false) || !LogReaches(ctx, links, path, false)) continue;
    // A newer file a run left to be put in place at the restart would bring the file back then.
    for (int i = 0;; ++i) {
      const std::string staged = NumberedName(path, kStagedSuffix, i);
      if (!platform::FileExists(staged)) break;
      if (platform::DeleteFileAt(staged) || platform::DeleteAtRestart(staged)) {
        ctx.Services.LogLine("deleted " + staged);
      }
    }
    if (!platform::FileExists(path)) continue;
    if (platform::DeleteFileAt(path)) {
      ctx.Services.LogLine("deleted " + path);
      continue;
    }
    const std::string by = WhoHolds(path);
    if (platform::DeleteAtRestart(path)) {
      ctx.Services.LogLine("in use by " + by + ", deleted at the next restart: " + path);
      ctx.Run.RestartNeeded = true;
    } else {
      ctx.Services.LogLine("could not delete " + path + " (in use by " + by + ")");
      left.push_back(logged);
    }
  }
  const bool failed_check = ctx.Run.UninstallLogCheck == LogCheck::Failed;
  // A failing log is kept as it is for the administrator: it is not saved again.
  if (!left.empty() && !failed_check) {
    KeepWhatIsLeft(ctx, left);
    return;
  }
  for (std::int64_t k = 1; k <= d; ++k) {
    report(ctx.Text(TextId::FoldersName), k, d, f + k);
    const std::string& dir = log.Dirs[static_cast<std::size_t>(d - k)];
    if (!MayRemove(ctx.Setup, ctx.Services, dir, true) || !LogReaches(ctx, links, dir, true) ||
        !platform::DirectoryExists(dir)) {
      continue;
    }
    if (platform::RemoveDir(dir)) {
      ctx.Services.LogLine("removed folder " + dir);
    } else if (ctx.Run.RestartNeeded && platform::DeleteAtRestart(dir)) {
      // It holds a file that goes at the restart; the system removes the folder after it, if empty.
      ctx.Services.LogLine("folder removed at the next restart when empty: " + dir);
    }
  }
  if (failed_check) return LeaveTheRest(ctx);
  for (std::int64_t k = 1; k <= r; ++k) {
    report(ctx.Text(TextId::RegistryValuesName), k, r, f + d + k);
    DeleteRegValue(ctx.Run.Registry, log.RegValues[static_cast<std::size_t>(k - 1)]);
    ctx.Services.LogLine("registry value removed: " + log.RegValues[static_cast<std::size_t>(k - 1)]);
  }
  platform::Registry& reg = ctx.Run.Registry;
  reg.SetRoot(UninstallEntryRoot(ctx.Setup));
  const std::string key = kUninstallKeyBase + ctx.Setup.SetupInfo.ShortName;
  // An empty short name would name the Uninstall key itself, which holds every product's entry.
  if (!ctx.Setup.SetupInfo.ShortName.empty() && reg.OpenKey(key, false)) {
    for (const char* value : kUninstallEntryValues) reg.DeleteValue(value);
    reg.CloseKey();
    reg.DeleteKey(key);
  }
  RemoveCreatedKeys(ctx);
  platform::DeleteFileAt(TUninstallList::LogPath(ctx.Choices.InstallDir, ctx.Setup.SetupInfo.LogPrefix));
  if (ctx.Run.RestartNeeded) {
    ctx.Services.LogLine("restart needed: files in use are removed when the machine restarts (exit code 3010)");
    SetDetailText(ctx.Services, u"Restart the computer to finish: files that were in use are removed then.", true);
  }
}

// The folders the installation made above its own folder (AppData\Local\Programs of a per-user
// product, say), deepest first: they hold the installation folder, and so the uninstaller,
// until the finaliser has removed both; it removes each of them after, when empty.
static std::vector<std::string> FoldersAboveForFinaliser(const RunScope& ctx) {
  const auto without_separator = [](std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
  };
  const std::string inst = Upper(without_separator(ctx.Choices.InstallDir));
  std::vector<std::string> above;
  for (const std::string& logged : ctx.Run.UninstallList.Dirs) {
    const std::string dir = without_separator(logged);
    const std::string upper = Upper(dir);
    if (upper.size() >= inst.size() || inst.compare(0, upper.size(), upper) != 0 || inst[upper.size()] != '\\')
      continue;
    if (std::find(above.begin(), above.end(), dir) != above.end() || !platform::DirectoryExists(dir)) continue;
    // Outside the installation folder: only a log whose check holds is believed there.
    if (ctx.Run.UninstallLogCheck != LogCheck::Verified) continue;
    if (MayRemove(ctx.Setup, ctx.Services, dir, true)) above.push_back(dir);
  }
  std::stable_sort(above.begin(), above.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  return above;
}

bool StartFinaliser(const RunScope& ctx, const std::string& program_path) {
  auto data = ctx.Setup.Pak ? ctx.Setup.Pak->ExtractByName(kFinaliserEntry, 0) : std::nullopt;
  if (!data) {
    // An empty stand-in could not run and would only be left behind in the temporary folder.
    ctx.Services.LogLine("no finaliser in the package: the uninstaller file stays");
    return false;
  }
  // The finaliser removes its own folder when it is done, so it gets one of its own.
  PrivateTempFolder temp(/*keep=*/true);
  if (!temp.ok()) return false;
  const std::string exe = temp.path() + "\\FINALISE.exe";
  TUninstallList unrecorded;  // the finaliser is no part of the installation
  WriteFileLogged(unrecorded, exe, data->data(), data->size());
  std::string arguments = "\"" + program_path + "\"";
  for (const std::string& folder : FoldersAboveForFinaliser(ctx)) arguments += " \"" + folder + "\"";
  auto process = platform::ShellExecuteProcess(exe, arguments);
  ctx.Services.LogLine(process ? "finaliser started" : "the finaliser could not be started");
  return process != nullptr;
}

}  // namespace zq
