#pragma once
// The frame driver: start-up of the rendering context and the scene, and the
// per-frame sequence (clock, camera path, drawing, launch rhythm, pacing).
#include <cstdint>

#include "frame/gl_surface.h"
#include "math/coord_frame.h"

namespace starbloom {

constexpr int MAX_VIEWPORTS = 8;

// An OpenGL viewport: pixels of its target, origin at the bottom left.
struct Viewport {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  int target = 0; // the GL surface's drawable it lies on
};

// State of the running saver; written by startUp, setUpScene and runFrame,
// the viewports by the saver window.
struct FrameDriverState {
  std::uint32_t frameStart = 0; // tick count at the start of the frame, ms
  float frameTime = 0.0f;       // seconds, this frame's time step
  float launchTimer = 0.0f;     // seconds since the last launch
  float radiusClock = 0.0f;     // seconds, wraps at 120
  float heightPhase = 0.0f;     // turns, wraps at 1
  float launchPhase = 0.0f;     // radians, wraps at 2 pi
  int launchCount = 0;          // launches so far, never reset
  SphericalCoord cameraOrbit;   // camera position about the orbit centre
  CoordFrame camera;            // eye position and viewing axes; the sprites face it
  double updateMs = 0.0;        // wall-clock ms of the last update and light follow
  // With more than one, each frame draws the scene once into each of these
  // (one per monitor), each on its target; with one or none, into the
  // viewport the window set. A target that cannot be drawn now is skipped.
  Viewport viewports[MAX_VIEWPORTS];
  int viewportCount = 0;
};

// Defined with the other program objects.
extern FrameDriverState frameDriver;

// Creates the rendering context on window (w x h, colourBits deep) and sets
// up the scene. The caller chooses renderContext.surface.binding first.
void startUp(NativeWindow window, int drawWidth, int drawHeight, int colourBits);
// One complete frame; returns true.
bool runFrame();
// Makes the first viewport's target current with that viewport set, once
// the window has laid the viewports out; false when that target cannot be
// drawn on now (or there is none).
bool useFirstViewport();

// Nothing was drawn for a while because nobody could see it: the next
// frame steps as the first one does instead of taking the pause as one long
// frame, so the fireworks go on where they stopped.
void resumeAfterPause();

// The frame's update and draw step, under the camera's view: the particle
// update (frame time dt), the light follow, the light table applied to
// OpenGL, then the particles' drawing pass. Times the update in updateMs.
void updateAndDraw(float dt);
// The update and light follow alone, for a frame with nothing to draw on.
void updateParticles(float dt);

// The pieces of runFrame, in its order, for the tests.

// Interval in seconds between launches for the phase and cadence setting.
float launchInterval(float launchPhase, int ttime);
// Milliseconds to sleep so that a frame lasts at least 12 ms.
std::uint32_t pacingSleep(std::uint32_t frameStart, std::uint32_t now);

} // namespace starbloom
