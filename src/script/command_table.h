// The fixed registry of the script's commands: every fact about a command that both the
// builder and the engine rely on, stated once. The position in this table (1-based) is the
// command index stored in compiled lines, so it never changes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace zq {

enum class GroupKind : std::uint8_t {
  None = 0,     // owns no package group
  Files = 1,    // the group's entries are extracted as files ("file")
  Archive = 2,  // the group's entries feed an archive update ("zqpupdate", "vfsupdate")
};

// What the builder does with a line besides checking it. A line that owns a package group
// (see GroupKind) also gets the group's number appended as its last argument.
enum class BuildStep : std::uint8_t {
  Store,                  // stored as written; the engine runs it
  PackLanguage,           // stored; the language table it names is packed
  PackUninstallLanguage,  // stored; the uninstaller's language table it names is packed
  PackLicense,            // stored; the licence file it names is packed (the License page shows it)
  Declare,                // stored; start-up reads it, it does nothing when run ("runafter", "endcomponent")
  Component,              // stored with its state, description, size and end filled in; skips its lines when not chosen
  // The definitions, last: each fills a field of the setup information record; the line is
  // stored without arguments and never runs.
  DefineName,  // also the short name
  DefineShortName,
  DefineOutFile,
  DefineInstallDir,
  DefineInstallDirRegKey,
  DefineChangelog,
  DefinePages,
  DefineUninstallPages,  // also makes the setup write an uninstaller
  DefinePrefix,          // the log prefix and the uninstaller's name
};

// Argument positions (1-based) as a set of bits.
constexpr std::uint32_t ArgSet(std::initializer_list<int> positions) {
  std::uint32_t bits = 0;
  for (int n : positions) bits |= std::uint32_t{1} << n;
  return bits;
}

struct CommandInfo {
  std::int32_t index = 0;  // 1..kCommandCount
  const char* keyword = "";
  GroupKind group_kind = GroupKind::None;
  BuildStep build = BuildStep::Store;
  // The fewest arguments of a stored line (a group owner's count its group number); for a
  // definition, which stores none, the fewest its source line must give.
  int min_args = 0;
  // Stored argument counts the engine accepts (ArgSet); 0: any count from min_args.
  std::uint32_t arg_counts = 0;
  // Arguments that name a label in the source and are stored as the label line's position,
  // "-1" for none (ArgSet).
  std::uint32_t jump_args = 0;
  // The last argument names a label, whatever the line's count (a row with an optional
  // argument before its label); jump_args is then empty.
  bool jump_last = false;
  // Which of two lines with the same label a jump goes to: the first, or else the last.
  bool first_label = false;
  // The argument stored scrambled with the package command key; 0 none.
  int scrambled_arg = 0;
  // An archive group's argument naming its archive: lines naming the same one share a group.
  int archive_arg = 0;
  // The argument naming a registry root; 0 none. A line too short to hold it has none (a
  // "file" line names one only with its registry condition).
  int root_arg = 0;
  // Arguments the builder appends to a line that owns no group (a component's size and end).
  int appended_args = 0;
  // The argument naming a check box or radio button of the install pages; 0 none.
  int control_arg = 0;

  constexpr bool IsDefinition() const { return build >= BuildStep::DefineName; }
  // The engine has a run-time action for the line.
  constexpr bool Runs() const { return build == BuildStep::Store || build == BuildStep::Component; }
  // The group number the builder appends to a group owner's line.
  constexpr int AppendedArgs() const { return group_kind == GroupKind::None ? appended_args : 1; }
  constexpr int MinSourceArgs() const { return min_args - AppendedArgs(); }
  constexpr bool AcceptsArgCount(std::size_t stored) const {
    if (stored < static_cast<std::size_t>(min_args)) return false;
    return arg_counts == 0 || (stored < 32 && (arg_counts >> stored & 1u));
  }
  constexpr bool Jumps() const { return jump_args != 0 || jump_last; }
  // Whether argument n of a line with `count` arguments names a label.
  constexpr bool IsJumpArg(int n, std::size_t count) const {
    if (jump_last) return n > 0 && static_cast<std::size_t>(n) == count;
    return n > 0 && n < 32 && (jump_args >> n & 1u);
  }
  // The position of the k-th jump argument (k from 0, in argument order) of a line with `count`
  // arguments; 0 when none. A fixed position is given even past the line's end.
  constexpr int JumpArg(int k, std::size_t count) const {
    if (jump_last) return k == 0 && count > 0 && count < 32 ? static_cast<int>(count) : 0;
    for (int n = 1; n < 32; ++n) {
      if (IsJumpArg(n, count) && k-- == 0) return n;
    }
    return 0;
  }
};

// Rows 1 to 32 are the original commands; later rows only ever go after them.
inline constexpr int kCommandCount = 52;

