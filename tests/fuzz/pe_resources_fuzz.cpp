// The resource tree of a PE image (what the builder and the engine read from a program file).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "container/pe_resources.h"
#include "container/program_resources.h"

namespace {

bool SameKey(const zq::PeResource& a, const zq::PeResource& b) {
  return a.type == b.type && a.name == b.name && a.language == b.language;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string problem;
  auto read = zq::ReadPeResources(data, size, &problem);
  if (!read) {
    if (problem.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  zq::DescribeProgram(*read);
  // A tree that reads is written back (when the image takes it) and reads the same, in the
  // tree's own order; of one resource given twice the last is kept.
  std::vector<std::uint8_t> image(data, data + size);
  if (!zq::WritePeResources(image, *read, &problem)) {
    if (problem.empty()) std::abort();
    return 0;
  }
  auto again = zq::ReadPeResources(image.data(), image.size(), &problem);
  if (!again) std::abort();
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < read->size(); ++i) {
    bool later = false;
    for (std::size_t j = i + 1; j < read->size(); ++j) later |= SameKey((*read)[i], (*read)[j]);
    if (later) continue;
    ++distinct;
    bool found = false;
    for (const auto& r : *again) found |= SameKey(r, (*read)[i]) && r.data == (*read)[i].data;
    if (!found) std::abort();
  }
  if (again->size() != distinct) std::abort();
  return 0;
}
