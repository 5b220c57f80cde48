#include "builder/package_writer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "builder/build_paths.h"
#include "container/pak.h"
#include "container/pak_writer.h"
#include "container/pe_image.h"
#include "container/pak_string.h"
#include "container/solid_index.h"
#include "codec/lzma_decoder.h"
#include "codec/lzma_encoder.h"
#include "platform/files.h"
#include "platform/system_info.h"

namespace zq::builder {

namespace {

// Bytes of source data packed ahead of the writer at most (the unit next in line is always
// allowed, whatever its size).
constexpr std::uint64_t kAheadBudget = 256ull << 20;
// Solid blocks: a run of files of one group is cut into blocks of about equal size, at most this
// much data each. Every cut loses what the files after it share with those before it, so there
// are few; a reader decodes two blocks at once, so a run of more than kSolidLaneMinimum is cut
// into an even number of them (docs/container.md).
constexpr std::uint64_t kSolidBlockMax = 128ull << 20;
constexpr std::uint64_t kSolidLaneMinimum = 48ull << 20;
constexpr std::uint32_t kSolidPreset = 9;

// One entry packed alone, or a solid block of consecutive entries.
struct Unit {
  std::size_t first = 0;
  std::size_t count = 1;
  bool solid = false;
  std::uint64_t size = 0;  // source bytes
};

struct Slot {
  bool ready = false;
  bool large = false;  // copied from its source in chunks by the writer
  PackedBlock packed;
  // A solid block: its frame with padding, the slice and data size and data CRC of each entry.
  Bytes frame;
  std::uint32_t padding = 0;
  std::vector<std::uint32_t> slices, sizes, crcs;
  std::string error;
};

std::uint64_t PlannedSize(const PlannedEntry& e) {
  if (e.source.empty()) return e.data.size();
  return platform::FileSize(e.source).value_or(0);
}

// Random or already compressed files are stored alone: in a block they would cost the encoder
// and the reader time for nothing, and LZMA2 makes them a little larger.
bool SourceLooksIncompressible(const PlannedEntry& e, std::uint64_t size) {
  if (size < kIncompressibleMinSize) return false;
  Bytes sample(kIncompressibleSample);
  if (e.source.empty()) return LooksIncompressible(e.data.data(), static_cast<std::uint32_t>(e.data.size()));
  platform::File file;
  if (!file.Open(e.source, platform::OpenMode::ReadShared)) return false;  // the packer reports it
  for (const std::uint64_t at : IncompressibleSampleOffsets(size)) {
    if (!file.Seek(at) || file.Read(sample.data(), sample.size()) != sample.size()) return false;
    if (!SampleIncompressible(sample.data())) return false;
  }
  return true;
}

// How many leading characters two entries' file names share, case aside.
std::size_t SharedStart(const std::string& a, const std::string& b) {
  const std::string_view x = std::string_view(a).substr(a.find_last_of("\\/") + 1);
  const std::string_view y = std::string_view(b).substr(b.find_last_of("\\/") + 1);
  std::size_t n = 0;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  while (n < x.size() && n < y.size() && lower(x[n]) == lower(y[n])) ++n;
  return n;
}

// Cuts entries [first, end), `total` bytes of one group, into blocks. Each cut lies within a
// quarter of a block of where equal blocks would put it, between the two files whose names
// share the shortest start: versions of one library side by side (d3dx9_24 ... d3dx9_43) share
// most of their bytes, and a cut between two of them costs the whole of the second.
void CutRun(const std::vector<PlannedEntry>& entries, const std::vector<std::uint64_t>& sizes, std::size_t first,
            std::size_t end, std::uint64_t total, std::uint64_t block_bytes, std::vector<Unit>& units) {
  std::uint64_t blocks = std::max<std::uint64_t>(1, (total + block_bytes - 1) / block_bytes);
  if (total > kSolidLaneMinimum && blocks % 2 == 1 && block_bytes >= kSolidLaneMinimum) ++blocks;
  std::vector<std::uint64_t> before(end - first + 1, 0);  // bytes before each entry of the run
  for (std::size_t i = first; i < end; ++i) before[i - first + 1] = before[i - first] + sizes[i];
  std::size_t start = first;
  for (std::uint64_t c = 1; c <= blocks; ++c) {
    std::size_t cut = end;
    if (c < blocks) {
      const std::uint64_t target = total * c / blocks, slack = total / blocks / 4;
      std::uint64_t best_distance = UINT64_MAX;
      std::size_t best_shared = SIZE_MAX;
      for (std::size_t b = start + 1; b < end; ++b) {
        const std::uint64_t at = before[b - first];
        const std::uint64_t distance = at > target ? at - target : target - at;
        const std::size_t shared = distance <= slack ? SharedStart(entries[b - 1].name, entries[b].name) : SIZE_MAX;
        if (shared < best_shared || (shared == best_shared && distance < best_distance)) {
          cut = b;
          best_shared = shared;
          best_distance = distance;
        }
      }
      if (cut == end) continue;  // one file holds the rest
    }
    units.push_back({start, cut - start, true, before[cut - first] - before[start - first]});
    start = cut;
  }
}

// Entries of file groups join blocks of their group, in plan order, unless they are empty, do
// not compress, or are large (read in chunks, outside the blocks).
std::vector<Unit> PlanUnits(const std::vector<PlannedEntry>& entries, const std::vector<std::uint64_t>& sizes,
                            bool solid, std::uint64_t block_bytes) {
  std::vector<bool> joins(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    joins[i] = solid && entries[i].files && entries[i].group != 0 && sizes[i] > 0 && sizes[i] < LargeEntryLimit &&
               !SourceLooksIncompressible(entries[i], sizes[i]);
  }
  std::vector<Unit> units;
  for (std::size_t i = 0; i < entries.size();) {
    if (!joins[i]) {
      units.push_back({i, 1, false, sizes[i]});
      ++i;
      continue;
    }
    std::size_t end = i;
    std::uint64_t total = 0;
    while (end < entries.size() && joins[end] && entries[end].group == entries[i].group) total += sizes[end++];
    CutRun(entries, sizes, i, end, total, block_bytes, units);
    i = end;
  }
  return units;
}

// Each entry's share of the frame, in proportion to its data and at least one byte, so that
// every record still has a block of its own where older readers look for one.
std::vector<std::uint32_t> CutSlices(std::uint64_t frame_size, const std::vector<std::uint32_t>& sizes) {
  std::uint64_t total = 0;
  for (auto s : sizes) total += s;
  const std::size_t n = sizes.size();
  std::vector<std::uint32_t> slices(n);
  std::uint64_t done = 0, at = 0;
  for (std::size_t i = 0; i < n; ++i) {
    done += sizes[i];
    std::uint64_t end = i + 1 == n ? frame_size : frame_size * done / total;
    end = std::max(end, at + 1);
    end = std::min(end, frame_size - (n - 1 - i));
    slices[i] = static_cast<std::uint32_t>(end - at);
    at = end;
  }
  return slices;
}

class Pipeline {
 public:
  Pipeline(const std::vector<PlannedEntry>& entries, const std::vector<Unit>& units, unsigned threads)
      : entries_(entries), units_(units), slots_(units.size()) {
    const unsigned n = std::max(1u, threads);
    for (unsigned i = 0; i < n; ++i) workers_.emplace_back([this] { Work(); });
  }
  ~Pipeline() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : workers_) t.join();
  }

