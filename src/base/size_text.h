// Size texts ("2.00 KB").
#pragma once

#include <cstdint>
#include <string>

namespace zq {

// Two decimals with "." whatever the locale, then "Bytes", "KB", "MB" or "GB".
std::string SizeToText(std::int64_t bytes);
// A count with its noun in the number it needs: "1 file", "0 files", "2 files".
std::string CountText(std::int64_t count, const char* one, const char* many);

}  // namespace zq
