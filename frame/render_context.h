#pragma once
// The rendering context: the OpenGL context bound to the saver's drawing
// surface, its default state and fixed projection, the render switches and
// the table of eight OpenGL lights shared by launches, particles and the
// landscape.
#include <cstdint>
#include <vector>

#include "math/vector.h"

namespace starbloom {

// An X11 window id (or 0 for none).
using NativeWindow = unsigned long;

struct LightSource {
  bool inUse = false;
  Vec3 position;                  // world position
  Color4 colour;                  // r, g, b: light colour; a carried along
  float unusedScale = 1.0f;       // kept with the record, read by no one
  float ambientFactor = 0.0f;     // ambient colour = colour * factor
  float attenuation[3] = {1.0f, 0.0f, 0.0f}; // constant, linear, quadratic

  void resetLight(bool use);
  void setAttenuation(float constant, float linear, float quadratic);
};

constexpr int LIGHT_TABLE_SLOTS = 10; // 0..7 map to GL_LIGHT0..7; 8, 9 stay free
constexpr int GL_LIGHT_SLOTS = 8;
constexpr int NO_LIGHT_SLOT = 9;      // what addLight answers on a full table

struct LightTable {
  LightSource slots[LIGHT_TABLE_SLOTS];

  // First free slot of 0..7, filled with source; 9 when all eight are taken.
  int addLight(const LightSource& source);
  bool getLight(int i, LightSource& out) const;
  bool setLight(int i, const LightSource& source);
  // Disables GL_LIGHT0 + i and frees the slot; false for a free slot.
  bool removeLight(int i);
};

// Which binding a GlSurface uses; chosen once when the program starts.
enum class SurfaceBinding : std::uint8_t {
  Window,    // GLX on a child of the saver window
  Offscreen, // EGL pbuffer (headless rendering and tests)
};

struct GlSurface {
  SurfaceBinding binding = SurfaceBinding::Window;
  NativeWindow deviceContext = 0; // the saver window; not owned
  void* glContext = nullptr;      // GLXContext or EGLContext; owned
  int width = 0;
  int height = 0;
  int colourBits = 0;
  int textureCount = 0;           // texture images uploaded through this surface
  bool clearDepth = true;         // every frame also clears the depth buffer

  // Binding state, owned by the binding's .cpp.
  void* nativeDisplay = nullptr;  // Display* (GLX) or EGLDisplay
  void* nativeSurface = nullptr;  // EGLSurface (Offscreen)
  NativeWindow glWindow = 0;      // GLX child window (Window)
  bool ownsDisplay = false;

  // Creates and makes current the context; reports failures and always
  // answers true, as drawing goes on regardless.
  bool create(NativeWindow window, int w, int h, int bits);
  void release();
  void clearBuffers();
  void present();
  // The finished frame as RGB bytes, top row first (Offscreen binding).
  bool readPixels(std::vector<std::uint8_t>& rgb) const;
  // Whether a context exists and is current (false after a failed create).
  bool isCurrent() const;
};

struct RenderContext {
  int width = 0;
  int height = 0;
  LightTable lights;
  Color4 clearColour;
  GlSurface surface;
  bool useTextures = true;
  bool smoothTextures = true;
  bool useLighting = true;
  bool useFog = true;

  RenderContext() = default;
  ~RenderContext();
  RenderContext(const RenderContext&) = delete;
  RenderContext& operator=(const RenderContext&) = delete;

  bool init(NativeWindow window, int w, int h, int colourBits);
  bool setClearColour(Color4 colour);
  void beginFrame();
  // Draws the frame clock's overlay text when due, then presents.
  void endFrame();
};

// Applies the default OpenGL state and the fixed projection
// glFrustum(-0.4, 0.4, -0.3, 0.3, 1, 400) with a full-surface viewport.
void applyDefaultGlState(int width, int height);

} // namespace starbloom

namespace starbloom {
// The one rendering context; defined with the other program objects.
extern RenderContext renderContext;
} // namespace starbloom
