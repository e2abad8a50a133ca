// GLX binding of the GL surface: GLX on X11. The surface opens its own
// connection to the display, picks the GLX visual closest to the pixel
// format the saver asks for (double-buffered RGBA, colour and depth bits both
// equal to the screen's colour depth, no alpha, accumulation, stencil or
// auxiliary buffers, main plane), creates a child window with that visual
// filling the saver window (whatever drawing size the saver asks for; its
// viewport places the picture), and binds a direct-rendering context to it.
//
// The child selects no input, so keys, buttons and motion reach the saver
// window, and it has no cursor of its own, so it shows the saver window's.
// Failures are reported in modal message boxes: no visual is
// "ChoosePixelFormat sippai", a child window that cannot be made is
// "SetPixelFormat sippai", both under the caption "ERROR", and creation goes
// on as far as it can. Every later call tolerates a missing display, window
// or context: drawing then simply has no effect.
//
// X errors are asynchronous and fatal by default. While the surface exists,
// an error handler records the errors of its own connection instead (a bad
// window id, a saver window that vanished under a running frame loop) and
// passes every other connection's errors on; creation checks its risky
// requests with a round trip. Presenting is one glXSwapBuffers per frame;
// everything else happens once per run.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

#include "frame/gl_surface_binding.h"
#include "report/message_box.h"

