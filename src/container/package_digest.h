// The package digest: a group-0 entry, last in the directory, whose raw block (stored just
// before the directory) is "ZQPD" and the MD5 of the directory and the header. The digest
// cannot cover the CRC of its own record, which is taken as 0; that CRC is the block's, checked
// with the block. A package without it reads and verifies as before; docs/container.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zq {

inline constexpr char kPackageDigestEntry[] = "PackageDigest";
inline constexpr char kPackageDigestMagic[4] = {'Z', 'Q', 'P', 'D'};
inline constexpr std::uint32_t kPackageDigestBlockSize = 20;

using PackageDigestBlock = std::array<std::uint8_t, kPackageDigestBlockSize>;

// The block for `directory` (every record, the digest's own last with its CRC field as it is;
// the caller zeroes it) followed by the 16-byte header. Nothing when MD5 cannot be had.
std::optional<PackageDigestBlock> MakePackageDigest(const std::uint8_t* directory, std::size_t directory_size,
                                                    const std::uint8_t* header);

}  // namespace zq
