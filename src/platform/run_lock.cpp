#include "platform/run_lock.h"

#include <cstdint>
#include <cstdio>

#include "platform/text.h"

namespace zq::platform {

std::string RunLockName(const std::string& product) {
  const std::string folded = UpperCase(product);
  std::string name;
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : folded) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (name.size() < 48) name += plain ? c : '_';
  }
  char tail[10];
  std::snprintf(tail, sizeof tail, "-%08x", static_cast<unsigned>(hash));
  return name + tail;
}

}  // namespace zq::platform
