#pragma once
// The platform's millisecond tick count and sleep. Headless rendering and the
// tests switch to simulated time: the tick count then only moves when the
// program sleeps or the caller advances it.
#include <cstdint>

namespace starbloom {

// Milliseconds, truncated to 32 bits (wraps like any tick count).
std::uint32_t tickCount();
void sleepMilliseconds(std::uint32_t ms);

// Simulated time: tickCount returns `start` until advanced; sleeping
// advances it instead of blocking.
void useSimulatedTime(std::uint32_t start);
void useRealTime();
void advanceSimulatedTime(std::uint32_t ms);
// Total milliseconds slept since the last useSimulatedTime/useRealTime.
std::uint64_t totalSleptMilliseconds();

} // namespace starbloom
