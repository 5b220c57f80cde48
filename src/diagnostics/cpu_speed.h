// The processor's speed, from its time-stamp counter over a measured half second.
#pragma once

#include <cstdint>

namespace zq {

// MHz from the counter's advance over 500 ms: only the low 32 bits count, as the
// measurement has always been made, divided by 500,000 and rounded.
std::uint32_t CpuMhzFromTicks(std::uint64_t ticks);

// One run at real-time priority; about half a second.
std::uint32_t MeasureCpuSpeedOnce();
// Two runs, the larger; a run preempted despite the priority only reads low.
std::uint32_t MeasureCpuSpeedMhz();

}  // namespace zq
