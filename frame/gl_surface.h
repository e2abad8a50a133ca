#pragma once
// The GL surface: the OpenGL context and the drawables the saver draws into,
// with three bindings chosen when the program starts (GLX on the saver
// window, EGL on Wayland surfaces, EGL off screen). One context draws into
// every target: the GLX window, or one Wayland surface per output.
#include <cstdint>
#include <vector>

namespace starbloom {

// The saver's X11 window, which the GLX binding's child window goes in (0
// for none).
using NativeWindow = unsigned long;

// Which binding a GlSurface uses; chosen once when the program starts.
enum class SurfaceBinding : std::uint8_t {
  Glx,       // GLX on a child of the saver's X11 window
  Offscreen, // EGL pbuffer (headless rendering and tests)
  Wayland,   // EGL on a wl_egl_window per Wayland surface
};

constexpr int MAX_SURFACE_TARGETS = 8;

// One drawable of the Wayland binding: the window of one wl_surface.
struct SurfaceTarget {
  void* nativeWindow = nullptr;  // wl_surface*, the host's; nullptr: a free slot
  void* eglWindow = nullptr;     // wl_egl_window*
  void* nativeSurface = nullptr; // EGLSurface; nullptr while it cannot be drawn
  void* frameCallback = nullptr; // wl_callback* of the last frame, until the compositor answers
  int width = 0;                 // buffer pixels
  int height = 0;
  bool swapIntervalSet = false;  // presenting never waits for the compositor
};

// What the window system hands the GL surface before it is made: the
// binding, the host's connection (Wayland: wl_display*) and the drawables
// it has now, each with its slot.
struct SurfacePlan {
  struct Drawable {
    int slot = 0;
    void* nativeWindow = nullptr; // wl_surface*
    int width = 0;                // buffer pixels
    int height = 0;
  };
  SurfaceBinding binding = SurfaceBinding::Glx;
  NativeWindow parent = 0;       // the window that the GLX child window goes in
  void* hostDisplay = nullptr;
  Drawable drawables[MAX_SURFACE_TARGETS];
  int drawableCount = 0;
};

// The GLX binding's drawable: a child of the saver's X11 window, on a
// connection of its own.
struct GlxDrawable {
  void* display = nullptr;   // Display*, owned
  NativeWindow parent = 0;   // the saver window; not owned
  NativeWindow child = 0;    // the window drawn into; owned
};

// The off-screen binding's drawable.
struct PbufferDrawable {
  void* eglDisplay = nullptr; // EGLDisplay, owned
  void* eglSurface = nullptr; // EGLSurface
};

// The Wayland binding's drawables: one per slot the host chooses; the host
// fills the slots it has before create, and adds and removes them later.
struct WaylandDrawables {
  void* hostDisplay = nullptr; // wl_display*, the host's
  void* eglDisplay = nullptr;  // EGLDisplay on that connection, owned
  void* eglConfig = nullptr;   // EGLConfig of every window surface
  SurfaceTarget targets[MAX_SURFACE_TARGETS];
  int currentTarget = 0;       // the slot drawn into and presented
};

struct GlSurface {
  SurfaceBinding binding = SurfaceBinding::Glx;
  void* glContext = nullptr;      // GLXContext or EGLContext; owned
  int width = 0;
  int height = 0;
  int colourBits = 0;
  int windowWidth = 0;            // pixels of the drawable (the whole child window), 0 unknown
  int windowHeight = 0;
  int textureCount = 0;           // texture images uploaded through this surface
  bool clearDepth = true;         // every frame also clears the depth buffer

  // The binding's own state: only the record of the binding in use is
  // filled, and only that binding's .cpp writes it.
  GlxDrawable glx;
  PbufferDrawable pbuffer;
  WaylandDrawables wayland;

  // Creates and makes current the context, reporting what fails on the
  // way; false when no context was made current. Drawing goes on either
  // way (without a context it has no effect), so callers need not look.
  bool create(NativeWindow parent, int w, int h, int bits);
  // Takes the window system's plan (binding, connection, drawables).
  void applyPlan(const SurfacePlan& plan);
  void release();
  void clearBuffers();
  void present();

  // The drawables. The GLX window and the pbuffer are slot 0; adding and
  // removing are for Wayland, resizing for the GLX window and Wayland.
  // A failed add says why on stderr and leaves the slot undrawable.
  bool addTarget(int slot, void* nativeWindow, int w, int h);
  void removeTarget(int slot);
  void resizeTarget(int slot, int w, int h);
  // Makes slot the one drawn into; false when it cannot be drawn.
  bool useTarget(int slot);
  // Whether slot can be drawn now: it exists and (Wayland) the compositor
  // has asked for a frame since the last one was presented.
  bool targetReady(int slot) const;
  // The finished frame as RGB bytes, top row first (Offscreen binding).
  bool readPixels(std::vector<std::uint8_t>& rgb) const;
  // Whether a context exists and is current (false after a failed create).
  bool isCurrent() const;
};

// Applies the default OpenGL state and the fixed projection
// glFrustum(-0.4, 0.4, -0.3, 0.3, 1, 400) with a full-surface viewport.
void applyDefaultGlState(int width, int height);

} // namespace starbloom