  // Waits for unit `index`; the writer hands it back with Done once it is stored. While it
  // waits, `waiting` hears every fifth of a second how many source bytes the packers have taken
  // in (a solid block takes minutes at its level).
  Slot& Take(std::size_t index, const std::function<void(std::uint64_t)>& waiting) {
    std::unique_lock lock(mutex_);
    while (!ready_.wait_for(lock, std::chrono::milliseconds(200), [&] { return slots_[index].ready; })) {
      if (waiting) {
        lock.unlock();
        waiting(taken_in_.load());
        lock.lock();
      }
    }
    return slots_[index];
  }
  std::uint64_t TakenIn() const { return taken_in_.load(); }
  void Done(std::size_t index) {
    {
      std::lock_guard lock(mutex_);
      written_ = index + 1;
      in_flight_ -= Cost(index);
      slots_[index] = {};
    }
    wake_.notify_all();
  }

 private:
  // Memory a unit holds while it waits: none for an entry copied in chunks.
  std::uint64_t Cost(std::size_t index) const { return units_[index].size < LargeEntryLimit ? units_[index].size : 0; }

  void Work() {
    for (;;) {
      std::size_t index;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] {
          if (stop_ || next_ >= units_.size()) return true;
          return next_ == written_ || in_flight_ + Cost(next_) <= kAheadBudget;
        });
        if (stop_ || next_ >= units_.size()) return;
        index = next_++;
        in_flight_ += Cost(index);
      }
      Slot slot = units_[index].solid ? PackSolid(units_[index]) : Pack(entries_[units_[index].first]);
      if (!units_[index].solid) taken_in_ += units_[index].size;
      {
        std::lock_guard lock(mutex_);
        slots_[index] = std::move(slot);
        slots_[index].ready = true;
      }
      ready_.notify_all();
    }
  }

  static Slot Pack(const PlannedEntry& e) {
    Slot slot;
    try {
      if (e.source.empty()) {
        slot.packed = PackBlock(e.data.data(), static_cast<std::uint32_t>(e.data.size()));
        return slot;
      }
      auto size = platform::FileSize(e.source);
      if (!size) {
        slot.error = "cannot read " + e.source;
      } else if (*size >= LargeEntryLimit) {
        slot.large = true;
      } else if (auto raw = ReadWholeFile(e.source)) {
        slot.packed = PackBlock(raw->data(), static_cast<std::uint32_t>(raw->size()));
      } else {
        slot.error = "cannot read " + e.source;
      }
    } catch (const std::exception& ex) {
      slot.error = e.name + ": " + ex.what();
    }
    return slot;
  }

  Slot PackSolid(const Unit& unit) const {
    Slot slot;
    try {
      LzmaEncoder encoder(kSolidPreset,
                          static_cast<std::uint32_t>(std::min<std::uint64_t>(unit.size, kLzmaLaneWindow)));
      slot.frame.reserve(static_cast<std::size_t>(unit.size / 4));
      std::uint64_t fed = 0;
      for (std::size_t i = unit.first; i < unit.first + unit.count; ++i) {
        const PlannedEntry& e = entries_[i];
        std::optional<Bytes> raw;
        if (!e.source.empty()) raw = ReadWholeFile(e.source);
        const Bytes& data = e.source.empty() ? e.data : *raw;
        if (!e.source.empty() && !raw) {
          slot.error = "cannot read " + e.source;
          return slot;
        }
        fed += data.size();
        // A file that changed since it was planned would break the block's sizes.
        if (data.empty() || data.size() >= LargeEntryLimit || fed > unit.size) {
          slot.error = e.source + " changed while the setup was built";
          return slot;
        }
        slot.sizes.push_back(static_cast<std::uint32_t>(data.size()));
        slot.crcs.push_back(Crc32(data.data(), data.size()));
        encoder.Feed(data.data(), data.size(), slot.frame);
        taken_in_ += data.size();
      }
      if (fed != unit.size) {
        slot.error = entries_[unit.first].source + " changed while the setup was built";
        return slot;
      }
      encoder.Finish(slot.frame);
      if (slot.frame.size() < unit.count) {
        slot.padding = static_cast<std::uint32_t>(unit.count - slot.frame.size());
        slot.frame.resize(unit.count, 0);
      }
      slot.slices = CutSlices(slot.frame.size(), slot.sizes);
    } catch (const std::exception& ex) {
      slot.error = entries_[unit.first].name + ": " + ex.what();
    }
    return slot;
  }

  const std::vector<PlannedEntry>& entries_;
  const std::vector<Unit>& units_;
  std::vector<Slot> slots_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_, ready_;
  std::size_t next_ = 0, written_ = 0;
  std::uint64_t in_flight_ = 0;
  bool stop_ = false;
  mutable std::atomic<std::uint64_t> taken_in_{0};  // source bytes the packers have read
};

