#include "archives/vfs.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "archives/pak_system.h"
#include "base/byte_io.h"
#include "base/error.h"
#include "base/path_text.h"
#include "platform/md5.h"

namespace zq {

namespace {

[[noreturn]] void Damaged(const std::string& path, const std::string& why) {
  throw ArchiveFailure("VFS archive " + path + " is damaged: " + why);
}

[[noreturn]] void InternalCheck(const std::string& what) { throw Error("VFS_Unit: " + what); }

constexpr std::size_t kDigestPiece = 0x40000;

// A file's bytes as they were added: its chain read, compressed chunks inflated. Nothing, with
// `problem` said, when they cannot be had.
std::optional<Bytes> ReadFileBack(TVFSFile& vfs, const TVFSEntry& e, std::string& problem) {
  Bytes stored = vfs.ReadFileData(e).Data;
  if (stored.size() != e.StoredSize) {
    problem = "its chain is shorter than its stored size";
    return std::nullopt;
  }
  if ((e.Flags & kVfsCompressed) == 0) return stored;
  Bytes out;
  for (std::size_t at = 0; at < stored.size();) {
    if (at + 4 > stored.size()) break;
    const std::uint32_t len = GetU32(&stored[at]);
    if (len > stored.size() - at - 4) break;
    auto piece = Inflate(&stored[at + 4], len, kVfsChunk, kVfsChunk);
    if (piece.status != InflateResult::Status::Complete) break;
    out.insert(out.end(), piece.data.begin(), piece.data.end());
    at += 4 + len;
  }
  if (out.size() != e.UnpackedSize) {
    problem = "its chunks do not inflate to its unpacked size";
    return std::nullopt;
  }
  return out;
}

}  // namespace

// ---- records ----

void PutVfsEntry(Bytes& out, const TVFSEntry& e) {
  const std::size_t n = std::min(e.Name.size(), kVfsNameSize);
  out.insert(out.end(), e.Name.begin(), e.Name.begin() + static_cast<std::ptrdiff_t>(n));
  out.insert(out.end(), kVfsNameSize - n + 3, 0);
  PutU32(out, e.Flags);
  PutU32(out, e.Date);
  PutU32(out, e.FirstBlock);
  PutU32(out, e.StoredSize);
  PutU32(out, e.UnpackedSize);
}

TVFSEntry GetVfsEntry(const std::uint8_t* p) {
  TVFSEntry e;
  const auto* name = reinterpret_cast<const char*>(p);
  e.Name.assign(name, std::find(name, name + kVfsNameSize, '\0'));
  e.Flags = GetU32(p + 68);
  e.Date = GetU32(p + 72);
  e.FirstBlock = GetU32(p + 76);
  e.StoredSize = GetU32(p + 80);
  e.UnpackedSize = GetU32(p + 84);
  return e;
}

std::uint32_t VfsPathHash(const std::string& full_path, const std::string& name) {
  std::string key = name;
  if (full_path.size() >= name.size()) {
    std::string dir = full_path.substr(0, full_path.size() - name.size());
    if (dir.size() >= 2 && dir.back() == '\\') key = dir.substr(0, dir.size() - 1) + "/" + name;
  }
  std::uint32_t h = 0;
  for (unsigned char c : key) h = h * 65599u + c;
  return h;
}

Bytes NewVfsArchive(std::uint32_t block_size, std::uint32_t block_count, std::uint32_t root_count,
                    const std::string& description) {
  Bytes out;
  PutText(out, "ZQVF");
  PutU32(out, block_size);
  PutU32(out, block_count);
  PutU32(out, root_count);
  out.resize(44, 0);  // preserved words and digest
  PutU32(out, 256);
  std::string text = description.substr(0, 256);
  PutText(out, text);
  out.resize(out.size() + (256 - text.size()), 0);
  PutU32(out, 0);
  out.resize(out.size() + 8ull * block_count + kVfsEntrySize * root_count + std::uint64_t{block_size} * block_count, 0);
  platform::Md5 md5;
  md5.Update(out.data() + 44, out.size() - 44);
  if (auto digest = md5.Finish()) std::copy(digest->begin(), digest->end(), out.begin() + 28);
  return out;
}

// ---- TVFSFileBuffer ----

std::size_t TVFSFileBuffer::Read(void* destination, std::size_t count) {
  const std::size_t n = std::min(count, Data.size() - Position);
  if (n > 0) std::memcpy(destination, Data.data() + Position, n);
  Position += n;
  return n;
}

std::size_t TVFSFileBuffer::ReadU32(std::uint32_t& value) {
  std::uint8_t b[4] = {};
  std::size_t n = Read(b, 4);
  value = GetU32(b);
  return n;
}

std::size_t TVFSFileBuffer::ReadChars(std::string& text, std::size_t count) {
  text.assign(std::min(count, Data.size() - Position), '\0');
  return Read(text.data(), text.size());
}

// ---- TVFSFile ----

TVFSFile::TVFSFile(ArchiveFileSystem& fs) : fs_(fs) {}

TVFSFile::~TVFSFile() {
  try {
    if (journal_ && journal_->Active()) Abandon();
  } catch (...) {
    // The journal stays beside the archive; its next opening rolls the archive back.
  }
}

std::string TVFSFile::HashFilePath(const std::string& archive_path) {
  auto dot = archive_path.rfind('.');
  auto sep = archive_path.find_last_of("\\/");
  if (dot == std::string::npos || (sep != std::string::npos && sep > dot)) return archive_path + ".ht";
  return archive_path.substr(0, dot) + ".ht";
}

void TVFSFile::ReadAt(std::uint64_t position, void* data, std::size_t size) {
  if (file_->ReadAt(position, data, size) != size) Damaged(path_, "it ends early");
}

void TVFSFile::Open(const std::string& path, bool hash_mode) {
  path_ = path;
  HashMode = hash_mode;
  const JournalRecovery recovery = continue_journal_ ? JournalRecovery{} : ArchiveJournal::Recover(fs_, path);
  JournalNote = recovery.note;
  if (!recovery.Usable()) throw ArchiveFailure("VFS archive " + recovery.note + ".");
  file_ = fs_.Open(path, false);
  if (!file_)
    throw ArchiveFailure("Unable to open VFS archive " + path + ", file may be in use or drive is write protected.");
  const std::uint64_t size = file_->Size().value_or(0);
  std::uint8_t head[48];
  ReadAt(0, head, sizeof head);
  Header.Identifier = GetU32(head);
  Header.BlockSize = GetU32(head + 4);
  Header.BlockCount = GetU32(head + 8);
  Header.RootCount = GetU32(head + 12);
  for (int i = 0; i < 3; ++i) Header.Preserved[static_cast<std::size_t>(i)] = GetU32(head + 16 + 4 * i);
  std::copy(head + 28, head + 44, Header.Digest.begin());
  Header.DescriptionLength = GetU32(head + 44);
  // A description shorter than its 256 bytes would put the tables where the text is.
  if (Header.DescriptionLength < 256 || Header.DescriptionLength > size) Damaged(path, "description length");
  if (Header.BlockSize == 0) Damaged(path, "block size 0");
  Header.Description.assign(256, 0);
  ReadAt(48, Header.Description.data(), 256);
  Header.FurtherDescription.assign(Header.DescriptionLength - 256, 0);
  ReadAt(304, Header.FurtherDescription.data(), Header.FurtherDescription.size());
  std::uint8_t in_use[4];
  ReadAt(48 + std::uint64_t{Header.DescriptionLength}, in_use, 4);
  Header.BlocksInUse = GetU32(in_use);
  TableStart = 52 + std::uint64_t{Header.DescriptionLength};
  RootStart = TableStart + 8ull * Header.BlockCount;
  DataStart = RootStart + kVfsEntrySize * std::uint64_t{Header.RootCount};
  if (DataStart + std::uint64_t{Header.BlockSize} * Header.BlockCount > size) Damaged(path, "shorter than its blocks");
  Bytes table(8ull * Header.BlockCount);
  ReadAt(TableStart, table.data(), table.size());
  Table.resize(Header.BlockCount);
  for (std::size_t i = 0; i < Table.size(); ++i) Table[i] = {GetU32(&table[8 * i]), GetU32(&table[8 * i + 4])};
  free_hint_ = 0;
  Bytes roots(kVfsEntrySize * Header.RootCount);
  ReadAt(RootStart, roots.data(), roots.size());
  RootTable.clear();
  for (std::size_t i = 0; i < Header.RootCount; ++i) RootTable.push_back(GetVfsEntry(&roots[kVfsEntrySize * i]));
  Tree = std::make_unique<TVFSTree>(*this);
  for (std::uint32_t slot = 0; slot < Header.RootCount; ++slot)
    if (!RootTable[slot].Name.empty()) Tree->AddRootNode(slot);
  if (hash_mode) {
    Tree->LoadSubdirectories(0);
  } else if (auto ht = fs_.Exists(HashFilePath(path)) ? ReadAll(fs_, HashFilePath(path)) : std::nullopt) {
    HashFile = std::move(*ht);
    HashLoaded = true;
  }
}

void TVFSFile::BeginUpdate() {
  if (!file_) throw ArchiveFailure("VFS archive " + path_ + " is not open.");
  journal_ = std::make_unique<ArchiveJournal>(fs_, path_);
  if (hold_journal_) journal_->Hold();
  if (continue_journal_) {
    journal_->Resume(*file_);
  } else {
    journal_->Begin(*file_);
  }
  journaled_ = std::make_unique<JournaledFile>(*file_, *journal_);
}

void TVFSFile::Write(std::uint64_t position, const void* data, std::size_t size) {
  if (!journaled_) BeginUpdate();
  if (journaled_->WriteAt(position, data, size) != size)
    throw ArchiveFailure("Unable to write " + path_ + ": disk full or write error.");
}

void TVFSFile::WriteTableEntry(std::uint32_t block, Allocation value) {
  Bytes b;
  PutU32(b, value.Marker);
  PutU32(b, value.Next);
  Write(TableStart + 8ull * (block - 1), b.data(), b.size());
  Table[block - 1] = value;
}

void TVFSFile::WriteBlock(std::uint32_t block, const std::uint8_t* data, std::uint32_t size) {
  Bytes b(Header.BlockSize, 0);
  if (size > 0) std::memcpy(b.data(), data, size);
  Write(DataStart + std::uint64_t{block - 1} * Header.BlockSize, b.data(), b.size());
}

std::int64_t TVFSFile::FindFreeBlock(bool skip) {
  bool first = true;
  for (std::uint32_t i = free_hint_; i < Table.size(); ++i) {
    if (Table[i].Next != 0) continue;
    if (first) free_hint_ = i;
    if (!skip || !first) return i;
    first = false;
  }
  return -1;
}

TVFSFileBuffer TVFSFile::ReadFileData(const TVFSEntry& entry) {
  // No chain holds more than every block of the archive: a damaged stored size beyond that is
  // not allocated for.
  Bytes data(static_cast<std::size_t>(
      std::min<std::uint64_t>(entry.StoredSize, std::uint64_t{Header.BlockSize} * Header.BlockCount)));
  std::uint32_t block = entry.FirstBlock;
  std::size_t done = 0;
  // A chain longer than the table is a loop: it ends there.
  for (std::uint32_t steps = 0; done < data.size() && steps < Header.BlockCount; ++steps) {
    if (block == 0 || block == kVfsChainEnd || block > Header.BlockCount) {
      ReadFailed = true;
      break;
    }
    const std::size_t n = std::min<std::size_t>(data.size() - done, Header.BlockSize);
    if (file_->ReadAt(DataStart + std::uint64_t{block - 1} * Header.BlockSize, data.data() + done, n) != n)
      ReadFailed = true;
    done += n;
    block = Table[block - 1].Next;
  }
  if (done < entry.StoredSize) {
    ReadFailed = true;
    data.resize(done);
  }
  return TVFSFileBuffer(std::move(data));
}

void TVFSFile::WriteFile(TVFSEntry& entry, const std::uint8_t* data, std::uint32_t size) {
  if (size == 0 && data != nullptr) InternalCheck("WriteFile: Error Buffer is Assigned but size is 0");
  const std::uint64_t needed = size == 0 ? 1 : (std::uint64_t{size} + Header.BlockSize - 1) / Header.BlockSize;
  std::uint64_t free_blocks = 0;
  for (std::uint32_t i = free_hint_; i < Table.size() && free_blocks < needed; ++i)
    if (Table[i].Next == 0) ++free_blocks;
  // The table is fixed: running out is refused before a single block of the file is written.
  if (free_blocks < needed)
    throw ArchiveFailure("No free block left in VFS archive " + path_ + " for " + std::to_string(size) + " bytes.");
  std::uint32_t current = static_cast<std::uint32_t>(FindFreeBlock(false) + 1);
  entry.FirstBlock = current;
  entry.StoredSize = size;
  entry.Date = DosDateToday();
  std::uint64_t written = 0;
  do {
    const bool more = written + Header.BlockSize < size;
    const std::uint32_t next = more ? static_cast<std::uint32_t>(FindFreeBlock(true) + 1) : kVfsChainEnd;
    WriteTableEntry(current, {1, next});
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(Header.BlockSize, size - written));
    WriteBlock(current, data == nullptr ? nullptr : data + written, n);
    ++Header.BlocksInUse;
    written += n;
    current = next;
  } while (current != kVfsChainEnd);
}

