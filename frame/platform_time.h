#pragma once
// The platform's millisecond tick count and sleep. Headless rendering and the
// tests switch to simulated time: the tick count then moves only when the
// caller advances it, and sleeping neither blocks nor moves it, so the
// frame pacing applies to real time only.
#include <cstdint>

namespace starbloom {

// Milliseconds, truncated to 32 bits (wraps like any tick count).
std::uint32_t tickCount();
void sleepMilliseconds(std::uint32_t ms);

// Simulated time: tickCount returns `start` until advanced; sleeping is
// counted and returns at once.
void useSimulatedTime(std::uint32_t start);
void useRealTime();
void advanceSimulatedTime(std::uint32_t ms);
// Total milliseconds slept since the last useSimulatedTime/useRealTime.
std::uint64_t totalSleptMilliseconds();

} // namespace starbloom
