#pragma once
// Frame durations for the headless figures, in memory that does not grow
// with the length of the run: a histogram of logarithmic bins.
#include <cstdint>

namespace starbloom {

constexpr double HISTOGRAM_MIN_MS = 0.001;   // 1 microsecond: the first bin's upper edge
constexpr double HISTOGRAM_MAX_MS = 1.0e5;   // 100 s: everything longer shares the last bin
constexpr double HISTOGRAM_RATIO = 1.01;     // upper edge / lower edge of every bin
constexpr int HISTOGRAM_BINS = 1854;         // 1 + ceil(log(MAX / MIN) / log(RATIO)) + 1

struct TimeHistogram {
  std::uint64_t bins[HISTOGRAM_BINS] = {}; // 0: under 1 us; last: 100 s and more
  std::uint64_t count = 0;
  double sumMs = 0.0;

  void add(double ms);
  // Exact mean of everything added (0 when empty).
  double mean() const;
  // The q-quantile (0 < q <= 1) as the nearest-rank value of the added
  // durations, known to within half a bin: 0.5 % of its value, or 1 us.
  double percentile(double q) const;
};

} // namespace starbloom