void TVFSFile::RewriteFile(TVFSEntry& entry, const std::uint8_t* data, std::uint32_t size) {
  entry.Date = DosDateToday();
  std::uint32_t block = entry.FirstBlock;
  std::uint64_t written = 0;
  while (written < size) {
    if (block == 0 || block == kVfsChainEnd || block > Header.BlockCount) Damaged(path_, "a chain ends early");
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(Header.BlockSize, size - written));
    WriteBlock(block, data + written, n);
    written += n;
    block = Table[block - 1].Next;
  }
}

void TVFSFile::FreeChain(const TVFSEntry& entry) {
  std::uint32_t block = entry.FirstBlock;
  for (std::uint32_t steps = 0;
       block != 0 && block != kVfsChainEnd && block <= Header.BlockCount && steps < Header.BlockCount; ++steps) {
    const std::uint32_t next = Table[block - 1].Next;
    if (next == 0) break;  // already free: a damaged chain is not followed further
    WriteTableEntry(block, {0, 0});
    free_hint_ = std::min(free_hint_, block - 1);
    if (Header.BlocksInUse > 0) --Header.BlocksInUse;
    block = next;
  }
}

void TVFSFile::WriteRootSlot(std::uint32_t slot) {
  Bytes b;
  PutVfsEntry(b, RootTable[slot]);
  Write(RootStart + kVfsEntrySize * std::uint64_t{slot}, b.data(), b.size());
}