namespace starbloom {

namespace {

constexpr const char* NO_FORMAT_TEXT = "ChoosePixelFormat sippai";
constexpr const char* SET_FORMAT_TEXT = "SetPixelFormat sippai";
constexpr const char* ERROR_CAPTION = "ERROR";

// Errors on the surface's own connection are recorded instead of ending
// the program; errors on any other connection go to whoever handled them
// before. One window surface exists at a time.
Display* quietDisplay = nullptr;         // the surface's connection while it is open
XErrorHandler previousHandler = nullptr; // the handler before the surface's
int lastError = 0;                       // last X error code on quietDisplay, 0 none

int surfaceErrorHandler(Display* display, XErrorEvent* event) {
  if (display == quietDisplay) {
    lastError = event->error_code;
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, event) : 0;
}

void quietenErrors(Display* display) {
  quietDisplay = display;
  lastError = 0;
  previousHandler = XSetErrorHandler(surfaceErrorHandler);
}

// Puts the previous handler back unless someone installed another one on
// top of the surface's meanwhile.
void restoreErrors() {
  const XErrorHandler current = XSetErrorHandler(previousHandler);
  if (current != surfaceErrorHandler) XSetErrorHandler(current);
  quietDisplay = nullptr;
  previousHandler = nullptr;
}

// Forgets errors so far; the requests after it are the ones checked.
void clearErrors(Display* display) {
  XSync(display, False);
  lastError = 0;
}

// Whether any request since clearErrors failed; waits for the server.
bool requestsFailed(Display* display) {
  XSync(display, False);
  return lastError != 0;
}

// The properties of a visual that the choice looks at.
struct VisualTraits {
  bool usable = false;  // GL, RGBA, double-buffered, main plane
  int colourBits = 0;   // red + green + blue
  int alphaBits = 0;
  int depthBits = 0;
  int stencilBits = 0;
  int accumBits = 0;    // all four accumulation channels together
  int auxBuffers = 0;
  bool stereo = false;
  bool trueColor = false;
  int windowDepth = 0;  // the X visual's depth
};

int glxAttribute(Display* display, XVisualInfo* visual, int attribute) {
  int value = 0;
  if (glXGetConfig(display, visual, attribute, &value) != 0) return 0;
  return value;
}

VisualTraits traitsOf(Display* display, XVisualInfo* visual) {
  VisualTraits traits;
  traits.usable = glxAttribute(display, visual, GLX_USE_GL) != 0 &&
                  glxAttribute(display, visual, GLX_RGBA) != 0 &&
                  glxAttribute(display, visual, GLX_DOUBLEBUFFER) != 0 &&
                  glxAttribute(display, visual, GLX_LEVEL) == 0;
  if (!traits.usable) return traits;
  traits.colourBits = glxAttribute(display, visual, GLX_RED_SIZE) +
                      glxAttribute(display, visual, GLX_GREEN_SIZE) +
                      glxAttribute(display, visual, GLX_BLUE_SIZE);
  traits.alphaBits = glxAttribute(display, visual, GLX_ALPHA_SIZE);
  traits.depthBits = glxAttribute(display, visual, GLX_DEPTH_SIZE);
  traits.stencilBits = glxAttribute(display, visual, GLX_STENCIL_SIZE);
  traits.accumBits = glxAttribute(display, visual, GLX_ACCUM_RED_SIZE) +
                     glxAttribute(display, visual, GLX_ACCUM_GREEN_SIZE) +
                     glxAttribute(display, visual, GLX_ACCUM_BLUE_SIZE) +
                     glxAttribute(display, visual, GLX_ACCUM_ALPHA_SIZE);
  traits.auxBuffers = glxAttribute(display, visual, GLX_AUX_BUFFERS);
  traits.stereo = glxAttribute(display, visual, GLX_STEREO) != 0;
  traits.trueColor = visual->c_class == TrueColor;
  traits.windowDepth = visual->depth;
  return traits;
}

// How far a visual is from the requested format; 0 is an exact match. The
// colour and depth bits weigh most; buffers that were not asked for, a
// visual of another depth than the saver window's, and a colour class that
// needs a colour map filled in only break ties between otherwise equal ones.
int formatDistance(const VisualTraits& traits, int colourBits, int windowDepth) {
  int distance = 16 * std::abs(traits.colourBits - colourBits);
  distance += 8 * std::abs(traits.depthBits - colourBits);
  distance += traits.alphaBits + traits.stencilBits + traits.accumBits + 8 * traits.auxBuffers;
  if (traits.stereo) distance += 64;
  if (traits.windowDepth != windowDepth) distance += 4;
  if (!traits.trueColor) distance += 2;
  return distance;
}

// The closest double-buffered RGBA GL visual of the screen, or -1. The list
// stays the caller's to free.
int chooseVisual(Display* display, XVisualInfo* visuals, int count, int colourBits,
                 int windowDepth) {
  int best = -1;
  int bestDistance = 0;
  for (int i = 0; i < count; ++i) {
    const VisualTraits traits = traitsOf(display, &visuals[i]);
    if (!traits.usable) continue;
    const int distance = formatDistance(traits, colourBits, windowDepth);
    if (best < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

// Screen, depth and size of the saver window; the default screen and no
// size (0) when the window cannot be asked (a bad id).
void describeParent(Display* display, NativeWindow parent, int& screen, int& depth, int& width,
                    int& height) {
  screen = DefaultScreen(display);
  depth = DefaultDepth(display, screen);
  width = 0;
  height = 0;
  clearErrors(display);
  XWindowAttributes attributes{};
  if (parent == 0 || XGetWindowAttributes(display, parent, &attributes) == 0 ||
      requestsFailed(display)) {
    return;
  }
  if (attributes.screen != nullptr) screen = XScreenNumberOfScreen(attributes.screen);
  depth = attributes.depth;
  width = attributes.width;
  height = attributes.height;
}

// A mapped child of parent with the chosen visual at (0, 0), or 0.
NativeWindow createChild(Display* display, NativeWindow parent, const XVisualInfo& visual,
                         int width, int height) {
  if (parent == 0) return 0;
  // X windows cannot be empty; a zero-sized area still gets a valid window.
  const unsigned w = width > 0 ? static_cast<unsigned>(width) : 1u;
  const unsigned h = height > 0 ? static_cast<unsigned>(height) : 1u;
  clearErrors(display);
  XSetWindowAttributes attributes{};
  attributes.colormap =
      XCreateColormap(display, RootWindow(display, visual.screen), visual.visual, AllocNone);
  attributes.border_pixel = 0;
  const Window child = XCreateWindow(display, parent, 0, 0, w, h, 0, visual.depth, InputOutput,
                                     visual.visual, CWColormap | CWBorderPixel, &attributes);
  if (requestsFailed(display)) {
    XFreeColormap(display, attributes.colormap);
    return 0;
  }
  XMapWindow(display, child);
  if (requestsFailed(display)) {
    XDestroyWindow(display, child);
    XFreeColormap(display, attributes.colormap);
    return 0;
  }
  return child;
}

} // namespace

bool glxSurfaceCreate(GlSurface& surface) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    // No display offers no format at all.
    showMessageBox(NO_FORMAT_TEXT, ERROR_CAPTION);
    return false;
  }
  surface.glx.display = display;
  quietenErrors(display);

  int screen = 0;
  int windowDepth = 0;
  int parentWidth = 0;
  int parentHeight = 0;
  describeParent(display, surface.glx.parent, screen, windowDepth, parentWidth, parentHeight);

  XVisualInfo wanted{};
  wanted.screen = screen;
  int count = 0;
  XVisualInfo* visuals = XGetVisualInfo(display, VisualScreenMask, &wanted, &count);
  const int chosen = visuals != nullptr
                         ? chooseVisual(display, visuals, count, surface.colourBits, windowDepth)
                         : -1;
  if (chosen < 0) {
    // Without a visual there is neither a window nor a context to make.
    if (visuals != nullptr) XFree(visuals);
    showMessageBox(NO_FORMAT_TEXT, ERROR_CAPTION);
    return false;
  }

  // The child fills the saver window, whose viewport may centre a smaller
  // drawing area in it.
  surface.windowWidth = parentWidth > 0 ? parentWidth : surface.width;
  surface.windowHeight = parentHeight > 0 ? parentHeight : surface.height;
  surface.glx.child = createChild(display, surface.glx.parent, visuals[chosen], surface.windowWidth,
                                 surface.windowHeight);
  if (surface.glx.child == 0) showMessageBox(SET_FORMAT_TEXT, ERROR_CAPTION);

  // The context is made whatever happened to the window; whether it could
  // be made current is not checked, drawing goes on either way.
  GLXContext context = glXCreateContext(display, &visuals[chosen], nullptr, True);
  surface.glContext = context;
  if (context != nullptr && surface.glx.child != 0) {
    glXMakeCurrent(display, surface.glx.child, context);
  }
  XFree(visuals);
  return glxSurfaceIsCurrent(surface);
}

void glxSurfaceRelease(GlSurface& surface) {
  Display* display = static_cast<Display*>(surface.glx.display);
  if (display == nullptr) return;
  // Only our own context is unbound: another one (an off-screen EGL
  // context, say) may be current on this thread.
  if (surface.glContext != nullptr && glXGetCurrentContext() == surface.glContext) {
    glXMakeCurrent(display, None, nullptr);
  }
  if (surface.glContext != nullptr) {
    glXDestroyContext(display, static_cast<GLXContext>(surface.glContext));
  }
  if (surface.glx.child != 0) {
    // The saver window, and the child with it, may already be gone; the
    // errors that causes are quiet.
    XWindowAttributes attributes{};
    const bool described = XGetWindowAttributes(display, surface.glx.child, &attributes) != 0;
    XDestroyWindow(display, surface.glx.child);
    if (described && attributes.colormap != None) XFreeColormap(display, attributes.colormap);
  }
  // Closing delivers the last errors of the connection, still quietly.
  XCloseDisplay(display);
  restoreErrors();
  surface.glContext = nullptr;
  surface.glx.child = 0;
  surface.glx.display = nullptr;
}

void glxSurfacePresent(GlSurface& surface) {
  if (surface.glx.display == nullptr || surface.glx.child == 0 || surface.glContext == nullptr) {
    return;
  }
  glXSwapBuffers(static_cast<Display*>(surface.glx.display), surface.glx.child);
}

void glxSurfaceResize(GlSurface& surface, int w, int h) {
  Display* display = static_cast<Display*>(surface.glx.display);
  if (display == nullptr || surface.glx.child == 0) return;
  if (w == surface.windowWidth && h == surface.windowHeight) return;
  XResizeWindow(display, surface.glx.child, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XSync(display, False);
  surface.windowWidth = w;
  surface.windowHeight = h;
}

bool glxSurfaceIsCurrent(const GlSurface& surface) {
  return surface.glContext != nullptr && glXGetCurrentContext() == surface.glContext;
}

} // namespace starbloom
