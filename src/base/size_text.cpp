#include "base/size_text.h"

#include <cmath>
#include <cstdio>

namespace zq {

std::string SizeToText(std::int64_t bytes) {
  static const char* const kUnits[] = {"Bytes", "KB", "MB", "GB"};
  double v = static_cast<double>(bytes);
  int unit = 0;
  for (int i = 0; i < 3; ++i) {
    v /= 1024;
    if (std::trunc(v) == 0) {
      v *= 1024;
      break;
    }
    ++unit;
  }
  // Fixed two decimals by integer arithmetic, so no locale can put in a comma.
  double scaled = std::round(std::fabs(v) * 100);
  long long hundredths = static_cast<long long>(scaled);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%lld.%02lld %s", v < 0 && hundredths != 0 ? "-" : "", hundredths / 100,
                hundredths % 100, kUnits[unit]);
  return buf;
}

std::string CountText(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace zq
