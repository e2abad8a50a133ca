#include <gtest/gtest.h>

#include <algorithm>

#include "frame/frame_driver.h"
#include "frame/platform_time.h"
#include "frame/scene_setup.h"
#include "math/random.h"
#include "scene/texture.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace starbloom {
namespace {

TEST(SceneSetup, AdjustsSizeAndDetailOnceAndStartsTheCamera) {
  struct Case {
    bool big, blur;
    int detail;
    float sizeBase;
    int detailAfter;
  };
  const Case cases[] = {
      {true, true, 2, 0.10714286f, 2}, {false, true, 3, 0.15f, 3},
      {false, false, 4, 0.21f, 6},     {true, false, 1, 0.15f, 1},
  };
  for (const Case& c : cases) {
    settings = Settings{};
    settings.big = c.big;
    settings.blur = c.blur;
    settings.detail = c.detail;
    settings.sizeBase = sizeBaseFor(c.blur);
    frameDriver = FrameDriverState{};
    useSimulatedTime(777);
    setUpScene();
    EXPECT_NEAR(settings.sizeBase, c.sizeBase, 1e-6f) << c.big << c.blur;
    EXPECT_EQ(settings.detail, c.detailAfter);
    // Camera 10 units out along +z from (0, 25, 0), looking back at it.
    EXPECT_NEAR(frameDriver.camera.origin.z, 10.0f, 1e-5f);
    EXPECT_NEAR(frameDriver.camera.origin.y, 25.0f, 1e-5f);
    EXPECT_NEAR(frameDriver.camera.zAxis.z, 1.0f, 1e-5f);
    EXPECT_GE(frameDriver.launchPhase, 0.0f);
    EXPECT_LE(frameDriver.launchPhase, 6.283185f);
  }
  EXPECT_TRUE(spriteTexture.hasPixels && glowTexture.hasPixels && ringTexture.hasPixels &&
              groundTexture.hasPixels);
  EXPECT_EQ(spriteTexture.width, 64);
  EXPECT_EQ(ringTexture.width, 128);
  useRealTime();
}

// The tick count seeds the generator, so the launch rhythm starts at a phase
// drawn anywhere in one turn, different from run to run.
TEST(SceneSetup, TickCountSeedsTheRhythmsStartAnywhereInATurn) {
  float lowest = FULL_TURN;
  float highest = 0.0f;
  float first = 0.0f;
  for (std::uint32_t run = 0; run < 300; ++run) {
    settings = Settings{};
    useSimulatedTime(run * 2654435761u);
    setUpScene();
    const float phase = frameDriver.launchPhase;
    ASSERT_GE(phase, 0.0f);
    ASSERT_LE(phase, FULL_TURN);
    if (run == 0) first = phase;
    if (run == 1) {
      EXPECT_NE(phase, first);
    }
    lowest = std::min(lowest, phase);
    highest = std::max(highest, phase);
  }
  EXPECT_LT(lowest, 0.1f);
  EXPECT_GT(highest, FULL_TURN - 0.1f);
  useRealTime();
}

} // namespace
} // namespace starbloom
