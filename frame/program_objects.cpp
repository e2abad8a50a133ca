// The program's constructed objects, defined together so that they are built
// in this order before main() runs and destroyed in the reverse order at
// exit: the textures are deleted while the rendering context still exists,
// and the context is released last.
#include "frame/frame_clock.h"
#include "frame/render_context.h"
#include "particles/particle_store.h"
#include "scene/texture.h"

namespace starbloom {

FrameClock frameClock;       // written by tick and setOverlay
RenderContext renderContext; // written by startUp and the frame
Texture spriteTexture;       // filled by the scene set-up
Texture glowTexture;
Texture ringTexture;
Texture groundTexture;
ParticleStore particleStore; // written by launches and the update

} // namespace starbloom
