// Shared pieces of the fuzz targets: inputs split into parts, and a private scratch folder for
// the parsers that read files rather than buffers.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace zq::fuzz {

// The input cut at every `separator` byte; `limit` parts at most (the last keeps the rest).
inline std::vector<std::string> Split(const std::uint8_t* data, std::size_t size, char separator,
                                      std::size_t limit = 64) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == separator && parts.size() < limit) parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

// A folder of this process under $TMPDIR (the fuzz script points it into the build tree),
// removed when the process ends normally. Nothing in it is ever a link.
inline const std::string& ScratchFolder() {
  // Never destroyed: the removal at exit runs after the destructors of statics made later.
  static const std::string& folder = *new std::string([] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zq-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return pattern;
  }());
  return folder;
}

// Writes the bytes to a file of the scratch folder and answers its path.
inline std::string ScratchFile(const std::string& name, const void* data, std::size_t size) {
  const std::string path = ScratchFolder() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

}  // namespace zq::fuzz
