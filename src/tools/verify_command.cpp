#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tools/commands.h"
#include "tools/open_setup.h"
#include "tools/tool_support.h"

namespace zq::tool {

namespace {
constexpr const char* kUsage = "zq verify SETUP";
constexpr const char* kHelp =
    "Check every entry of a setup's package as the engine does at start-up: the CRC-32 of each\n"
    "stored block and the size it inflates to. Empty entries are skipped; entries of 70 MiB and\n"
    "more carry no CRC and pass unchecked. Exit 0 when every entry passes, 1 otherwise (the first\n"
    "failing entry is named).\n";

enum class Outcome : unsigned char { Pending, Passed, Failed, Skipped, Unchecked };
}  // namespace

int RunVerify(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  int code = kExitOk;
  const CommandSpec spec{kUsage, kHelp, {}, {}, 1, 1};
  auto parsed = ParseCommand(spec, argv, out, err, code);
  if (!parsed) return code;
  const Args& args = *parsed;
  auto pak = OpenSetup(args.Positionals()[0], err);
  if (!pak) return kExitFailed;

  const std::size_t count = pak->Entries.size();
  std::vector<Outcome> outcomes(count, Outcome::Pending);
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> open_failed{false};
  // Inflation is the cost, so every core takes entries; each thread reads through its own handle.
  auto worker = [&] {
    platform::File handle;
    if (!handle.Open(pak->FilePath(), platform::OpenMode::ReadShared)) {
      open_failed = true;
      return;
    }
    for (std::size_t i = next++; i < count; i = next++) {
      const TPakEntry& e = pak->Entries[i];
      if (e.OrigSize == 0) {
        outcomes[i] = Outcome::Skipped;
      } else if (e.OrigSize >= LargeEntryLimit) {
        outcomes[i] = Outcome::Unchecked;
      } else {
        outcomes[i] = pak->VerifyEntryWith(handle, i) ? Outcome::Passed : Outcome::Failed;
      }
      ++done;
    }
  };
  unsigned threads = std::max(1u, std::min<unsigned>(std::thread::hardware_concurrency(), 16));
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(count, 1)));
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
  {
    ProgressBar bar("verifying", count);
    while (done.load() < count && !open_failed.load()) {
      bar.Update(done.load());
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  for (auto& t : pool) t.join();
  if (open_failed) {
    err << "zq: " << pak->FilePath() << ": cannot be opened for reading\n";
    return kExitFailed;
  }

  std::size_t skipped = 0, unchecked = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (outcomes[i] == Outcome::Failed) {
      out << "FAILED: entry " << i << " \"" << AnsiToUtf8(pak->Entries[i].Name) << "\" is damaged\n";
      return kExitFailed;
    }
    skipped += outcomes[i] == Outcome::Skipped;
    unchecked += outcomes[i] == Outcome::Unchecked;
  }
  out << "OK: " << count << " entries";
  if (skipped) out << ", " << skipped << " empty";
  if (unchecked) out << ", " << unchecked << " large ones unchecked";
  out << "\n";
  return kExitOk;
}

}  // namespace zq::tool
