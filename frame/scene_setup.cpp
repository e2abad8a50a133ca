// Scene set-up, once per run after the rendering context exists: the
// generator is seeded from the tick count (the random vector ring was built
// before, so it is the same in every run), the particle size and detail level
// get their start-up adjustments, the camera and the launch rhythm their
// start values, and the four textures are loaded from the program's pictures.
#include "frame/scene_setup.h"

#include "frame/frame_driver.h"
#include "frame/platform_time.h"
#include "frame/render_context.h"
#include "math/random.h"
#include "scene/texture.h"
#include "settings/settings.h"

namespace starbloom {

void setUpScene() {
  seedRandom(tickCount());
  if (!settings.big) settings.sizeBase *= 1.4f;
  if (settings.detail == 4) settings.detail = 6;

  FrameDriverState& s = frameDriver;
  s.cameraOrbit.radius = 10.0f;
  s.cameraOrbit.polar = 1.5707963f;
  s.cameraOrbit.azimuth = 0.0f;
  s.camera.origin = Vec3{0.0f, 25.0f, 0.0f} + s.cameraOrbit.toCartesian();
  s.camera.aimAt(Vec3{0.0f, 25.0f, 0.0f});
  s.launchPhase = randomRange(0.0f, FULL_TURN);

  renderContext.setClearColour(Color4{0.0f, 0.0f, 0.0f, 0.0f});

  spriteTexture.loadBitmapResource(SPRITE_BITMAP);
  glowTexture.loadBitmapResource(GLOW_BITMAP);
  ringTexture.loadBitmapResource(RING_BITMAP);
  groundTexture.loadBitmapResource(GROUND_BITMAP);
}

} // namespace starbloom