// Why the last file operation failed, as ": reason", or nothing when the system gave none.
std::string Why() {
  const char* text = platform::FileFaultText(platform::LastFileFault());
  return *text ? std::string(": ") + text : std::string();
}

PackedBlock RawBlock(const Bytes& data, bool as_compressed) {
  PackedBlock b;
  b.Block = data;
  b.OrigSize = static_cast<std::uint32_t>(data.size());
  b.CompSize = as_compressed ? b.OrigSize : 0;
  b.CRC = Crc32(data.data(), data.size());
  return b;
}

std::string WriteBody(const std::string& temp, const std::vector<PlannedEntry>& entries, const WriteOptions& options,
                      WriteStats& stats) {
  PakWriter pak(temp, PakWriter::Mode::Append);
  if (!pak.IsOpen()) return "cannot open " + temp + " for writing" + Why();
  unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::uint64_t> sizes;
  for (const auto& e : entries) sizes.push_back(PlannedSize(e));
  const std::vector<Unit> units =
      PlanUnits(entries, sizes, options.solid, options.solid_block_bytes ? options.solid_block_bytes : kSolidBlockMax);
  const bool solid = std::any_of(units.begin(), units.end(), [](const Unit& u) { return u.solid; });
  if (solid && options.threads == 0) {
    // An encoder of a 32 MiB window takes about 370 MB: no more of them than half the memory holds.
    const std::uint64_t each = LzmaEncoder::MemoryFor(kSolidPreset, kLzmaLaneWindow);
    const std::uint64_t fit = each ? platform::TotalPhysicalMemory() / 2 / each : threads;
    threads = static_cast<unsigned>(std::clamp<std::uint64_t>(fit, 1, threads));
  }
  std::vector<SolidBlock> blocks;
  std::vector<std::uint32_t> data_crcs;
  if (solid) {
    // First, so that a reader that does not know solid blocks fails on it before any other.
    const std::string_view text(kSolidMarkerText);
    const std::size_t index = pak.AddEntry(kSolidMarkerEntry, "", 0);
    if (!pak.StorePacked(index, RawBlock(Bytes(text.begin(), text.end()), true))) return "cannot write the package";
  }
  Pipeline pipeline(entries, units, threads);
  std::uint64_t total = 0, done = 0;
  for (auto s : sizes) total += s;
  stats.source_bytes = total;
  for (std::size_t u = 0; u < units.size(); ++u) {
    const Unit& unit = units[u];
    // Packing is the cost, so the bar counts what the packers took in, and the writing a tenth.
    Slot& slot = pipeline.Take(u, [&](std::uint64_t taken) {
      if (options.progress) options.progress((9 * std::min(taken, total) + done) / 10, total);
    });
    if (!slot.error.empty()) return slot.error;
    const std::size_t index =
        pak.AddEntry(entries[unit.first].name, entries[unit.first].source, entries[unit.first].group);
    for (std::size_t i = unit.first + 1; i < unit.first + unit.count; ++i) {
      pak.AddEntry(entries[i].name, entries[i].source, entries[i].group);
    }
    if (unit.solid) {
      if (!pak.StoreSlices(index, slot.frame, slot.slices, slot.sizes)) {
        return "cannot write the package (disk full, or 4 GiB or larger)";
      }
      blocks.push_back({static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(unit.count), slot.padding});
      data_crcs.insert(data_crcs.end(), slot.crcs.begin(), slot.crcs.end());
    } else if (slot.large) {
      if (std::string problem; !pak.StoreLargeFile(index, &problem)) return problem;
    } else {
      auto end = pak.WriteOffset();
      if (!end) return "cannot write the package" + Why();
      if (*end + slot.packed.Block.size() > 0xFFFFFFFFull) return "the package would be 4 GiB or larger";
      if (!pak.StorePacked(index, slot.packed)) return "cannot write the package" + Why();
    }
    pipeline.Done(u);
    done += unit.size;
    if (options.progress) options.progress((9 * std::min(pipeline.TakenIn(), total) + done) / 10, total);
  }
  if (solid) {
    const std::size_t index = pak.AddEntry(kSolidIndexEntry, "", 0);
    if (!pak.StorePacked(index, RawBlock(SerializeSolidIndex(blocks, data_crcs), false))) {
      return "cannot write the package";
    }
    pak.SetVersion(kPakVersionSolid);
  }
  auto end = pak.WriteOffset();
  if (!end || *end > 0xFFFFFFFFull) return "the package would be 4 GiB or larger";
  if (!pak.WriteDirectory(true)) return "cannot write the package directory" + Why();
  stats.package_bytes = *end - pak.DataStart();
  stats.solid_blocks = blocks.size();
  pak.Close();
  return {};
}

