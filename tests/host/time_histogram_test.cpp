#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "host/time_histogram.h"
#include "math/random.h"

namespace starbloom {
namespace {

double exactPercentile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double rank = std::max(1.0, std::ceil(q * static_cast<double>(values.size())));
  return values[static_cast<std::size_t>(rank) - 1];
}

// Against the exact nearest-rank quantile of the same durations: within half
// a bin (0.5 %), or 1 us for the shortest; the mean exact.
TEST(TimeHistogram, QuantilesWithinHalfABinAndAnExactMean) {
  struct Case {
    const char* name;
    double lo, hi; // durations drawn log-uniformly in [lo, hi] ms
    int count;
  };
  const Case cases[] = {
      {"frames", 0.5, 40.0, 20000}, {"updates", 0.0005, 0.05, 5000}, {"one", 3.0, 3.0, 1},
      {"stalls", 10.0, 5.0e5, 300},
  };
  seedRandom(7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto h = std::make_unique<TimeHistogram>();
    std::vector<double> values;
    double sum = 0.0;
    for (int i = 0; i < c.count; ++i) {
      const double v = c.lo * std::pow(c.hi / c.lo, unitDraw());
      values.push_back(v);
      sum += v;
      h->add(v);
    }
    EXPECT_NEAR(h->mean(), sum / c.count, 1e-9 * sum / c.count);
    for (const double q : {0.5, 0.95, 0.99, 1.0}) {
      const double exact = exactPercentile(values, q);
      if (exact >= HISTOGRAM_MAX_MS) {
        EXPECT_GE(h->percentile(q), HISTOGRAM_MAX_MS) << q; // past the last edge: a floor
      } else {
        EXPECT_NEAR(h->percentile(q), exact, std::max(0.005 * exact, 0.001)) << q;
      }
    }
  }
}

TEST(TimeHistogram, EmptyZeroAndNonsenseDurationsGoToTheFirstBin) {
  auto h = std::make_unique<TimeHistogram>();
  EXPECT_EQ(h->mean(), 0.0);
  EXPECT_EQ(h->percentile(0.95), 0.0);
  for (const double v : {0.0, -5.0, std::nan(""), 0.0004}) h->add(v);
  EXPECT_EQ(h->bins[0], 4u);
  EXPECT_EQ(h->percentile(1.0), 0.0);
  EXPECT_NEAR(h->mean(), 0.0001, 1e-12);
}

} // namespace
} // namespace starbloom