void TVFSFile::ClearRootSlot(std::uint32_t slot) {
  RootTable[slot] = TVFSEntry{};
  Bytes zeros(kVfsEntrySize, 0);
  Write(RootStart + kVfsEntrySize * std::uint64_t{slot}, zeros.data(), zeros.size());
}

std::optional<std::array<std::uint8_t, 16>> TVFSFile::ComputeDigest() {
  platform::Md5 md5;
  if (!md5.Ok()) return std::nullopt;
  const std::uint64_t size = file_->Size().value_or(0);
  Bytes piece(static_cast<std::size_t>(std::min<std::uint64_t>(kDigestPiece, size > 44 ? size - 44 : 0)));
  for (std::uint64_t at = 44; at < size;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kDigestPiece, size - at));
    if (file_->ReadAt(at, piece.data(), n) != n) throw ArchiveFailure("Unable to read " + path_ + " for its digest.");
    if (!md5.Update(piece.data(), n)) InternalCheck("MD5 Error");
    at += n;
  }
  return md5.Finish();
}

void TVFSFile::SaveHeader(bool skip_digest) {
  Bytes b;
  PutU32(b, Header.DescriptionLength);
  b.insert(b.end(), Header.Description.begin(), Header.Description.end());
  b.insert(b.end(), Header.FurtherDescription.begin(), Header.FurtherDescription.end());
  PutU32(b, Header.BlocksInUse);
  Write(44, b.data(), b.size());
  if (skip_digest) {
    Header.Digest.fill(0);
  } else if (auto digest = ComputeDigest()) {
    Header.Digest = *digest;
  }
  b.clear();
  PutU32(b, Header.Identifier);
  PutU32(b, Header.BlockSize);
  PutU32(b, Header.BlockCount);
  PutU32(b, Header.RootCount);
  for (auto w : Header.Preserved) PutU32(b, w);
  b.insert(b.end(), Header.Digest.begin(), Header.Digest.end());
  Write(0, b.data(), b.size());
  const std::string ht = HashFilePath(path_);
  if (HashMode) {
    journal_->KeepSideFile(ht);
    Bytes table = Tree->HashTableBytes();
    if (fs_.Exists(ht) && !fs_.Remove(ht)) throw ArchiveFailure("Unable to replace " + ht + ".");
    if (!table.empty() && !WriteAll(fs_, ht, table)) throw ArchiveFailure("Unable to write " + ht + ".");
  } else if (HashLoaded) {
    journal_->KeepSideFile(ht);
    if (fs_.Exists(ht) && !fs_.Remove(ht)) throw ArchiveFailure("Unable to replace " + ht + ".");
    if (HashFile.size() > 4 && GetU32(HashFile.data()) > 0 && !WriteAll(fs_, ht, HashFile))
      throw ArchiveFailure("Unable to write " + ht + ".");
  }
}

