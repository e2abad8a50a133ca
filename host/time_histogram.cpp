// Frame durations in a fixed histogram, so that a run of any length keeps
// its per-frame figures in the same 15 KB. Bin 0 holds durations under 1 us
// (and anything that is not a positive number); bin k >= 1 holds
// [MIN * RATIO^(k-1), MIN * RATIO^k); the last bin also takes everything past
// 100 s. A quantile is looked up by the nearest-rank rule (the value with
// rank ceil(q * count) in sorted order) and answered with the geometric
// middle of its bin, which lies within a factor sqrt(1.01) of every value
// in the bin: the answer is off by at most 0.5 %, or by 1 us in bin 0,
// where 0 is answered. The mean is a plain sum and exact. Adding costs one
// logarithm.
#include "host/time_histogram.h"

#include <cmath>

namespace starbloom {

namespace {

int binOf(double ms) {
  if (!(ms >= HISTOGRAM_MIN_MS)) return 0;
  const double k = std::floor(std::log(ms / HISTOGRAM_MIN_MS) / std::log(HISTOGRAM_RATIO)) + 1.0;
  if (!(k < HISTOGRAM_BINS - 1)) return HISTOGRAM_BINS - 1;
  return static_cast<int>(k);
}

double middleOf(int bin) {
  if (bin == 0) return 0.0;
  return HISTOGRAM_MIN_MS * std::pow(HISTOGRAM_RATIO, static_cast<double>(bin) - 0.5);
}

} // namespace

void TimeHistogram::add(double ms) {
  bins[binOf(ms)] += 1;
  count += 1;
  if (ms > 0.0) sumMs += ms;
}

double TimeHistogram::mean() const {
  return count == 0 ? 0.0 : sumMs / static_cast<double>(count);
}

double TimeHistogram::percentile(double q) const {
  if (count == 0) return 0.0;
  double rank = std::ceil(q * static_cast<double>(count));
  if (rank < 1.0) rank = 1.0;
  std::uint64_t seen = 0;
  for (int bin = 0; bin < HISTOGRAM_BINS; ++bin) {
    seen += bins[bin];
    if (static_cast<double>(seen) >= rank) return middleOf(bin);
  }
  return middleOf(HISTOGRAM_BINS - 1);
}

} // namespace starbloom
