// Size texts ("2.00 KB").
#pragma once

#include <cstdint>
#include <string>

namespace zq {

// Two decimals with "." whatever the locale, then "Bytes", "KB", "MB" or "GB".
std::string SizeToText(std::int64_t bytes);

}  // namespace zq