void TVFSFile::Close() {
  if (journal_ && journal_->Active()) journal_->Commit(*file_);
  journaled_.reset();
  journal_.reset();
  file_.reset();
  Tree.reset();
  Table.clear();
  RootTable.clear();
  HashFile.clear();
  HashLoaded = false;
}

bool TVFSFile::Abandon() {
  journaled_.reset();
  if (journal_) journal_->Detach();
  journal_.reset();
  file_.reset();
  Tree.reset();
  return path_.empty() || ArchiveJournal::Recover(fs_, path_).Usable();
}

std::uint32_t TVFSFile::CountUsedBlocks() const {
  return static_cast<std::uint32_t>(
      std::count_if(Table.begin(), Table.end(), [](const Allocation& a) { return a.Next != 0; }));
}

std::vector<ArchiveProblem> TVFSFile::Check(const SoundMember& sound) {
  std::vector<ArchiveProblem> problems;
  auto problem = [&](const std::string& name, std::string what) { problems.push_back({name, std::move(what)}); };
  const std::uint32_t count = Header.BlockCount;
  const std::uint32_t used = CountUsedBlocks();
  for (std::uint32_t b = 0; b < count; ++b) {
    const Allocation& a = Table[b];
    if (a.Next != 0 && a.Next != kVfsChainEnd && a.Next > count)
      problem("", "block " + std::to_string(b + 1) + " points past the table");
    if ((a.Next != 0) != (a.Marker == 1) || a.Marker > 1)
      problem("", "block " + std::to_string(b + 1) + " has a wrong in-use marker");
  }
  if (used != Header.BlocksInUse)
    problem("", "header counts " + std::to_string(Header.BlocksInUse) + " blocks in use, the table " +
                    std::to_string(used));
  std::set<std::uint32_t> owned;
  for (const std::int32_t n : Tree->LiveNodes()) {
    const TTreeFileInfo& node = Tree->Node(n);
    const TVFSEntry& e = *node.Entry;
    const std::uint64_t want =
        e.StoredSize == 0 ? 1 : (std::uint64_t{e.StoredSize} + Header.BlockSize - 1) / Header.BlockSize;
    std::uint64_t length = 0;
    std::uint32_t b = e.FirstBlock;
    while (b != kVfsChainEnd && length <= count) {
      if (b == 0 || b > count || Table[b - 1].Next == 0) {
        problem(node.Path, "chain runs into a free or missing block");
        break;
      }
      if (!owned.insert(b).second) {
        problem(node.Path, "block " + std::to_string(b) + " belongs to two chains");
        break;
      }
      ++length;
      b = Table[b - 1].Next;
    }
    if (length != want)
      problem(node.Path, "chain of " + std::to_string(length) + " blocks, " + std::to_string(want) + " expected");
    if ((e.Flags & kVfsDirectory) && e.StoredSize % kVfsEntrySize != 0)
      problem(node.Path, "directory size not a multiple of 88");
    if (e.Flags & kVfsFile) {
      std::string why;
      auto data = ReadFileBack(*this, e, why);
      if (!data) problem(node.Path, why);
      else if (sound) sound(node.Path, *data);
    }
  }
  if (owned.size() != used) problem("", std::to_string(used - owned.size()) + " blocks in use belong to no file");
  return problems;
}

