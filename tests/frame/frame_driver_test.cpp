#include <gtest/gtest.h>

#include <cmath>

#include "fireworks/shell_design.h"
#include "frame/frame_clock.h"
#include "frame/frame_driver.h"
#include "frame/platform_time.h"
#include "frame/render_context.h"
#include "particles/particle_store.h"
#include "scene/texture.h"
#include "settings/settings.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

constexpr float THREE_HALF_PI = 4.712389f;

// Runs the real start-up off screen on simulated time, and puts the program
// objects back afterwards.
class RunningSaver : public ::testing::Test {
 protected:
  void SetUp() override {
    settings = Settings{};
    frameDriver = FrameDriverState{};
    frameClock = FrameClock{};
    particleStore.count = 0;
    for (LightSlot& slot : particleStore.lightSlots) slot = LightSlot{};
    designCursor = 0;
    useSimulatedTime(5000);
  }

  void start() {
    renderContext.surface = GlSurface{};
    renderContext.surface.binding = SurfaceBinding::Offscreen;
    renderContext.lights = LightTable{};
    startUp(0, 32, 32, 24);
    ASSERT_TRUE(renderContext.surface.isCurrent());
    keepGlDriverLoaded();
  }

  void TearDown() override {
    for (Texture* t : {&spriteTexture, &glowTexture, &ringTexture, &groundTexture}) {
      t->uploaded = false;
      t->glName = 0;
    }
    renderContext.surface.release();
    renderContext.surface = GlSurface{};
    particleStore.count = 0;
    for (LightSlot& slot : particleStore.lightSlots) slot = LightSlot{};
    useRealTime();
  }

  // One frame lasting exactly ms of simulated time (the frame itself takes
  // no simulated time, the driver sleeps 12 ms, the rest is advanced here).
  void frameOf(std::uint32_t ms) {
    const std::uint32_t begin = tickCount();
    runFrame();
    const std::uint32_t spent = tickCount() - begin;
    if (ms > spent) advanceSimulatedTime(ms - spent);
  }
};

TEST_F(RunningSaver, StillCameraLooksFromTheOrbitAtTheAimPoint) {
  settings.move = false;
  start();
  for (int i = 0; i < 30; ++i) {
    frameOf(i % 2 ? 16 : 100);
    const Vec3 eye = frameDriver.camera.origin;
    ASSERT_NEAR(eye.x, 0.0f, 1e-4f);
    ASSERT_NEAR(eye.y, 12.0f, 1e-4f);
    ASSERT_NEAR(eye.z, 30.0f, 1e-4f);
    const Vec3 aim = frameDriver.camera.toLocal(Vec3{0.0f, 10.0f, 0.0f});
    ASSERT_NEAR(aim.x, 0.0f, 1e-4f);
    ASSERT_NEAR(aim.y, 0.0f, 1e-4f);
    ASSERT_LT(aim.z, 0.0f);
    // The sprite axes are this frame's camera axes.
    ASSERT_EQ(frameDriver.cameraBack.z, frameDriver.camera.zAxis.z);
  }
}

TEST_F(RunningSaver, MovingCameraStaysOnItsOrbitBand) {
  settings.move = true;
  start();
  float lastAzimuth = frameDriver.cameraOrbit.azimuth;
  for (int i = 0; i < 400; ++i) {
    frameOf(500);
    const SphericalCoord& orbit = frameDriver.cameraOrbit;
    ASSERT_GE(orbit.radius, 10.0f - 1e-3f);
    ASSERT_LE(orbit.radius, 40.0f + 1e-3f);
    ASSERT_GE(orbit.polar, 1.0471975f - 1e-4f);
    ASSERT_LE(orbit.polar, 1.5707964f + 1e-4f);
    ASSERT_GE(frameDriver.radiusClock, 0.0f);
    ASSERT_LE(frameDriver.radiusClock, 120.0f);
    ASSERT_NE(orbit.azimuth, lastAzimuth);
    lastAzimuth = orbit.azimuth;
  }
}

TEST_F(RunningSaver, LaunchTimerRestartsFromZeroNotFromTheExcess) {
  settings.ttime = 10;
  start();
  frameOf(300); // first frame: the clock's fixed 0.033 s
  frameDriver.launchPhase = THREE_HALF_PI; // sin = -1: interval about 1 s
  frameDriver.launchTimer = 0.0f;
  int launchFrames[3] = {0, 0, 0};
  int found = 0;
  for (int frame = 1; frame <= 12 && found < 3; ++frame) {
    const int before = frameDriver.launchCount;
    frameOf(300);
    ASSERT_LE(frameDriver.launchCount - before, 1);
    if (frameDriver.launchCount > before) launchFrames[found++] = frame;
  }
  ASSERT_EQ(found, 3);
  // 0.3 s frames: the timer passes 1 s on the 4th frame; restarting from 0
  // (not from the 0.2 s excess) the next launches follow 4 frames apart.
  EXPECT_EQ(launchFrames[0], 4);
  EXPECT_EQ(launchFrames[1], 8);
  EXPECT_EQ(launchFrames[2], 12);
  EXPECT_GT(particleStore.count, 0);
}

TEST_F(RunningSaver, AtMostOneLaunchPerFrameAndTheOverlayGoesAfterFourTimesTtime) {
  settings.ttime = 5;
  start();
  frameOf(16);
  // A 20 s gap between frames still gives only one launch.
  const int before = frameDriver.launchCount;
  frameOf(20000);
  frameOf(16);
  EXPECT_EQ(frameDriver.launchCount, before + 1);
  while (frameDriver.launchCount < 4 * settings.ttime - 1) {
    frameOf(700);
    ASSERT_TRUE(frameClock.showOverlay) << "after " << frameDriver.launchCount << " launches";
  }
  while (frameDriver.launchCount < 4 * settings.ttime) frameOf(700);
  EXPECT_FALSE(frameClock.showOverlay);
  EXPECT_EQ(frameClock.fpsPeriod, 1000);
}

TEST(FrameDriver, LaunchIntervalFollowsTheRhythm) {
  struct Case {
    float phase;
    int ttime;
    float interval;
  };
  const Case cases[] = {
      {THREE_HALF_PI, 10, 1.0f}, {1.5707963f, 10, 3.0f}, {0.0f, 10, 2.0f},
      {THREE_HALF_PI, 5, 2.0f},  {1.5707963f, 5, 6.0f},  {THREE_HALF_PI, 20, 0.5f},
      {1.5707963f, 20, 1.5f},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(launchInterval(c.phase, c.ttime), c.interval, 1e-5f) << c.phase << " " << c.ttime;
  }
}

TEST(FrameDriver, PacingSleepsOutTheTwelveMillisecondBudget) {
  struct Case {
    std::uint32_t start, now, sleep;
  };
  const Case cases[] = {
      {1000, 1020, 0}, {1000, 1005, 7}, {1000, 1012, 0}, {1000, 1011, 1},
      {1000, 1000, 12}, {0xFFFFFFFEu, 3, 7}, // the tick count wrapped during the frame
  };
  for (const Case& c : cases) EXPECT_EQ(pacingSleep(c.start, c.now), c.sleep) << c.now - c.start;
}

TEST_F(RunningSaver, AFrameThatTakesNoTimeSleepsTwelveMilliseconds) {
  start();
  const std::uint64_t before = totalSleptMilliseconds();
  runFrame();
  EXPECT_EQ(totalSleptMilliseconds() - before, 12u);
}

} // namespace
} // namespace starbloom
