#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "frame/frame_clock.h"
#include "frame/platform_time.h"

namespace starbloom {
namespace {

float tickAfter(FrameClock& clock, std::uint32_t ms) {
  advanceSimulatedTime(ms);
  return clock.tick();
}

TEST(FrameClock, TicksAnswerTheUnsignedGapAndTheFigureNeedsMoreThanOnePeriod) {
  // Tick count at the first frame, frame length and period in ms, timed
  // frames until the first figure.
  const struct { std::uint32_t start, ms; int period, frames; bool show; const char* text; }
      cases[] = {
          {0, 16, 1000, 63, true, "62.5"},                // 1008 ms
          {0, 50, 1000, 21, true, "20."},                 // 1000 ms is not enough
          {0, 25, 100, 5, true, "40."},                   // a shorter period
          {0, 400, 1000, 3, false, "2.5"},                // a hidden overlay still counts
          {0, 0, -5, 3, true, ""},                        // no time, no division by zero
          {0xFFFFFFF0u, 48, 1000, 21, true, "20.833"},    // the tick count wraps
          {0, 0xFFFFFFFFu, 1000, 1, true, "4.6566e-007"}, // the sum saturates at 2^31 - 1
      };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    useSimulatedTime(c.start - 250000);
    FrameClock clock;
    clock.setOverlay(c.show, c.period);
    // However long the start-up took, the first step is nominal and draws nothing.
    EXPECT_FLOAT_EQ(tickAfter(clock, 250000), 0.033f);
    EXPECT_FALSE(clock.overlayDue);
    for (int frame = 0; frame < c.frames; ++frame) {
      ASSERT_STREQ(clock.fpsText, "") << "figure too early, frame " << frame;
      ASSERT_FLOAT_EQ(tickAfter(clock, c.ms), c.ms * 0.001f) << "frame " << frame;
    }
    EXPECT_STREQ(clock.fpsText, c.text);
    EXPECT_EQ(clock.overlayDue, c.show);
    EXPECT_TRUE(*c.text == '\0' || clock.frameCount + clock.accumulatedMs == 0) << "not reset";
    // After a pause the step is nominal again and the paused time no frame.
    const int accumulated = clock.accumulatedMs;
    clock.restart();
    EXPECT_FLOAT_EQ(tickAfter(clock, 60000), 0.033f);
    EXPECT_EQ(clock.accumulatedMs, accumulated);
    EXPECT_FLOAT_EQ(tickAfter(clock, c.ms), c.ms * 0.001f);
  }
  useRealTime();
}

TEST(FormatFps, FiveSignificantDigitsInFixedOrExponentFormWithinTheBuffer) {
  using limits = std::numeric_limits<double>;
  const struct { double rate; const char* text; } table[] = {
      // Fixed for 0.1 <= rate < 100000: zeros after the point go, the point stays.
      {59.5238, "59.524"}, {60.0, "60."}, {62.5, "62.5"}, {1234.5678, "1234.6"},
      {99999.7, "100000."}, {9.99996, "10."}, {0.1, "0.1"}, {0.123456, "0.12346"},
      // Exponent elsewhere: four decimals at most, a sign and three digits.
      {123456.0, "1.2346e+005"}, {100000.0, "1.e+005"}, {0.0999999, "1.e-001"},
      {0.012345, "1.2345e-002"}, {0.0, "0.e+000"}, {limits::max(), "1.7977e+308"},
      {limits::denorm_min(), "4.9407e-324"}, {-1.23456e100, "-1.235e+100"},
      {-limits::max(), "-1.798e+308"}, {limits::infinity(), "inf"},
      {-limits::infinity(), "-inf"}, {std::nan(""), "nan"},
  };
  for (const auto& row : table) {
    char out[FPS_TEXT_CAPACITY];
    std::memset(out, 'x', sizeof out);
    formatFps(row.rate, out);
    ASSERT_NE(std::memchr(out, '\0', sizeof out), nullptr) << "unterminated for " << row.rate;
    EXPECT_STREQ(out, row.text) << "rate " << row.rate;
  }
}

} // namespace
} // namespace starbloom