std::vector<ArchiveProblem> TVFSFile::CheckDigests() {
  std::vector<ArchiveProblem> problems;
  auto digest = ComputeDigest();
  if (!digest || *digest != Header.Digest) problems.push_back({"", "the MD5 digest in the header does not match"});
  const std::string ht = HashFilePath(path_);
  auto actual = fs_.Exists(ht) ? ReadAll(fs_, ht) : std::optional<Bytes>(Bytes{});
  if (!actual || *actual != Tree->HashTableBytes()) {
    problems.push_back({"", ht + " does not match the archive's files"});
  }
  return problems;
}

// ---- TVFSTree ----

std::int32_t TVFSTree::NewNode() {
  for (std::size_t i = 0; i < nodes_.size(); ++i)
    if (nodes_[i].Index == -1) {
      nodes_[i] = TTreeFileInfo{};
      nodes_[i].Index = static_cast<std::int32_t>(i);
      return nodes_[i].Index;
    }
  nodes_.emplace_back();
  nodes_.back().Index = static_cast<std::int32_t>(nodes_.size() - 1);
  return nodes_.back().Index;
}

std::int32_t TVFSTree::AddRootNode(std::uint32_t slot) {
  const std::int32_t n = NewNode();
  auto& node = nodes_[static_cast<std::size_t>(n)];
  node.Entry = &file_.RootTable[slot];
  node.RootSlot = slot;
  node.Path = node.Entry->Name;
  by_path_[AsciiLowerCase(node.Path)] = n;
  return n;
}

