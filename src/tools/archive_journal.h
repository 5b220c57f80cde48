// What zq pak and zq vfs say about a journal beside an archive, and their "recover" verb.
#pragma once

#include <ostream>
#include <string>

#include "archives/journal.h"

namespace zq::tool {

// Says on `err` what lies beside the archive at `path` ("pak" or "vfs" names the command that
// acts on it) and answers the finding; Kind::None says nothing.
JournalFinding ReportJournal(const std::string& path, const char* command, std::ostream& err);

// Rolls back the update interrupted in the journal beside `path` (one that is not the archive's
// is removed unapplied) and says what was done. True when the archive is now as it was before
// the update, or there was nothing to do.
bool RecoverJournal(const std::string& path, std::ostream& out, std::ostream& err);

// The journal step every `zq pak`/`zq vfs` verb takes first: `recover` recovers, the others
// report. False when the verb must stop there (recovery failed, or an update is pending and
// nothing else may be read); a journal found but not pending counts one of `problems`.
bool JournalStep(const std::string& verb, const std::string& path, const char* command, std::ostream& out,
                 std::ostream& err, int& problems);

}  // namespace zq::tool
