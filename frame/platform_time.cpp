// Time services of Linux: CLOCK_MONOTONIC in milliseconds truncated to
// 32 bits, and nanosleep. A simulated clock stands in for both in headless
// rendering (each frame lasts exactly the step its caller advances, run as
// fast as the machine allows) and in the tests; under it a sleep is counted
// but takes no time, simulated or real.
#include "frame/platform_time.h"

#include <cerrno>
#include <ctime>

namespace starbloom {

namespace {
bool simulated = false;          // written by useSimulatedTime and useRealTime
std::uint32_t simulatedNow = 0;  // ms; written by useSimulatedTime and advanceSimulatedTime
std::uint64_t sleptTotal = 0;    // ms asked of sleepMilliseconds; reset by the two above
} // namespace

std::uint32_t tickCount() {
  if (simulated) return simulatedNow;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

void sleepMilliseconds(std::uint32_t ms) {
  sleptTotal += ms;
  if (simulated) return; // simulated frames last what their owner says
  timespec wait{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void useSimulatedTime(std::uint32_t start) {
  simulated = true;
  simulatedNow = start;
  sleptTotal = 0;
}

void useRealTime() {
  simulated = false;
  sleptTotal = 0;
}

void advanceSimulatedTime(std::uint32_t ms) { simulatedNow += ms; }

std::uint64_t totalSleptMilliseconds() { return sleptTotal; }

} // namespace starbloom