std::int32_t TVFSTree::FindPath(const std::string& path) const {
  auto it = by_path_.find(AsciiLowerCase(path));
  return it == by_path_.end() ? -1 : it->second;
}

std::vector<std::int32_t> TVFSTree::LiveNodes() const {
  std::vector<std::int32_t> live;
  for (const auto& node : nodes_)
    if (node.Index != -1) live.push_back(node.Index);
  return live;
}

void TVFSTree::LoadSubdirectories(std::int32_t first) {
  // A sound archive stores every entry once in its blocks; a damaged one whose directories
  // share chains could make a tree of any size from a few blocks, so it is refused beyond that.
  const std::uint64_t most_nodes =
      file_.Header.RootCount + std::uint64_t{file_.Header.BlockSize} * file_.Header.BlockCount / kVfsEntrySize;
  for (std::size_t i = static_cast<std::size_t>(std::max(first, 0)); i < nodes_.size(); ++i) {
    if (nodes_[i].Index == -1 || (nodes_[i].Entry->Flags & kVfsDirectory) == 0 || nodes_[i].Entry->StoredSize == 0)
      continue;
    // A directory stored in its own ancestor's chain holds itself again and again without end.
    for (std::int32_t a = nodes_[i].Parent; a != -1; a = nodes_[static_cast<std::size_t>(a)].Parent) {
      if (nodes_[static_cast<std::size_t>(a)].Entry->FirstBlock == nodes_[i].Entry->FirstBlock)
        Damaged(file_.Path(), "directory " + nodes_[i].Path + " contains itself");
    }
    TVFSFileBuffer content = file_.ReadFileData(*nodes_[i].Entry);
    const std::size_t count = content.Size() / kVfsEntrySize;
    if (nodes_.size() + count > most_nodes) Damaged(file_.Path(), "its directories hold more entries than its blocks");
    for (std::size_t e = 0; e < count; ++e) {
      const std::int32_t child = NewNode();
      auto& node = nodes_[static_cast<std::size_t>(child)];  // nodes_ may have grown: index afresh
      node.Owned = std::make_unique<TVFSEntry>(GetVfsEntry(content.Data.data() + e * kVfsEntrySize));
      node.Entry = node.Owned.get();
      node.Parent = static_cast<std::int32_t>(i);
      node.Path = nodes_[i].Path + "\\" + node.Entry->Name;
      nodes_[i].Children.push_back(child);
      by_path_[AsciiLowerCase(node.Path)] = child;
    }
  }
}

std::int32_t TVFSTree::FindChild(std::int32_t parent, const std::string& name) const {
  const std::string path = parent == -1 ? name : nodes_[static_cast<std::size_t>(parent)].Path + "\\" + name;
  const std::int32_t n = FindPath(path);
  return n != -1 && nodes_[static_cast<std::size_t>(n)].Parent == parent ? n : -1;
}