// The output's folder and those above it that are missing; "" when it stands.
std::string CreateFolders(const std::string& dir) {
  if (dir.empty() || platform::DirectoryExists(dir)) return {};
  const std::string parent = DirName(dir);
  if (parent != dir) {
    if (std::string problem = CreateFolders(parent); !problem.empty()) return problem;
  }
  if (platform::FileExists(dir)) return "cannot create the folder " + dir + ": a file has its name";
  if (!platform::CreateDir(dir) && !platform::DirectoryExists(dir)) return "cannot create the folder " + dir + Why();
  return {};
}

// The stub as the setup's first bytes; its resources are written before the package is
// appended, since the package is found from the end of the file. A stub that is no Windows
// program (the host's engine) has none to write.
std::string CopyStub(const std::string& stub, const std::string& temp, const ProgramFacts* program) {
  auto bytes = program ? ReadWholeFile(stub) : std::nullopt;
  if (!bytes || !ReadPeSecurityDirectory(bytes->data(), std::min(bytes->size(), kPeHeadBytes))) {
    return platform::CopyFileTo(stub, temp, false) ? "" : "cannot write " + temp + Why();
  }
  if (std::string problem; !WriteProgramResources(*bytes, *program, &problem)) {
    return "cannot write the resources of \"" + stub + "\": " + problem;
  }
  platform::File out;
  if (!out.Open(temp, platform::OpenMode::Create) || out.Write(bytes->data(), bytes->size()) != bytes->size()) {
    return "cannot write " + temp + Why();
  }
  return {};
}

}  // namespace

