// What zq pak and zq vfs share beyond the journal: how they say an archive's problems and how
// they write the members they extract.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "archives/archive_problem.h"

namespace zq::tool {

// Says each problem on `err`, "PATH: NAME: WHAT" (the name shown as TerminalText, left out for
// the archive as a whole), and answers how many there were.
int ReportProblems(const std::string& path, const std::vector<ArchiveProblem>& problems, std::ostream& err);

// The outcome of writing one extracted member below a folder.
enum class MemberWrite { Written, Refused, Failed };

// Writes `data` below `dir` as the member `name` (a path with "\" separators; the file is
// JoinPath(dir, name)), making its folders, unless the name would leave `dir`
// (IsSafeEntryName): such a member is refused and named on `err` (`what` says what kind of member
// it is), as zq extract refuses an entry. A file that cannot be written is left to the caller to
// report.
MemberWrite WriteMember(const std::string& dir, const std::string& name, const char* what,
                        const std::vector<std::uint8_t>& data, std::ostream& err);

}  // namespace zq::tool