std::int32_t TVFSTree::NewEntryNode(std::int32_t parent, const std::string& name, std::uint32_t flags) {
  std::int32_t n;
  if (parent == -1) {
    auto slot =
        std::find_if(file_.RootTable.begin(), file_.RootTable.end(), [](const TVFSEntry& e) { return e.Name.empty(); });
    if (slot == file_.RootTable.end())
      throw ArchiveFailure("CreateNewFileDir: ROOT Result = Cardinal(-1): no free root entry in VFS archive " +
                           file_.Path());
    *slot = TVFSEntry{};
    slot->Name = name.substr(0, kVfsNameSize);
    n = AddRootNode(static_cast<std::uint32_t>(slot - file_.RootTable.begin()));
  } else {
    n = NewNode();
    auto& node = nodes_[static_cast<std::size_t>(n)];
    node.Owned = std::make_unique<TVFSEntry>();
    node.Owned->Name = name.substr(0, kVfsNameSize);
    node.Entry = node.Owned.get();
    node.Parent = parent;
    node.Path = nodes_[static_cast<std::size_t>(parent)].Path + "\\" + node.Entry->Name;
    auto& children = nodes_[static_cast<std::size_t>(parent)].Children;
    auto free_slot = std::find(children.begin(), children.end(), -1);
    if (free_slot != children.end()) *free_slot = n;
    else children.push_back(n);
    by_path_[AsciiLowerCase(node.Path)] = n;
  }
  nodes_[static_cast<std::size_t>(n)].Entry->Flags = flags;
  return n;
}

std::int32_t TVFSTree::AddDirectory(std::int32_t parent, const std::string& name) {
  const std::int32_t n = NewEntryNode(parent, name, kVfsDirectory);
  file_.WriteFile(*nodes_[static_cast<std::size_t>(n)].Entry, nullptr, 0);
  if (parent == -1) file_.WriteRootSlot(nodes_[static_cast<std::size_t>(n)].RootSlot);
  else UpdateParentDirectory(n);
  return n;
}

std::optional<Bytes> TVFSTree::InternalCompressFile(const std::uint8_t* data, std::uint32_t size) {
  Bytes out;
  out.reserve(size);
  for (std::size_t at = 0; at < size;) {
    const std::size_t n = std::min<std::size_t>(kVfsChunk, size - at);
    Bytes chunk = Compress(data + at, n);
    if (chunk.empty()) InternalCheck("TVFSTree.InternalCompressFile: ACSize = 0");
    if (out.size() + 4 + chunk.size() > size) return std::nullopt;
    PutU32(out, static_cast<std::uint32_t>(chunk.size()));
    out.insert(out.end(), chunk.begin(), chunk.end());
    at += n;
  }
  return out;
}

void TVFSTree::DeleteNode(std::int32_t n) {
  auto& node = nodes_[static_cast<std::size_t>(n)];
  for (std::size_t c = 0; c < node.Children.size(); ++c) {
    const std::int32_t child = nodes_[static_cast<std::size_t>(n)].Children[c];
    if (child != -1) DeleteNode(child);
  }
  auto& self = nodes_[static_cast<std::size_t>(n)];
  file_.FreeChain(*self.Entry);
  if (self.Parent != -1) {
    auto& siblings = nodes_[static_cast<std::size_t>(self.Parent)].Children;
    std::replace(siblings.begin(), siblings.end(), n, -1);
  } else {
    file_.ClearRootSlot(self.RootSlot);
  }
  by_path_.erase(AsciiLowerCase(self.Path));
  self = TTreeFileInfo{};
}

void TVFSTree::DeletePath(const std::string& path) {
  const std::int32_t n = FindPath(path);
  if (n != -1) DeleteNode(n);
}

Bytes TVFSTree::DirectoryContent(std::int32_t node) const {
  Bytes content;
  for (std::int32_t child : nodes_[static_cast<std::size_t>(node)].Children)
    if (child != -1) PutVfsEntry(content, *nodes_[static_cast<std::size_t>(child)].Entry);
  return content;
}

void TVFSTree::UpdateParentDirectory(std::int32_t node) {
  const std::int32_t p = nodes_[static_cast<std::size_t>(node)].Parent;
  if (p == -1) return;
  auto& parent = nodes_[static_cast<std::size_t>(p)];
  const Bytes content = DirectoryContent(p);
  const auto size = static_cast<std::uint32_t>(content.size());
  if (parent.Entry->StoredSize == size) {
    file_.RewriteFile(*parent.Entry, content.data(), size);
    return;
  }
  file_.FreeChain(*parent.Entry);
  file_.WriteFile(*parent.Entry, size == 0 ? nullptr : content.data(), size);
  if (parent.Parent == -1) file_.WriteRootSlot(parent.RootSlot);
  else UpdateParentDirectory(p);
}

