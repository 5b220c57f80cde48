#include "container/entry_name.h"

namespace zq {

bool IsSafeEntryName(const std::string& name) {
  if (name.empty()) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::string part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (part.find(':') != std::string::npos) return false;
    // Windows drops trailing dots and spaces, so "..." or ".. " would climb like "..".
    if (part.find_first_not_of(". ") == std::string::npos) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace zq
