#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <GL/gl.h>

#include "frame/platform_time.h"
#include "frame/program_objects.h"

namespace starbloom {
namespace {

constexpr float THREE_HALF_PI = 4.712389f;

// Runs the real start-up off screen on simulated time, and puts the program
// objects back afterwards.
class RunningSaver : public ::testing::Test {
 protected:
  void SetUp() override {
    resetProgramObjects();
    useSimulatedTime(5000);
  }

  void start() {
    renderContext.surface.binding = SurfaceBinding::Offscreen;
    startUp(0, 32, 32, 24);
    ASSERT_TRUE(renderContext.surface.isCurrent());
  }

  void TearDown() override {
    resetProgramObjects();
    useRealTime();
  }

  // One frame, then ms of simulated time before the next (neither the frame
  // nor its pacing sleep takes simulated time).
  void frameOf(std::uint32_t ms) {
    const std::uint32_t begin = tickCount();
    runFrame();
    ASSERT_EQ(tickCount(), begin);
    advanceSimulatedTime(ms);
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
  }
}

// From the start values, one step of t seconds: one turn of the orbit in
// 128 s, the distance 25 +- 15 with a period of 120 s, the height between the
// horizon and 30 degrees above it once in 250 s; still with move off.
TEST(FrameDriver, CameraPathFollowsItsThreeClocks) {
  const double pi = 3.14159265358979;
  for (const float t : {1.0f, 10.0f, 30.0f, 62.5f, 90.0f, 119.0f, 150.0f}) {
    for (const bool move : {true, false}) {
      FrameDriverState s;
      s.cameraOrbit.polar = 1.5707963f;
      moveCamera(s, t, move);
      const double azimuth = move ? std::fmod(2 * pi * t / 128, 2 * pi) : 0.0;
      const double radius = move ? 25 + 15 * std::sin(2 * pi * t / 120) : 30.0;
      const double polar = move ? pi / 2 - (std::sin(2 * pi * t / 250) + 1) * 0.5 * pi / 6 : pi / 2;
      EXPECT_NEAR(s.cameraOrbit.azimuth, azimuth, 1e-4) << t << move;
      EXPECT_NEAR(s.cameraOrbit.radius, radius, 1e-3) << t << move;
      EXPECT_NEAR(s.cameraOrbit.polar, polar, 1e-4) << t << move;
      const Vec3 eye = s.camera.origin - Vec3{0.0f, 12.0f, 0.0f};
      EXPECT_NEAR(length(eye), radius, 1e-3) << t << move;
      EXPECT_NEAR(eye.y, radius * std::cos(polar), 1e-3) << t << move;
    }
  }
}

// Start-up leaves fog, depth test and lighting off and clears to opaque black
// until the first frame sets its own colour.
TEST_F(RunningSaver, StartUpSwitchesOffFogDepthTestAndLighting) {
  start();
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(std::vector<float>(clear, clear + 4), std::vector<float>({0, 0, 0, 1}));
}

// The frame's update and draw step moves and removes particles before it
// draws, and switches off the OpenGL light of a slot freed by the update
// while one taken again stays on.
TEST_F(RunningSaver, UpdateAndDrawSwitchesOffTheLightsOfRemovedParticles) {
  start();
  ShellDesign star;
  star.lifetimeMin = star.lifetimeMax = star.burstAgeMin = star.burstAgeMax = 1.0f;
  star.startColor = star.endColor = Color4{1.0f, 1.0f, 1.0f, 1.0f};
  for (int i = 0; i < 3; ++i) {
    Particle& p = particleStore.particles[particleStore.count++];
    p.active = true;
    p.design = &star;
    p.lifetime = 1.0f;
    p.age = i == 2 ? 0.0f : 0.95f; // 0 and 1 end in this step
  }
  for (int i = 0; i < 3; ++i) {
    LightSource light;
    light.resetLight(true);
    particleStore.lightSlots[i] = LightSlot{true, renderContext.lights.addLight(light), i};
    particleStore.particles[i].hasLight = true;
    glEnable(static_cast<GLenum>(GL_LIGHT0 + i));
  }
  particleStore.update(0.1f); // frees slots 0 and 1 ...
  LightSource again;
  EXPECT_EQ(renderContext.lights.addLight(again), 0); // ... and slot 0 is taken again
  updateAndDraw(0.0f);
  EXPECT_EQ(particleStore.count, 1);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
  // The light still bound follows its particle, now in slot 0.
  LightSource followed;
  ASSERT_TRUE(renderContext.lights.getLight(2, followed));
  EXPECT_FLOAT_EQ(followed.colour.r, 1.5f * particleStore.particles[0].color.r);
  EXPECT_GT(followed.colour.r, 0.0f);
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