inline constexpr std::array<CommandInfo, kCommandCount> kCommandTable = {{
    {.index = 1, .keyword = "goto", .jump_args = ArgSet({1}), .first_label = true},
    {.index = 2, .keyword = "name", .build = BuildStep::DefineName, .min_args = 1},
    {.index = 3, .keyword = "outfile", .build = BuildStep::DefineOutFile, .min_args = 1},
    {.index = 4, .keyword = "installdir", .build = BuildStep::DefineInstallDir, .min_args = 1},
    {.index = 5,
     .keyword = "installdirregkey",
     .build = BuildStep::DefineInstallDirRegKey,
     .min_args = 3,
     .root_arg = 1},
    {.index = 6, .keyword = "iffileexists", .min_args = 3, .jump_args = ArgSet({2, 3})},
    {.index = 7,
     .keyword = "file",
     .group_kind = GroupKind::Files,
     .min_args = 2,
     .arg_counts = ArgSet({2, 3, 8}),
     .root_arg = 3},
    {.index = 8, .keyword = "delete", .min_args = 1},
    {.index = 9, .keyword = "writeregstr", .min_args = 4, .root_arg = 1},
    {.index = 10, .keyword = "changelog", .build = BuildStep::DefineChangelog, .min_args = 1},
    {.index = 11,
     .keyword = "zqpupdate",
     .group_kind = GroupKind::Archive,
     .min_args = 4,
     .scrambled_arg = 2,
     .archive_arg = 3},
    {.index = 12, .keyword = "rmdir", .min_args = 2},
    {.index = 13, .keyword = "createdirectory", .min_args = 1},
    {.index = 14, .keyword = "createshortcut", .min_args = 3},
    {.index = 15, .keyword = "message", .min_args = 1},
    {.index = 16, .keyword = "messagebox", .min_args = 4, .jump_args = ArgSet({3, 4})},
    {.index = 17, .keyword = "copyfile", .min_args = 2},
    {.index = 18, .keyword = "language", .build = BuildStep::PackLanguage, .min_args = 1},
    {.index = 19, .keyword = "failure"},
    {.index = 20, .keyword = "pages", .build = BuildStep::DefinePages, .min_args = 1},
    {.index = 21, .keyword = "shortname", .build = BuildStep::DefineShortName, .min_args = 1},
    {.index = 22, .keyword = "uninstallpages", .build = BuildStep::DefineUninstallPages, .min_args = 1},
    {.index = 23, .keyword = "uninstalllanguage", .build = BuildStep::PackUninstallLanguage, .min_args = 1},
    {.index = 24, .keyword = "prefix", .build = BuildStep::DefinePrefix, .min_args = 1},
    {.index = 25, .keyword = "uninstalllogload", .min_args = 1},
    {.index = 26, .keyword = "uninstalllogsave", .min_args = 1},
    {.index = 27, .keyword = "zqpofficial", .min_args = 3, .scrambled_arg = 2},
    {.index = 28, .keyword = "duplicateentry", .min_args = 3},
    {.index = 29, .keyword = "writeregstr_url", .min_args = 3},
    {.index = 30, .keyword = "vfsupdate", .group_kind = GroupKind::Archive, .min_args = 3, .archive_arg = 2},
    {.index = 31, .keyword = "rename", .min_args = 2},
    {.index = 32, .keyword = "execute", .min_args = 1},
    // Jumps when the named check box or radio button of the install pages is checked.
    {.index = 33, .keyword = "ifchecked", .min_args = 2, .jump_args = ArgSet({2}), .control_arg = 1},
    // name, caption, state, description, then the size of its files and its last line.
    {.index = 34, .keyword = "component", .build = BuildStep::Component, .min_args = 4, .appended_args = 2},
    {.index = 35, .keyword = "endcomponent", .build = BuildStep::Declare},
    {.index = 36, .keyword = "license", .build = BuildStep::PackLicense, .min_args = 1},
    {.index = 37, .keyword = "runafter", .build = BuildStep::Declare, .min_args = 1},
    // Conditions on what the machine says: the last "execute"'s exit code, a registry key or value.
    {.index = 38, .keyword = "ifexitcode", .min_args = 2, .jump_args = ArgSet({2}), .first_label = true},
    {.index = 39,
     .keyword = "ifregexists",
     .min_args = 3,
     .arg_counts = ArgSet({3, 4}),
     .jump_last = true,
     .first_label = true,
     .root_arg = 1},
    // Values the run keeps: "var NAME" declares $NAME, "set NAME TEXT", and the reads into one
    // (a registry string in the setup's view, an environment variable, a program's version, an
    // INI file's entry); each is empty when what it reads is not there.
    {.index = 40, .keyword = "var", .min_args = 1, .arg_counts = ArgSet({1})},
    {.index = 41, .keyword = "set", .min_args = 2, .arg_counts = ArgSet({2})},
    {.index = 42, .keyword = "readregstr", .min_args = 4, .arg_counts = ArgSet({4}), .root_arg = 2},
    {.index = 43, .keyword = "readenv", .min_args = 2, .arg_counts = ArgSet({2})},
    {.index = 44, .keyword = "fileversion", .min_args = 2, .arg_counts = ArgSet({2})},
    {.index = 45, .keyword = "readini", .min_args = 4, .arg_counts = ArgSet({4})},
    // Decisions: text without regard to case, dotted versions, the running Windows and
    // processor, the rights and the silence of the run.
    {.index = 46,
     .keyword = "ifequal",
     .min_args = 3,
     .arg_counts = ArgSet({3}),
     .jump_args = ArgSet({3}),
     .first_label = true},
    {.index = 47,
     .keyword = "ifnotequal",
     .min_args = 3,
     .arg_counts = ArgSet({3}),
     .jump_args = ArgSet({3}),
     .first_label = true},
    {.index = 48,
     .keyword = "ifversion",
     .min_args = 4,
     .arg_counts = ArgSet({4}),
     .jump_args = ArgSet({4}),
     .first_label = true},
    {.index = 49,
     .keyword = "ifwindows",
     .min_args = 3,
     .arg_counts = ArgSet({3}),
     .jump_args = ArgSet({3}),
     .first_label = true},
    {.index = 50,
     .keyword = "ifmachine",
     .min_args = 2,
     .arg_counts = ArgSet({2}),
     .jump_args = ArgSet({2}),
     .first_label = true},
    {.index = 51,
     .keyword = "ifadmin",
     .min_args = 1,
     .arg_counts = ArgSet({1}),
     .jump_args = ArgSet({1}),
     .first_label = true},
    {.index = 52,
     .keyword = "ifsilent",
     .min_args = 1,
     .arg_counts = ArgSet({1}),
     .jump_args = ArgSet({1}),
     .first_label = true},
}};

