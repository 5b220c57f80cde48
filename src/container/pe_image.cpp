#include "container/pe_image.h"

#include "base/byte_io.h"

namespace zq {

namespace {

constexpr std::size_t kNewHeaderPointer = 0x3C;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kChecksumField = 64;
constexpr std::uint32_t kSecurityIndex = 4;
constexpr std::uint32_t kDirectoryEntrySize = 8;

bool Fits(std::size_t size, std::uint64_t offset, std::uint64_t length) {
  return offset <= size && length <= size - offset;
}

// Where "PE\0\0" stands, when the head holds it, the file header and the optional header's kind.
std::optional<std::uint64_t> FileHeaderAt(const std::uint8_t* head, std::size_t size) {
  if (head == nullptr || !Fits(size, 0, kNewHeaderPointer + 4) || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
  const std::uint64_t pe = GetU32(head + kNewHeaderPointer);
  if (!Fits(size, pe, 4 + kFileHeaderSize + 2)) return std::nullopt;
  if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0) return std::nullopt;
  return pe;
}

}  // namespace

std::optional<PeMachine> ReadPeMachine(const std::uint8_t* head, std::size_t size) {
  const auto pe = FileHeaderAt(head, size);
  if (!pe) return std::nullopt;
  const std::uint16_t machine = GetU16(head + *pe + 4);
  const std::uint16_t magic = GetU16(head + *pe + 4 + kFileHeaderSize);
  if (machine == 0x14C && magic == 0x10B) return PeMachine::X86;
  if (machine == 0x8664 && magic == 0x20B) return PeMachine::X64;
  return std::nullopt;
}

const char* PeMachineName(PeMachine machine) { return machine == PeMachine::X64 ? "x64" : "x86"; }

std::optional<PeSecurityDirectory> ReadPeSecurityDirectory(const std::uint8_t* head, std::size_t size) {
  const auto found = FileHeaderAt(head, size);
  if (!found) return std::nullopt;
  const std::uint64_t pe = *found;
  const std::uint16_t optional_size = GetU16(head + pe + 4 + 16);
  const std::uint64_t optional = pe + 4 + kFileHeaderSize;
  std::size_t count_field = 0;
  switch (GetU16(head + optional)) {
    case 0x10B: count_field = 92; break;   // PE32
    case 0x20B: count_field = 108; break;  // PE32+
    default: return std::nullopt;
  }
  const std::uint64_t directories = count_field + 4;
  const std::uint64_t entry = directories + kSecurityIndex * kDirectoryEntrySize;
  if (optional_size < entry + kDirectoryEntrySize || !Fits(size, optional, entry + kDirectoryEntrySize) ||
      GetU32(head + optional + count_field) <= kSecurityIndex) {
    return std::nullopt;
  }
  PeSecurityDirectory d;
  d.EntryOffset = static_cast<std::uint32_t>(optional + entry);
  d.ChecksumOffset = static_cast<std::uint32_t>(optional + kChecksumField);
  d.TableOffset = GetU32(head + d.EntryOffset);
  d.TableSize = GetU32(head + d.EntryOffset + 4);
  return d;
}

bool ClearPeSecurityDirectory(std::uint8_t* head, std::size_t size) {
  const auto d = ReadPeSecurityDirectory(head, size);
  if (!d) return false;
  SetU32(head + d->EntryOffset, 0);
  SetU32(head + d->EntryOffset + 4, 0);
  SetU32(head + d->ChecksumOffset, 0);
  return true;
}

}  // namespace zq
