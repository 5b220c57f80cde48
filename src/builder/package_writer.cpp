#include "builder/package_writer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "builder/build_paths.h"
#include "container/pak.h"
#include "container/pak_writer.h"
#include "container/pe_image.h"
#include "container/pak_string.h"
#include "platform/files.h"

namespace zq::builder {

namespace {

// Bytes of source data packed ahead of the writer at most (the entry next in line is always
// allowed, whatever its size).
constexpr std::uint64_t kAheadBudget = 256ull << 20;

struct Slot {
  bool ready = false;
  bool large = false;  // copied from its source in chunks by the writer
  PackedBlock packed;
  std::string error;
};

std::uint64_t PlannedSize(const PlannedEntry& e) {
  if (e.source.empty()) return e.data.size();
  return platform::FileSize(e.source).value_or(0);
}

class Pipeline {
 public:
  Pipeline(const std::vector<PlannedEntry>& entries, unsigned threads) : entries_(entries), slots_(entries.size()) {
    for (const auto& e : entries) sizes_.push_back(PlannedSize(e));
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

  // Waits for entry `index`; the writer hands it back with Done once it is stored.
  Slot& Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return slots_[index].ready; });
    return slots_[index];
  }
  void Done(std::size_t index) {
    {
      std::lock_guard lock(mutex_);
      written_ = index + 1;
      in_flight_ -= Cost(index);
      slots_[index].packed = {};
    }
    wake_.notify_all();
  }
  std::uint64_t TotalSize() const {
    std::uint64_t total = 0;
    for (auto s : sizes_) total += s;
    return total;
  }
  std::uint64_t SizeOf(std::size_t index) const { return sizes_[index]; }

 private:
  // Memory an entry holds while it waits: none for one copied in chunks.
  std::uint64_t Cost(std::size_t index) const { return sizes_[index] < LargeEntryLimit ? sizes_[index] : 0; }

  void Work() {
    for (;;) {
      std::size_t index;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] {
          if (stop_ || next_ >= entries_.size()) return true;
          return next_ == written_ || in_flight_ + Cost(next_) <= kAheadBudget;
        });
        if (stop_ || next_ >= entries_.size()) return;
        index = next_++;
        in_flight_ += Cost(index);
      }
      Slot slot = Pack(entries_[index]);
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

  const std::vector<PlannedEntry>& entries_;
  std::vector<Slot> slots_;
  std::vector<std::uint64_t> sizes_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_, ready_;
  std::size_t next_ = 0, written_ = 0;
  std::uint64_t in_flight_ = 0;
  bool stop_ = false;
};

// Why the last file operation failed, as ": reason", or nothing when the system gave none.
std::string Why() {
  const char* text = platform::FileFaultText(platform::LastFileFault());
  return *text ? std::string(": ") + text : std::string();
}

std::string WriteBody(const std::string& temp, const std::vector<PlannedEntry>& entries, const WriteOptions& options) {
  PakWriter pak(temp, PakWriter::Mode::Append);
  if (!pak.IsOpen()) return "cannot open " + temp + " for writing" + Why();
  unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  Pipeline pipeline(entries, threads);
  const std::uint64_t total = pipeline.TotalSize();
  std::uint64_t done = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PlannedEntry& e = entries[i];
    Slot& slot = pipeline.Take(i);
    if (!slot.error.empty()) return slot.error;
    std::size_t index = pak.AddEntry(e.name, e.source, e.group);
    if (slot.large) {
      if (std::string problem; !pak.StoreLargeFile(index, &problem)) return problem;
    } else {
      auto end = pak.WriteOffset();
      if (!end) return "cannot write the package" + Why();
      if (*end + slot.packed.Block.size() > 0xFFFFFFFFull) return "the package would be 4 GiB or larger";
      if (!pak.StorePacked(index, slot.packed)) return "cannot write the package" + Why();
    }
    pipeline.Done(i);
    done += pipeline.SizeOf(i);
    if (options.progress) options.progress(done, total);
  }
  auto end = pak.WriteOffset();
  if (!end || *end > 0xFFFFFFFFull) return "the package would be 4 GiB or larger";
  if (!pak.WriteDirectory(true)) return "cannot write the package directory" + Why();
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
    problem = WriteBody(temp, entries, options);
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
