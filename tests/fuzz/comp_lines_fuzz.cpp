// The compiled script ("CompiledLines").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "script/comp_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zq::TCompLines lines;
  std::string problem;
  if (!lines.LoadFromBuffer(data, size, &problem)) {
    if (problem.empty() || !lines.Lines.empty()) std::abort();  // refused whole, and said why
    return 0;
  }
  // A table that loads is written back byte for byte.
  const auto bytes = lines.Serialize();
  if (bytes.size() != size || !std::equal(bytes.begin(), bytes.end(), data)) std::abort();
  for (std::size_t i = 0; i <= lines.Lines.size(); ++i) lines.HasParamCount(i, 1);
  return 0;
}
