// STUB: replaced by the rendering-context work.
#include "frame/render_context.h"

namespace starbloom {
void LightSource::resetLight(bool use) { inUse = use; }
void LightSource::setAttenuation(float c, float l, float q) { attenuation[0] = c; attenuation[1] = l; attenuation[2] = q; }
int LightTable::addLight(const LightSource&) { return NO_LIGHT_SLOT; }
bool LightTable::getLight(int, LightSource&) const { return false; }
bool LightTable::setLight(int, const LightSource&) { return false; }
bool LightTable::removeLight(int) { return false; }
RenderContext::~RenderContext() { surface.release(); }
bool RenderContext::init(NativeWindow window, int w, int h, int bits) { width = w; height = h; return surface.create(window, w, h, bits); }
bool RenderContext::setClearColour(Color4 colour) { clearColour = colour; return true; }
void RenderContext::beginFrame() { surface.clearBuffers(); }
void RenderContext::endFrame() { surface.present(); }
void applyDefaultGlState(int, int) {}
} // namespace starbloom
