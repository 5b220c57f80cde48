#include "diagnostics/cpu_speed.h"

#include <algorithm>
#include <cmath>

#include "platform/system.h"
#include "platform/system_info.h"

namespace zq {

std::uint32_t CpuMhzFromTicks(std::uint64_t ticks) {
  const auto low = static_cast<std::uint32_t>(ticks);
  return static_cast<std::uint32_t>(std::lround(static_cast<double>(low) / 500000.0));
}

std::uint32_t MeasureCpuSpeedOnce() {
  const platform::SavedPriority saved = platform::RaiseToRealTimePriority();
  // Lets the scheduler act on the new priority before the counting starts.
  platform::SleepMs(10);
  const std::uint64_t start = platform::ReadCycleCounter();
  platform::SleepMs(500);
  const std::uint64_t stop = platform::ReadCycleCounter();
  platform::RestorePriority(saved);
  return CpuMhzFromTicks(stop - start);
}

std::uint32_t MeasureCpuSpeedMhz() {
  const std::uint32_t first = MeasureCpuSpeedOnce();
  return std::max(first, MeasureCpuSpeedOnce());
}

}  // namespace zq
