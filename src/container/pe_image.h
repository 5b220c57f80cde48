// The two fields of a PE image's headers that signing touches: the security directory, which
// names the certificate table a signing tool appends at the end of the file, and the checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zq {

// The headers of every real image lie well inside this many leading bytes of the file.
inline constexpr std::size_t kPeHeadBytes = 4096;

struct PeSecurityDirectory {
  std::uint32_t EntryOffset = 0;     // file offset of the 8-byte directory entry
  std::uint32_t ChecksumOffset = 0;  // file offset of the optional header's CheckSum
  std::uint32_t TableOffset = 0;     // a file offset, unlike every other directory's address
  std::uint32_t TableSize = 0;
};

// The processor an image is built for, as the engine's name for it says.
enum class PeMachine : std::uint8_t { X86, X64 };

// x86 for a PE32 image of machine i386, x64 for a PE32+ image of machine AMD64; nothing for
// anything else (another machine, or a header whose kind and machine disagree).
std::optional<PeMachine> ReadPeMachine(const std::uint8_t* head, std::size_t size);
// "x86" or "x64".
const char* PeMachineName(PeMachine machine);

// Reads the directory from the file's leading bytes; nothing when they are not the headers of
// a PE32 or PE32+ image or stop short of the entry.
std::optional<PeSecurityDirectory> ReadPeSecurityDirectory(const std::uint8_t* head, std::size_t size);

// Zeroes the entry and the checksum (which no longer matches), so the image claims no
// signature; false when `head` holds no such headers.
bool ClearPeSecurityDirectory(std::uint8_t* head, std::size_t size);

}  // namespace zq
