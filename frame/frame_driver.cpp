// The frame driver runs the saver: startUp brings up the rendering context
// and the scene once, runFrame performs one frame in a fixed order (clock,
// camera path, clear, landscape, camera view, particle update and drawing,
// present, launch decision, pacing). On several monitors the drawing steps
// repeat once per monitor's viewport while the simulation runs once; a
// drawable the compositor has not asked a frame of is left out. The
// camera orbits (0, 12, 0) at a distance swinging between 10 and 40 every
// 120 s, rising between the horizon and 30 degrees above it every 250 s, one
// turn in 128 s. Launches follow a rhythm whose interval swings with
// sin(launchPhase), about 63 s a period; at most one launch per frame, and
// the launch timer restarts from zero, not from the excess. Frames last at
// least 12 ms.
#include "frame/frame_driver.h"

#include <GL/gl.h>

#include <chrono>
#include <cmath>

#include "frame/cursor.h"
#include "frame/platform_time.h"
#include "frame/program_objects.h"
#include "frame/scene_setup.h"
#include "particles/particle_render.h"
#include "scene/landscape.h"

namespace starbloom {

namespace {
constexpr Vec3 ORBIT_CENTRE{0.0f, 12.0f, 0.0f};
constexpr Vec3 AIM_POINT{0.0f, 10.0f, 0.0f};
constexpr std::uint32_t FRAME_BUDGET_MS = 12;

void loadCameraView(const CoordFrame& camera) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const Mat4 rotation = viewRotation(camera);
  glMultMatrixf(rotation.m);
  glTranslatef(-camera.origin.x, -camera.origin.y, -camera.origin.z);
}

// One step of frameTime along the camera's orbit; with move off the camera
// holds 30 units out, at the height and turn it has.
void moveCamera(FrameDriverState& state, float frameTime, bool move) {
  state.cameraOrbit.radius = 30.0f;
  state.radiusClock += frameTime;
  if (move) {
    state.cameraOrbit.azimuth += frameTime * 0.049087383f;
    state.cameraOrbit.radius = 25.0f + 15.0f * std::sin(state.radiusClock * 0.052359875f);
    if (state.radiusClock > 120.0f) state.radiusClock -= 120.0f;
    state.heightPhase += frameTime * 0.004f;
    if (state.heightPhase > 1.0f) state.heightPhase -= 1.0f;
    state.cameraOrbit.polar =
        1.5707963f - (std::sin(state.heightPhase * FULL_TURN) + 1.0f) * 0.5f * 0.5235987504323323f;
  }
  state.cameraOrbit.constrain();
  state.camera.origin = ORBIT_CENTRE + state.cameraOrbit.toCartesian();
  state.camera.aimAt(AIM_POINT);
}
} // namespace

void startUp(NativeWindow window, int drawWidth, int drawHeight, int colourBits) {
  renderContext.init(window, drawWidth, drawHeight, colourBits);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  buildRandomRing();
  setUpScene();
  if (generateLandscape(settings, &groundTexture, landscapeMesh, secondPassMesh, landscapeFrame,
                        renderContext.lights, landscapeLight)) {
    renderContext.useFog = true;
    glFogf(GL_FOG_START, LANDSCAPE_FOG_START);
    glFogf(GL_FOG_END, landscapeFogEnd(settings.landsi));
  }
  hideCursor();
}

float launchInterval(float launchPhase, int ttime) {
  return (10.0f + 20.0f * (std::sin(launchPhase) + 1.0f) * 0.5f) / static_cast<float>(ttime);
}

std::uint32_t pacingSleep(std::uint32_t frameStart, std::uint32_t now) {
  const std::uint32_t elapsed = now - frameStart;
  return elapsed < FRAME_BUDGET_MS ? FRAME_BUDGET_MS - elapsed : 0;
}

void updateParticles(float dt) {
  const auto before = std::chrono::steady_clock::now();
  particleStore.update(dt);
  particleStore.followLights();
  frameDriver.updateMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
}

void updateAndDraw(float dt) {
  updateParticles(dt);
  renderContext.applyLightChanges();
  drawParticles(particleStore, frameDriver.camera, renderContext.textureTarget());
}

bool useFirstViewport() {
  if (frameDriver.viewportCount == 0) return false;
  const Viewport& first = frameDriver.viewports[0];
  if (!renderContext.surface.useTarget(first.target)) return false;
  glViewport(first.x, first.y, first.width, first.height);
  return true;
}

void resumeAfterPause() { frameClock.restart(); }

bool runFrame() {
  FrameDriverState& s = frameDriver;
  s.frameStart = tickCount();
  s.frameTime = frameClock.tick();
  s.launchTimer += s.frameTime;

  moveCamera(s, s.frameTime, settings.move);

  s.launchPhase += s.frameTime * 0.1f;
  if (s.launchPhase > FULL_TURN) s.launchPhase -= FULL_TURN;

  renderContext.setClearColour(Color4{0.0f, 0.0f, 0.0f, 0.0f});
  // One monitor: the designed sequence in the window's viewport. Several:
  // the same scene drawn into each monitor's viewport, simulated once; each
  // target (drawable) is cleared before its first viewport and presented
  // after its last.
  const int passes = s.viewportCount > 1 ? s.viewportCount : 1;
  int drawing = -1; // the target being drawn
  bool updated = false;
  for (int v = 0; v < passes; ++v) {
    const Viewport& port = s.viewports[v];
    const int target = s.viewportCount > 0 ? port.target : 0;
    if (!renderContext.surface.targetReady(target)) continue;
    if (target != drawing) {
      if (drawing >= 0) renderContext.endFrame();
      renderContext.surface.useTarget(target);
      renderContext.beginFrame();
      drawing = target;
      if (s.viewportCount == 1) glViewport(port.x, port.y, port.width, port.height);
    }
    if (s.viewportCount > 1) glViewport(port.x, port.y, port.width, port.height);
    if (settings.land) {
      renderContext.useFog = settings.fog;
      drawLandscapePasses(settings, s.camera, renderContext.lights, renderContext.meshView());
      // A software renderer starts filling the ground now, while the
      // particles are updated and their sprites prepared.
      glFlush();
    }
    loadCameraView(s.camera);
    if (!updated) {
      updateAndDraw(s.frameTime);
      updated = true;
    } else {
      drawParticles(particleStore, s.camera, renderContext.textureTarget());
    }
  }
  if (drawing >= 0) renderContext.endFrame();
  if (!updated) updateParticles(s.frameTime);

  if (launchInterval(s.launchPhase, settings.ttime) < s.launchTimer) {
    s.launchTimer = 0.0f;
    s.launchCount += 1;
    designNextShell();
    particleStore.launchShell(&shellTable[designCursor]);
    if (s.launchCount == 4 * settings.ttime) frameClock.setOverlay(false, 1000);
  }

  const std::uint32_t wait = pacingSleep(s.frameStart, tickCount());
  if (wait > 0) sleepMilliseconds(wait);
  return true;
}

} // namespace starbloom
