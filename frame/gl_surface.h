#pragma once
// The GL surface: the OpenGL context and drawable the saver draws into, with
// two bindings chosen when the program starts (GLX on the saver window, EGL
// off screen).
#include <cstdint>
#include <vector>

namespace starbloom {

// An X11 window id (or 0 for none).
using NativeWindow = unsigned long;

// Which binding a GlSurface uses; chosen once when the program starts.
enum class SurfaceBinding : std::uint8_t {
  Window,    // GLX on a child of the saver window
  Offscreen, // EGL pbuffer (headless rendering and tests)
};

struct GlSurface {
  SurfaceBinding binding = SurfaceBinding::Window;
  NativeWindow window = 0;        // the saver window; not owned
  void* glContext = nullptr;      // GLXContext or EGLContext; owned
  int width = 0;
  int height = 0;
  int colourBits = 0;
  int windowWidth = 0;            // pixels of the drawable (the whole child window), 0 unknown
  int windowHeight = 0;
  int textureCount = 0;           // texture images uploaded through this surface
  bool clearDepth = true;         // every frame also clears the depth buffer

  // Binding state, owned by the binding's .cpp.
  void* nativeDisplay = nullptr;  // Display* (GLX) or EGLDisplay
  void* nativeSurface = nullptr;  // EGLSurface (Offscreen)
  NativeWindow glWindow = 0;      // GLX child window (Window)
  bool ownsDisplay = false;

  // Creates and makes current the context; reports failures and always
  // answers true, as drawing goes on regardless.
  bool create(NativeWindow parent, int w, int h, int bits);
  void release();
  void clearBuffers();
  void present();
  // The finished frame as RGB bytes, top row first (Offscreen binding).
  bool readPixels(std::vector<std::uint8_t>& rgb) const;
  // Whether a context exists and is current (false after a failed create).
  bool isCurrent() const;
};

// Applies the default OpenGL state and the fixed projection
// glFrustum(-0.4, 0.4, -0.3, 0.3, 1, 400) with a full-surface viewport.
void applyDefaultGlState(int width, int height);

} // namespace starbloom
