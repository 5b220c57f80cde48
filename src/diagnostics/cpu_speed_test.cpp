#include "diagnostics/cpu_speed.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(CpuSpeed, TicksOverHalfASecondRoundToMhz) {
  EXPECT_EQ(CpuMhzFromTicks(0), 0u);
  EXPECT_EQ(CpuMhzFromTicks(1'000'000'000), 2000u);
  EXPECT_EQ(CpuMhzFromTicks(1'000'249'999), 2000u);
  EXPECT_EQ(CpuMhzFromTicks(1'000'250'000), 2001u);
  EXPECT_EQ(CpuMhzFromTicks(0xFFFFFFFFu), 8590u);
  // Only the low 32 bits of the advance count.
  EXPECT_EQ(CpuMhzFromTicks(0x1'0000'0000ull + 500'000'000), 1000u);
}

TEST(CpuSpeed, MeasuresAPlausibleSpeed) {
  const std::uint32_t mhz = MeasureCpuSpeedMhz();
  EXPECT_GT(mhz, 50u);
  EXPECT_LT(mhz, 8590u);
}

}  // namespace
}  // namespace zq
