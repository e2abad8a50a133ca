#include <gtest/gtest.h>

#include <array>

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

// Where the running saver's eye is t s after its first frame (the clock's
// nominal 0.033 s), in frames of 1 s: circling (0, 12, 0) once in 128 s from
// +z towards +x, 25 +- 15 units out once in 120 s, 0 to 30 degrees up once
// in 250 s; 30 units out along +z with move off. It looks at (0, 10, 0).
TEST_F(RunningSaver, CameraIsWhereItsPathPutsItAtKnownTimes) {
  const struct { int t; bool move; Vec3 eye; } cases[] = {
      {0, true, {0.04f, 18.48f, 24.17f}},     // 15 degrees up, 25 units out
      {32, true, {35.93f, 29.38f, -0.06f}},   // a quarter turn: over +x
      {64, true, {-0.03f, 22.92f, -18.93f}},  // half a turn, near its highest: over -z
      {90, true, {-8.56f, 16.47f, -2.58f}},   // at its nearest
      {128, true, {0.05f, 19.45f, 30.22f}},   // one turn: over +z again
      {187, true, {4.73f, 12.0f, -19.02f}},   // on the horizon
      {300, true, {18.09f, 24.21f, -12.13f}}, // after each of the three clocks wrapped
      {300, false, {0.0f, 12.0f, 30.0f}},
  };
  for (const auto& c : cases) {
    SetUp();
    settings.move = c.move;
    start();
    for (int second = 0; second <= c.t; ++second) frameOf(1000);
    const Vec3 eye = frameDriver.camera.origin;
    const Vec3 aim = frameDriver.camera.toLocal(Vec3{0.0f, 10.0f, 0.0f});
    EXPECT_NEAR(length(eye - c.eye), 0.0f, 0.02f) << c.t << " s: " << eye.x << " " << eye.y << " " << eye.z;
    EXPECT_TRUE(aim.z < 0.0f && length(Vec3{aim.x, aim.y, 0.0f}) < 1e-4f) << c.t << " s, move " << c.move;
  }
}

// What drawing shows after start-up, before the first frame sets its own
// state: black, and a red square far off drawn after a white one in front
// of it covers it, neither lit nor fogged.
TEST_F(RunningSaver, StartUpLeavesPlainDrawingOnBlack) {
  start();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (const float z : {-100.0f, -300.0f}) { // white, then red behind it
    glColor3f(1.0f, z > -200.0f ? 1.0f : 0.0f, z > -200.0f ? 1.0f : 0.0f);
    glBegin(GL_QUADS); // the lower half of the view
      glVertex3f(0.4f * z, 0.3f * z, z);
      glVertex3f(-0.4f * z, 0.3f * z, z);
      glVertex3f(-0.4f * z, 0.0f, z);
      glVertex3f(0.4f * z, 0.0f, z);
    glEnd();
  }
  std::array<GLubyte, 3> lower{}, upper{};
  glReadPixels(16, 8, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, lower.data());
  glReadPixels(16, 24, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, upper.data());
  EXPECT_EQ(lower, (std::array<GLubyte, 3>{255, 0, 0}));
  EXPECT_EQ(upper, (std::array<GLubyte, 3>{0, 0, 0}));
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