const std::array<CommandInfo, kCommandCount>& CommandTable();
// By keyword, without regard to case; nullopt for an unknown word.
std::optional<CommandInfo> FindCommand(const std::string& keyword);
// By index 1..kCommandCount; nullopt otherwise.
std::optional<CommandInfo> CommandAt(std::int32_t index);
// The definition that fills a field (a Define* step; each has one row).
const CommandInfo& DefinitionCommand(BuildStep step);
// The keywords of the rows `pick` accepts, in table order, as a list in words ("a",
// "a and b", "a, b and c").
std::string KeywordList(bool (*pick)(const CommandInfo&));

// Build-time facts: what the setup program says of itself (its manifest, version resource and
// icon), which the builder writes into the program's resources, and how its runs behave, which
// it writes as the package entry of run options (the version goes there too, so that an engine
// without resources knows it). None is stored among the compiled lines or known to the engine's
// registry. Each takes one argument but "allowdowngrade", which takes none.
enum class ProgramFact : std::uint8_t {
  ExecutionLevel,
  Version,
  Publisher,
  Icon,
  LockedFiles,
  Architecture,
  Scope,
  AllowDowngrade,
  Compression
};

struct ProgramCommandInfo {
  const char* keyword = "";
  ProgramFact fact = ProgramFact::Version;
  int args = 1;  // exactly this many
};

inline constexpr std::array<ProgramCommandInfo, 9> kProgramCommandTable = {{
    {"executionlevel", ProgramFact::ExecutionLevel},
    {"version", ProgramFact::Version},
    {"publisher", ProgramFact::Publisher},
    {"icon", ProgramFact::Icon},
    // How a run treats a file another program holds: "fail" (undo the run) or "reboot" (put the
    // new file in place at the next restart).
    {"lockedfiles", ProgramFact::LockedFiles},
    // The Windows the setup is for ("x86" or "x64") and whose installation it makes ("machine"
    // or "user"); stored beside lockedfiles.
    {"architecture", ProgramFact::Architecture},
    {"scope", ProgramFact::Scope},
    // The setup may install over a newer version of its product.
    {"allowdowngrade", ProgramFact::AllowDowngrade, 0},
    // How the payload is packed: "zlib" (each file alone, every reader knows it) or "solid"
    // (the files of each "file" line together in LZMA2 blocks; docs/container.md).
    {"compression", ProgramFact::Compression},
}};

// By keyword, without regard to case; nullopt for any other word.
std::optional<ProgramCommandInfo> FindProgramCommand(const std::string& keyword);

// The index of a keyword as written in the table; a word not in it does not compile.
consteval std::int32_t CommandIndexOf(std::string_view keyword) {
  for (const CommandInfo& info : kCommandTable) {
    if (keyword == info.keyword) return info.index;
  }
  throw "not a command keyword";
}

}  // namespace zq
