// Writes a setup: the engine program, then the package of planned entries and its digest.
// Entries are packed on all cores (the container's PackBlock) and stored in plan order; the
// result is byte for byte what the container's own serial writer (StoreFile / StoreBuffer,
// WriteDirectory with the digest) makes, but for the CRC large entries get here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "builder/build_plan.h"
#include "container/program_resources.h"

namespace zq::builder {

// What the package came to, for the build's report.
struct WriteStats {
  std::uint64_t source_bytes = 0;   // the entries' data
  std::uint64_t package_bytes = 0;  // the blocks as stored (data start to directory)
  std::size_t solid_blocks = 0;
};

struct WriteOptions {
  unsigned threads = 0;  // 0: one per core
  // Called from the writing thread with the source bytes done and the total.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  // Written into the stub's resources when it is a Windows program; other stubs are copied as
  // they are.
  const ProgramFacts* program = nullptr;
  // Pack the entries of file groups in solid blocks (docs/container.md).
  bool solid = false;
  // Data joined in one block at most (a smaller file may close it); 0: the builder's own.
  std::uint64_t solid_block_bytes = 0;
  WriteStats* stats = nullptr;  // filled when the setup was written
};

// Writes `stub` (with the program's resources) followed by the package to `output`, through a
// temporary file beside it that replaces `output` only when everything was written. Returns
// "" on success, else what went wrong (the temporary is removed then and `output` is left as
// it was).
std::string WriteSetup(const std::string& output, const std::string& stub, const std::vector<PlannedEntry>& entries,
                       const WriteOptions& options);

}  // namespace zq::builder
