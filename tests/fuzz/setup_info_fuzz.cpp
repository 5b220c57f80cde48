// The setup information record ("SetupInfo").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "container/setup_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zq::TSetupInfoFile info;
  std::string problem;
  if (!info.LoadFromBuffer(data, size, &problem)) {
    if (problem.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  // What was read is written back as the prefix it was read from.
  const auto bytes = info.Serialize();
  if (bytes.size() > size || !std::equal(bytes.begin(), bytes.end(), data)) std::abort();
  return 0;
}
