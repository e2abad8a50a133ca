// The soak: an hour of simulated sky at MAXIMUM detail with burst flashes,
// launched by the frame driver's rhythm, then a minute of one launch per
// frame, with the store checked after every frame. Only the update, the light follow and the launches run; nothing is
// drawn. The landscape's light holds table slot 0 as it does with land on, so
// the eighth particle light meets a full table.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "frame/frame_driver.h"
#include "particle_test_support.h"
#include "particles/store_invariants.h"

namespace starbloom {
namespace {

using namespace testing_support;

class Soak : public ParticleFixture {};

constexpr float FRAME = 1.0f / 60.0f;
constexpr float SOAK_SECONDS = 3600.0f;
constexpr int HALF_SECOND_GAP_EVERY = 3001;  // frames, about every 50 s
constexpr int THREE_SECOND_GAP_EVERY = 36007; // frames, about every 10 min

struct SoakResult {
  bool sound = true;
  char fault[STORE_CHECK_MESSAGE + 64] = {};
  long frames = 0;
  int launches = 0;
  std::int32_t peakCount = 0;
  int fullStore = 0;    // frames that ended with MAX_PARTICLES live
  int flashLights = 0;  // frames that ended with a flash's light lit
  int noLightSlots = 0; // frames with a slot holding index 9 (full table)
};

// runFrame's launch rhythm without its drawing: the clock and the phase
// advance, the update and the light follow run, and at most one shell is
// launched when the interval has passed (or every launchEvery frames).
SoakResult soak(float seconds, int launchEvery) {
  SoakResult r;
  settings.detail = 6;
  settings.flash_effect = true;
  settings.ttime = 10;
  renderContext.lights.addLight(LightSource{}); // the landscape's light
  float launchTimer = 0.0f;
  float launchPhase = randomRange(0.0f, FULL_TURN);
  float simulated = 0.0f;
  ParticleStore& store = particleStore;
  while (simulated < seconds) {
    r.frames += 1;
    float dt = FRAME;
    if (r.frames % THREE_SECOND_GAP_EVERY == 0) {
      dt = 3.0f;
    } else if (r.frames % HALF_SECOND_GAP_EVERY == 0) {
      dt = 0.5f;
    }
    simulated += dt;
    launchTimer += dt;
    launchPhase += dt * 0.1f;
    if (launchPhase > FULL_TURN) launchPhase -= FULL_TURN;
    store.update(dt);
    store.followLights();
    const bool due = launchEvery > 0 ? r.frames % launchEvery == 0
                                     : launchInterval(launchPhase, settings.ttime) < launchTimer;
    if (due) {
      launchTimer = 0.0f;
      r.launches += 1;
      designNextShell();
      store.launchShell(&shellTable[designCursor]);
    }
    const StoreCheck check = checkStore(store, 0x1);
    if (!check.sound) {
      r.sound = false;
      std::snprintf(r.fault, sizeof r.fault, "frame %ld (%.2f s, %d launches): %s", r.frames,
                    static_cast<double>(simulated), r.launches, check.message);
      return r;
    }
    r.fullStore += store.count == MAX_PARTICLES;
    if (store.count > r.peakCount) r.peakCount = store.count;
    bool flash = false, noLight = false;
    for (int s = 0; s < USED_LIGHT_SLOTS; ++s) {
      const LightSlot& slot = store.lightSlots[s];
      if (!slot.inUse) continue;
      flash = flash || store.particles[slot.particleIndex].design->isFlash;
      noLight = noLight || slot.lightIndex == NO_LIGHT_SLOT;
    }
    r.flashLights += flash;
    r.noLightSlots += noLight;
  }
  return r;
}

// The store stays sound through an hour of busy sky with long frame gaps,
// and through a minute of one launch per frame. The program's own rhythm
// never fills the store or the eight light slots, and its shells end in the
// frame they burst; the barrage fills both, and rewrites design records
// under shells still in flight, so that burst shells stay on with their
// light flag set. Each run must have been busy enough to mean something:
// the hour brings thousands of particles and flash lights, the barrage a
// full store and slots holding the "no light" index of a full table.
TEST_F(Soak, LongRunsKeepTheStoreSound) {
  const struct {
    const char* what;
    float seconds;
    int launchEvery; // frames; 0: the frame driver's rhythm
    bool fills;      // must reach a full store and a full light table
  } rows[] = {
      {"an hour by the launch rhythm", SOAK_SECONDS, 0, false},
      {"a minute's barrage", 60.0f, 1, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    resetProgramObjects();
    buildRandomRing();
    seedRandom(4242);
    const auto start = std::chrono::steady_clock::now();
    const SoakResult r = soak(row.seconds, row.launchEvery);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %ld frames, %d launches, peak %d particles, %d frames full, %d with a flash "
                "light, %d with a full light table; %.1f s\n",
                row.what, r.frames, r.launches, r.peakCount, r.fullStore, r.flashLights, r.noLightSlots,
                took);
    ASSERT_TRUE(r.sound) << r.fault;
    EXPECT_GT(r.launches, 1000);
    EXPECT_GT(r.peakCount, 5000);
    EXPECT_GT(r.flashLights, 0);
    if (row.fills) {
      EXPECT_GT(r.fullStore, 0);
      EXPECT_GT(r.noLightSlots, 0);
    }
  }
}

} // namespace
} // namespace starbloom
