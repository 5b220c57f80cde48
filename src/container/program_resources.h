// What a setup program says of itself through its resources: the application manifest (the
// execution level it asks for, common controls 6, DPI awareness, the supported systems), the
// version resource (product, version, publisher) and its icon. The builder writes them into
// the engine program; the engine and `zq info` read them back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "container/pe_image.h"
#include "container/pe_resources.h"
#include "container/run_options.h"

namespace zq {

enum class ExecutionLevel : std::uint8_t { Admin, Highest, User };

// "admin", "highest" or "user", without regard to case.
std::optional<ExecutionLevel> ParseExecutionLevel(const std::string& word);
const char* ExecutionLevelName(ExecutionLevel level);

struct ProgramFacts {
  std::string name;  // ANSI, as every text of the script
  std::string version;
  std::string publisher;
  ExecutionLevel level = ExecutionLevel::Admin;
  std::vector<std::uint8_t> icon;  // an .ico file; empty: the engine's own icon stays
  // lockedfiles, architecture, scope, allowdowngrade (the version is added from `version`): a
  // package entry, not a resource
  RunOptions run;
  bool level_given = false;        // the script said which level
  bool solid_compression = false;  // "compression solid"
};

// The manifest's XML for `level`, naming the program's processor (x86, or amd64 for x64).
std::string ProgramManifest(ExecutionLevel level, PeMachine machine = PeMachine::X86);

// "" when `ico` is an icon file whose images all lie inside it, else what is wrong.
std::string IconFileProblem(const std::vector<std::uint8_t>& ico);

// Writes manifest 1, version resource 1 and, with an icon, the icon group (every image of the
// file) into `image`, replacing what the engine carried. The icon group keeps the name of the
// engine's first group, which its window loads. False with `problem` when the image cannot
// take them (see WritePeResources) or the icon is not one.
bool WriteProgramResources(std::vector<std::uint8_t>& image, const ProgramFacts& facts, std::string* problem = nullptr);

// Replaces only the icon group and its images, as WriteProgramResources does.
bool WriteProgramIcon(std::vector<std::uint8_t>& image, const std::vector<std::uint8_t>& ico,
                      std::string* problem = nullptr);

// What the resources of a program say; fields it does not carry stay empty.
struct ProgramDescription {
  std::string product_name;  // ANSI
  std::string version;       // ProductVersion
  std::string file_version;  // the fixed file version's four numbers ("14.38.33130.0"); empty without
  std::string publisher;     // CompanyName
  std::string description;   // FileDescription
  std::optional<ExecutionLevel> level;
  bool has_icon = false;
};

ProgramDescription DescribeProgram(const std::vector<PeResource>& resources);
// The same for a program file; a file that is no PE image describes nothing.
ProgramDescription DescribeProgramFile(const std::string& path);
// The engine a program file is, from its headers; nothing for a file that is no such image.
std::optional<PeMachine> ReadProgramMachine(const std::string& path);

}  // namespace zq
