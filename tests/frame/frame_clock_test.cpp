#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "frame/frame_clock.h"
#include "frame/platform_time.h"

namespace starbloom {
namespace {

class FrameClockTest : public ::testing::Test {
 protected:
  void SetUp() override { useSimulatedTime(5000); }
  void TearDown() override { useRealTime(); }

  // Ticks once after ms milliseconds of simulated time.
  float tickAfter(std::uint32_t ms) {
    advanceSimulatedTime(ms);
    return clock.tick(0);
  }

  FrameClock clock;
};

TEST_F(FrameClockTest, FirstTickAnswersNominalStepAndDrawsNothing) {
  advanceSimulatedTime(250000); // however long the start-up took
  EXPECT_FLOAT_EQ(clock.tick(0), 0.033f);
  EXPECT_TRUE(clock.started);
  EXPECT_EQ(clock.lastTick, 255000u);
  EXPECT_FALSE(clock.overlayDue);
  EXPECT_EQ(clock.frameCount, 0);
  EXPECT_EQ(clock.accumulatedMs, 0);
  EXPECT_STREQ(clock.fpsText, "");
}

TEST_F(FrameClockTest, LaterTicksAnswerElapsedSeconds) {
  clock.tick(0);
  const struct {
    std::uint32_t ms;
    float seconds;
  } steps[] = {{16, 0.016f}, {0, 0.0f}, {250, 0.25f}, {33, 0.033f}, {1, 0.001f}};
  for (const auto& step : steps) {
    EXPECT_FLOAT_EQ(tickAfter(step.ms), step.seconds) << step.ms << " ms";
    EXPECT_TRUE(clock.overlayDue);
  }
  EXPECT_EQ(clock.frameCount, 5);
  EXPECT_EQ(clock.accumulatedMs, 300);
}

TEST_F(FrameClockTest, SixteenMillisecondFramesShowFirstFigureOnSixtyThirdFrame) {
  clock.tick(0);
  for (int frame = 1; frame <= 62; ++frame) {
    tickAfter(16);
    ASSERT_STREQ(clock.fpsText, "") << "figure too early, frame " << frame;
  }
  tickAfter(16); // 63 frames, 1008 ms
  EXPECT_STREQ(clock.fpsText, "62.5");
  EXPECT_EQ(clock.frameCount, 0);
  EXPECT_EQ(clock.accumulatedMs, 0);
  // The next figure needs another full period.
  for (int frame = 1; frame <= 62; ++frame) tickAfter(16);
  EXPECT_EQ(clock.frameCount, 62);
  EXPECT_EQ(clock.accumulatedMs, 992);
}

TEST_F(FrameClockTest, FigureNeedsMoreThanOnePeriod) {
  clock.tick(0);
  for (int frame = 0; frame < 20; ++frame) tickAfter(50); // exactly 1000 ms
  EXPECT_STREQ(clock.fpsText, "");
  tickAfter(50); // 21 frames in 1050 ms
  EXPECT_STREQ(clock.fpsText, "20.");
}

TEST_F(FrameClockTest, WrappedTickCountStillGivesTheTrueDelta) {
  useSimulatedTime(0xFFFFFFF0u);
  clock.tick(0);
  EXPECT_FLOAT_EQ(tickAfter(0x30), 0.048f); // 0xFFFFFFF0 -> 0x20
  EXPECT_EQ(clock.lastTick, 0x20u);
  EXPECT_EQ(clock.accumulatedMs, 0x30);
}

TEST_F(FrameClockTest, HiddenOverlayStillRecomputesTheFigure) {
  clock.tick(0);
  tickAfter(10);
  EXPECT_TRUE(clock.overlayDue);
  EXPECT_TRUE(clock.setOverlay(false, 1000));
  EXPECT_FALSE(clock.showOverlay);
  tickAfter(1000); // 2 frames in 1010 ms
  EXPECT_FALSE(clock.overlayDue);
  EXPECT_STREQ(clock.fpsText, "1.9802");
}

TEST_F(FrameClockTest, ShorterPeriodUpdatesSooner) {
  clock.tick(0);
  clock.setOverlay(true, 100);
  for (int frame = 0; frame < 4; ++frame) tickAfter(25); // 100 ms, not yet
  EXPECT_STREQ(clock.fpsText, "");
  tickAfter(25);
  EXPECT_STREQ(clock.fpsText, "40.");
  EXPECT_TRUE(clock.overlayDue);
}

TEST_F(FrameClockTest, LongestPossibleGapNeitherOverflowsNorDividesByZero) {
  clock.tick(0);
  EXPECT_FLOAT_EQ(tickAfter(0xFFFFFFFFu), 4294967.295f);
  // The sum saturated instead of going negative, so the figure came out.
  EXPECT_STREQ(clock.fpsText, "4.6566e-007");
  EXPECT_EQ(clock.accumulatedMs, 0);

  // A negative period with no time passed must not divide by zero.
  FrameClock odd;
  odd.setOverlay(true, -5);
  odd.tick(0);
  odd.tick(0);
  EXPECT_STREQ(odd.fpsText, "");
}

std::string formatted(double rate) {
  char out[FPS_TEXT_CAPACITY];
  std::memset(out, 'x', sizeof out);
  formatFps(rate, out);
  const void* end = std::memchr(out, '\0', sizeof out);
  EXPECT_NE(end, nullptr) << "not terminated inside the buffer for " << rate;
  return end != nullptr ? std::string(out) : std::string();
}

TEST(FormatFps, FiveSignificantDigitsInFixedOrExponentForm) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double rate;
    const char* text;
  } table[] = {
      // Fixed notation for 0.1 <= rate < 100000: zeros after the point go,
      // the point stays.
      {59.5238, "59.524"},
      {60.0, "60."},
      {62.5, "62.5"},
      {120.0, "120."},
      {1234.5678, "1234.6"},
      {99999.4, "99999."},
      {99999.7, "100000."},
      {9.99996, "10."},
      {0.1, "0.1"},
      {0.123456, "0.12346"},
      {0.5, "0.5"},
      {1.0, "1."},
      // Exponent notation elsewhere: four decimals with zeros dropped, a
      // sign and three exponent digits.
      {123456.0, "1.2346e+005"},
      {100000.0, "1.e+005"},
      {250000.0, "2.5e+005"},
      {0.05, "5.e-002"},
      {0.0999999, "1.e-001"},
      {0.012345, "1.2345e-002"},
      {0.0, "0.e+000"},
      {1e300, "1.e+300"},
      {std::numeric_limits<double>::max(), "1.7977e+308"},
      {std::numeric_limits<double>::denorm_min(), "4.9407e-324"},
      {std::numeric_limits<double>::min(), "2.2251e-308"},
      // Not rates a clock produces, but they must still fit the buffer.
      {-5.0, "-5.e+000"},
      {-1.23456e100, "-1.235e+100"},
      {-std::numeric_limits<double>::max(), "-1.798e+308"},
      {inf, "inf"},
      {-inf, "-inf"},
      {std::nan(""), "nan"},
  };
  for (const auto& row : table) {
    EXPECT_EQ(formatted(row.rate), row.text) << "rate " << row.rate;
  }
}

} // namespace
} // namespace starbloom