std::string WriteSetup(const std::string& output, const std::string& stub, const std::vector<PlannedEntry>& entries,
                       const WriteOptions& options) {
  if (!platform::FileExists(stub)) return "engine program \"" + stub + "\" not found";
  if (TPak(stub).EndsWithPackageHeader()) {
    return "\"" + stub + "\" already carries a package; name the bare engine program";
  }
  if (std::string problem = CreateFolders(DirName(output)); !problem.empty()) return problem;
  const std::string temp = output + ".zqbuild-part";
  platform::DeleteFileAt(temp);
  std::string problem = CopyStub(stub, temp, options.program);
  if (!problem.empty()) {
    platform::DeleteFileAt(temp);
    return problem;
  }
  try {
    WriteStats stats;
    problem = WriteBody(temp, entries, options, stats);
    if (options.stats != nullptr) *options.stats = stats;
  } catch (const std::exception& e) {
    problem = e.what();
  }
  if (problem.empty()) {
    if (platform::DirectoryExists(output)) {
      problem = "cannot replace " + output + ": it is a folder";
    } else if (platform::FileExists(output) && !platform::DeleteFileAt(output)) {
      problem = "cannot replace " + output + Why();
    } else if (!platform::RenameFile(temp, output)) {
      problem = "cannot rename " + temp + " to " + output + Why();
    }
  }
  if (!problem.empty()) platform::DeleteFileAt(temp);
  return problem;
}

}  // namespace zq::builder
