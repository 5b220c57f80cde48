// A link planted in the installation folder (a junction on Windows) leads nothing out of it: not
// the undoing of a killed run, not the uninstall.
#include <gtest/gtest.h>
#include <unistd.h>

#include "engine/removal_guard.h"
#include "engine/run_changes.h"
#include "engine/run_journal.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/host_prefix.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

TEST(LinkGuard, AFolderReplacedByALinkLeadsNoUndoOutside) {
  test::TempDir dir;
  const std::string inst = dir / "Inst", other = dir / "Other";
  ASSERT_TRUE(platform::CreateDir(inst));
  ASSERT_TRUE(platform::CreateDir(other));
  test::WriteAll(other + "\\app.dll", "another program's");
  const JournalTrust trust = OpenJournalTrust(platform::TrustScope::Machine);
  ASSERT_TRUE(trust.ok()) << trust.problem;
  const std::string journal = RunJournal::PathFor(trust.folder.path, "links", inst);
  {
    RunJournal killed;
    ASSERT_TRUE(killed.Begin(journal, trust.key, inst));
    ASSERT_TRUE(killed.Record({.kind = RunChange::Kind::FolderCreated, .path = inst + "\\sub"}));
    ASSERT_TRUE(killed.Record({.kind = RunChange::Kind::FileCreated, .path = inst + "\\sub\\app.dll"}));
    killed.Sync();
  }
  // After the kill, someone who may write the folder puts a link where the run's folder was.
  ASSERT_EQ(symlink(platform::HostPath(other)->c_str(), platform::HostPath(inst + "\\sub")->c_str()), 0);

  LinkGuard guard(inst);
  const struct {
    std::string path;
    bool through;
  } cases[] = {{inst + "\\sub\\app.dll", true},
               {inst + "\\sub", false},
               {inst + "\\x.txt", false},
               {other + "\\app.dll", false}};  // outside the base: not asked about
  for (const auto& c : cases) EXPECT_EQ(guard.ThroughLink(c.path), c.through) << c.path;

  std::string problem;
  const auto contents = RunJournal::Load(journal, trust.key, inst, &problem);
  ASSERT_TRUE(contents) << problem;
  platform::Registry registry;
  RunJournal::Recover(*contents, journal, registry, {});
  EXPECT_EQ(test::ReadAll(other + "\\app.dll"), "another program's");
}

}  // namespace
}  // namespace zq
