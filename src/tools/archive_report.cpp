#include "tools/archive_report.h"

#include "archives/archive_io.h"
#include "container/entry_name.h"
#include "tools/tool_support.h"

namespace zq::tool {

int ReportProblems(const std::string& path, const std::vector<ArchiveProblem>& problems, std::ostream& err) {
  for (const ArchiveProblem& p : problems) {
    err << path << ": " << (p.name.empty() ? "" : TerminalText(p.name) + ": ") << p.what << "\n";
  }
  return static_cast<int>(problems.size());
}

MemberWrite WriteMember(const std::string& dir, const std::string& name, const char* what,
                        const std::vector<std::uint8_t>& data, std::ostream& err) {
  if (!IsSafeEntryName(name)) {
    err << "zq: refused " << what << " \"" << TerminalText(name) << "\": its name would leave the target folder\n";
    return MemberWrite::Refused;
  }
  const std::string target = JoinPath(dir, name);
  const auto slash = target.find_last_of("/\\");
  if ((slash != std::string::npos && !MakeDirs(target.substr(0, slash))) ||
      !WriteAll(SystemFileSystem(), target, data)) {
    return MemberWrite::Failed;
  }
  return MemberWrite::Written;
}

}  // namespace zq::tool
