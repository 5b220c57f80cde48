#include "container/package_digest.h"

#include <cstring>

#include "platform/md5.h"

namespace zq {

std::optional<PackageDigestBlock> MakePackageDigest(const std::uint8_t* directory, std::size_t directory_size,
                                                    const std::uint8_t* header) {
  platform::Md5 md5;
  if (!md5.Ok() || !md5.Update(directory, directory_size) || !md5.Update(header, 16)) return std::nullopt;
  const auto sum = md5.Finish();
  if (!sum) return std::nullopt;
  PackageDigestBlock block{};
  std::memcpy(block.data(), kPackageDigestMagic, 4);
  std::memcpy(block.data() + 4, sum->data(), sum->size());
  return block;
}

}  // namespace zq
