#include "builder/signing.h"

#include <string_view>

#include "container/entry_names.h"
#include "container/pak.h"
#include "container/pak_string.h"
#include "container/verify_all.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace zq::builder {

namespace {

constexpr std::string_view kIn = "{in}", kOut = "{out}";

std::string Replace(std::string text, std::string_view pattern, const std::string& with) {
  for (std::size_t at = 0; (at = text.find(pattern, at)) != std::string::npos; at += with.size()) {
    text.replace(at, pattern.size(), with);
  }
  return text;
}

}  // namespace

std::string SignCommandProblem(const std::string& command) {
  const bool in = command.find(kIn) != std::string::npos, out = command.find(kOut) != std::string::npos;
  if (in && out) return {};
  return "the signing command must name the unsigned file as {in} and the signed one as {out}";
}

std::string SignFile(const std::string& command, const std::string& in, const std::string& out) {
  platform::DeleteFileAt(out);
  const std::string line = Replace(Replace(command, kIn, platform::ShellQuote(in)), kOut, platform::ShellQuote(out));
  const auto code = platform::RunShellCommand(line);
  std::string problem;
  if (!code) {
    problem = "the signing command could not be run, or was stopped";
  } else if (*code != 0) {
    problem = "the signing command ended with exit code " + std::to_string(*code);
  } else if (!platform::FileExists(out)) {
    problem = "the signing command did not write {out}";
  } else {
    const TPak signed_file(out);
    const VerifyResult check = signed_file.HasValidHeader() ? VerifyAllEntries(signed_file, [](std::size_t) {})
                                                            : VerifyResult{};
    if (!signed_file.HasValidHeader() || check.first_failure || check.could_not_read) {
      problem = "the signed file's package does not read whole (the signing command changed more than it may)";
    }
  }
  if (!problem.empty()) platform::DeleteFileAt(out);
  return problem;
}

std::string WriteUninstallerAtBuild(const std::string& path, const std::string& stub, const CompileResult& compiled,
                                    const WriteOptions& options) {
  const std::string_view prefix = kUninstallPrefix;
  std::vector<PlannedEntry> entries;
  ProgramFacts program = options.program != nullptr ? *options.program : ProgramFacts{};
  TSetupInfoFile record;
  bool has_record = false;
  for (const PlannedEntry& e : compiled.entries) {
    if (e.group != 0) continue;
    const std::string upper = platform::UpperCase(e.name);
    if (e.name == kTextEncodingEntry || e.name == kRunOptionsEntry) {
      // The uninstaller reads text as its setup wrote it and removes through the same view of
      // the machine (architecture, scope).
      entries.push_back(e);
    } else if (e.name == kSetupInfoEntry) {
      has_record = record.LoadFromBuffer(e.data.data(), e.data.size());
    } else if (upper == kUninstallIconEntry) {
      if (!e.source.empty()) {
        auto icon = ReadWholeFile(e.source);
        if (!icon) return "cannot read " + e.source;
        program.icon = std::move(*icon);
      } else {
        program.icon = e.data;
      }
    } else if (upper.rfind(prefix, 0) == 0) {
      PlannedEntry plain = e;
      plain.name = e.name.substr(prefix.size());
      entries.push_back(std::move(plain));
    }
  }
  if (!has_record) return "the setup record cannot be read back";
  // Written at build time, the record cannot know where the user installs: empty, the
  // uninstaller takes the folder it runs from.
  record.Mode = SetupMode::Uninstaller;
  record.InstallDir.clear();
  const auto bytes = record.Serialize();
  entries.push_back({kSetupInfoEntry, 0, {}, {bytes.begin(), bytes.end()}});
  WriteOptions uninstaller = options;
  uninstaller.program = &program;
  uninstaller.progress = nullptr;
  uninstaller.stats = nullptr;  // the figures are the setup's
  return WriteSetup(path, stub, entries, uninstaller);
}

std::string WriteSignedSetup(const std::string& output, const std::string& stub, const CompileResult& compiled,
                             const WriteOptions& options, const std::string& command) {
  const std::string uninstaller = output + ".zqbuild-uninstaller", signed_uninstaller = uninstaller + "-signed";
  const std::string setup = output + ".zqbuild-unsigned", signed_setup = output + ".zqbuild-signed";
  const auto finish = [&](std::string problem) {
    for (const std::string* temp : {&uninstaller, &signed_uninstaller, &setup, &signed_setup}) {
      platform::DeleteFileAt(*temp);
    }
    return problem;
  };
  std::vector<PlannedEntry> entries = compiled.entries;
  if (compiled.info.HasUninstaller) {
    if (std::string problem = WriteUninstallerAtBuild(uninstaller, stub, compiled, options); !problem.empty()) {
      return finish("the uninstaller: " + problem);
    }
    if (std::string problem = SignFile(command, uninstaller, signed_uninstaller); !problem.empty()) {
      return finish("signing the uninstaller: " + problem);
    }
    // Among the setup's own entries, ahead of the payload.
    std::size_t at = 0;
    while (at < entries.size() && entries[at].group == 0) ++at;
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at),
                   {kSignedUninstallerEntry, 0, signed_uninstaller, {}});
  }
  if (std::string problem = WriteSetup(setup, stub, entries, options); !problem.empty()) return finish(problem);
  if (std::string problem = SignFile(command, setup, signed_setup); !problem.empty()) {
    return finish("signing the setup: " + problem);
  }
  if (platform::DirectoryExists(output)) return finish("cannot replace " + output + ": it is a folder");
  if (platform::FileExists(output) && !platform::DeleteFileAt(output)) return finish("cannot replace " + output);
  if (!platform::RenameFile(signed_setup, output)) return finish("cannot rename " + signed_setup + " to " + output);
  return finish({});
}

}  // namespace zq::builder