std::int32_t TVFSTree::EnsureDirectories(std::int32_t from, const std::string& relative) {
  std::int32_t current = from;
  std::size_t at = 0;
  while (at <= relative.size()) {
    std::size_t sep = relative.find('\\', at);
    if (sep == std::string::npos) sep = relative.size();
    const std::string part = relative.substr(at, sep - at);
    if (!part.empty()) {
      std::int32_t child = FindChild(current, part);
      if (child == -1) child = AddDirectory(current, part);
      current = child;
    }
    at = sep + 1;
  }
  return current;
}

std::int32_t TVFSTree::AddFile(const std::string& path, const std::uint8_t* data, std::uint32_t size) {
  std::string dir;
  if (path.find('.') != std::string::npos && path.find('\\') != std::string::npos)
    dir = path.substr(0, path.rfind('\\'));
  std::int32_t parent = -1;
  if (!dir.empty()) {
    std::string probe = dir;
    while (!probe.empty() && probe.back() == '\\') probe.pop_back();
    std::int32_t found = -1;
    while (!probe.empty()) {
      const std::int32_t n = FindPath(probe);
      if (n != -1 && (nodes_[static_cast<std::size_t>(n)].Entry->Flags & kVfsDirectory) != 0) {
        found = n;
        break;
      }
      auto cut = probe.rfind('\\');
      probe = cut == std::string::npos ? std::string() : probe.substr(0, cut);
    }
    if (found == -1) {
      parent = EnsureDirectories(-1, dir);
    } else {
      const std::string& found_path = nodes_[static_cast<std::size_t>(found)].Path;
      parent = AsciiLowerCase(found_path) == AsciiLowerCase(dir)
                   ? found
                   : EnsureDirectories(found, dir.substr(found_path.size() + 1));
    }
  }
  const auto last = path.rfind('\\');
  const std::string name = last == std::string::npos ? path : path.substr(last + 1);
  DeletePath(parent == -1 ? name : nodes_[static_cast<std::size_t>(parent)].Path + "\\" + name);
  const std::int32_t n = NewEntryNode(parent, name, kVfsFile);
  TVFSEntry& e = *nodes_[static_cast<std::size_t>(n)].Entry;
  e.StoredSize = size;
  e.Date = DosDateToday();
  e.UnpackedSize = size;
  auto packed = size > 0 ? InternalCompressFile(data, size) : std::nullopt;
  if (packed) {
    e.Flags += kVfsCompressed;
    file_.WriteFile(e, packed->data(), static_cast<std::uint32_t>(packed->size()));
  } else {
    e.UnpackedSize = 0;
    file_.WriteFile(e, size == 0 ? nullptr : data, size);
  }
  if (parent == -1) file_.WriteRootSlot(nodes_[static_cast<std::size_t>(n)].RootSlot);
  else UpdateParentDirectory(n);
  return n;
}

Bytes TVFSTree::HashTableBytes() const {
  struct Record {
    std::uint32_t Hash, Flags, Stored, Unpacked, First;
    std::uint8_t Unique;
  };
  std::vector<Record> records;
  for (const auto& node : nodes_) {
    if (node.Index == -1 || (node.Entry->Flags & kVfsFile) == 0) continue;
    Record r{VfsPathHash(node.Path, node.Entry->Name),
             node.Entry->Flags,
             node.Entry->StoredSize,
             node.Entry->UnpackedSize,
             node.Entry->FirstBlock,
             1};
    auto at = std::lower_bound(records.begin(), records.end(), r.Hash,
                               [](const Record& a, std::uint32_t h) { return a.Hash < h; });
    if (at != records.end() && at->Hash == r.Hash) at->Unique = 0;  // the first keeps the slot
    else records.insert(at, r);
  }
  Bytes out;
  if (records.empty()) return out;
  PutU32(out, static_cast<std::uint32_t>(records.size()));
  for (const auto& r : records) {
    PutU32(out, r.Hash);
    PutU32(out, r.Flags);
    PutU32(out, r.Stored);
    PutU32(out, r.Unpacked);
    PutU32(out, r.First);
    PutU8(out, r.Unique);
  }
  return out;
}

}  // namespace zq
