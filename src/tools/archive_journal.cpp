#include "tools/archive_journal.h"

namespace zq::tool {

JournalFinding ReportJournal(const std::string& path, const char* command, std::ostream& err) {
  const JournalFinding finding = ArchiveJournal::Examine(SystemFileSystem(), path);
  const std::string journal = ArchiveJournal::PathFor(path);
  const std::string recover = std::string("`zq ") + command + " recover " + path + "`";
  using Kind = JournalFinding::Kind;
  switch (finding.kind) {
    case Kind::None: break;
    case Kind::Pending:
      err << path << ": an interrupted update is pending in " << journal << "; " << recover
          << " rolls it back (so does the next update)\n";
      break;
    case Kind::Empty:
      err << path << ": " << journal << " holds no change (its update was interrupted before it wrote); " << recover
          << " removes it\n";
      break;
    case Kind::Foreign:
      err << path << ": " << journal << " does not belong to it (" << finding.reason << ") and will not be applied; "
          << recover << " removes it\n";
      break;
    case Kind::Unreadable: err << path << ": " << journal << " cannot be judged: " << finding.reason << "\n"; break;
  }
  return finding;
}

bool RecoverJournal(const std::string& path, std::ostream& out, std::ostream& err) {
  const JournalRecovery recovery = ArchiveJournal::Recover(SystemFileSystem(), path);
  using Outcome = JournalRecovery::Outcome;
  switch (recovery.outcome) {
    case Outcome::NoJournal: out << path << ": no journal beside it, nothing to roll back\n"; return true;
    case Outcome::RolledBack: out << recovery.note << "\n"; return true;
    case Outcome::Rejected: err << "zq: " << recovery.note << "\n"; return false;
    case Outcome::Failed: err << "zq: " << recovery.note << "\n"; return false;
  }
  return false;
}

bool JournalStep(const std::string& verb, const std::string& path, const char* command, std::ostream& out,
                 std::ostream& err, int& problems) {
  if (verb == "recover") return RecoverJournal(path, out, err);
  const JournalFinding journal = ReportJournal(path, command, err);
  if (journal.kind == JournalFinding::Kind::Pending) return false;
  if (journal.kind != JournalFinding::Kind::None) ++problems;
  return true;
}

}  // namespace zq::tool
