// Sprite batches: the particle pass adds every sprite as two triangles to a
// small array of vertices kept per texture binding, and each array is drawn
// with one glInterleavedArrays and one glDrawArrays(GL_TRIANGLES) when it is
// full or when the pass asks for it. Sprites are blended additively and never
// write depth, so the order in which they reach the colour buffer changes the
// picture only a little: 8-bit additive blending is not exactly
// order-independent, and with lens flares on (their squares are drawn last)
// up to 2.5 % of the pixels differ by up to 4 of 255 from the sprites drawn
// one by one in pass order. What must not move is a change of depth testing,
// so the pass draws the world batches before it makes one.
//
// The triangles are those OpenGL cuts a four-cornered strip (0 1 2, 2 1 3)
// or polygon (1 2 0, 2 3 0) into, corners in the same order, so each sprite
// covers exactly the pixels the single primitive would.
//
// Invariants: a slot with a count of 0 is free; a held slot's vertex count
// is a multiple of 3 and at most SPRITE_BATCH_VERTICES. Eye batches are
// drawn under the identity model-view matrix with fog and depth testing off.
//
// Cost: a comparison per slot and six vertex copies per sprite; a draw per
// batch of up to 256 sprites. The batches are fixed arrays: nothing is
// allocated.
#include "particles/sprite_batch.h"

#include <GL/gl.h>

#include "scene/pass_timer.h"

namespace starbloom {

const int STRIP_TRIANGLES[6] = {0, 1, 2, 2, 1, 3};
const int POLYGON_TRIANGLES[6] = {1, 2, 0, 2, 3, 0};

namespace {

bool sameBinding(const SpriteBinding& a, const SpriteBinding& b) {
  if (a.eyeSpace != b.eyeSpace || a.texture != b.texture) return false;
  return a.texture == nullptr || a.linear == b.linear;
}

void drawBatch(SpriteBatches& batches, SpriteBatch& batch) {
  if (batch.count == 0) return;
  markPass(FramePass::Other);
  const SpriteBinding& binding = batch.binding;
  if (binding.texture != nullptr) {
    bindTexture(*batches.textureCount, true, *binding.texture, binding.linear);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  if (binding.eyeSpace) {
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_FOG_BIT);
    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
  }
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glInterleavedArrays(GL_T2F_C3F_V3F, 0, batch.vertices);
  glDrawArrays(GL_TRIANGLES, 0, batch.count);
  glPopClientAttrib();
  if (binding.eyeSpace) {
    glPopAttrib();
    glPopMatrix();
  }
  batch.count = 0;
  markPass(binding.eyeSpace                 ? FramePass::Flares
           : binding.texture == &glowTexture ? FramePass::Halos
                                             : FramePass::Sprites);
}

void drawAll(SpriteBatches& batches) {
  for (SpriteBatch& batch : batches.slots) drawBatch(batches, batch);
}

// The slot that takes the binding's next sprite: its own, a free one, or,
// with every slot held by other bindings, one freed by drawing them all.
SpriteBatch& slotFor(SpriteBatches& batches, const SpriteBinding& binding) {
  SpriteBatch* free = nullptr;
  for (SpriteBatch& batch : batches.slots) {
    if (batch.count > 0 && sameBinding(batch.binding, binding)) return batch;
    if (batch.count == 0 && free == nullptr) free = &batch;
  }
  if (free == nullptr) {
    drawAll(batches);
    free = &batches.slots[0];
  }
  free->binding = binding;
  return *free;
}

} // namespace

SpriteBinding spriteBinding(Texture& texture, bool enable, bool linear, bool eyeSpace) {
  SpriteBinding binding;
  binding.eyeSpace = eyeSpace;
  if (enable && texture.hasPixels) {
    binding.texture = &texture;
    binding.linear = linear;
  }
  return binding;
}

void addSprite(SpriteBatches& batches, const SpriteBinding& binding, const SpriteVertex (&corners)[4],
               const int (&order)[6]) {
  SpriteBatch* batch = &slotFor(batches, binding);
  if (batch->count + 6 > SPRITE_BATCH_VERTICES) {
    drawBatch(batches, *batch);
    batch = &slotFor(batches, binding);
  }
  for (int k : order) batch->vertices[batch->count++] = corners[k];
}

void drawSpriteBatches(SpriteBatches& batches, bool eyeSpace) {
  for (SpriteBatch& batch : batches.slots) {
    if (batch.binding.eyeSpace == eyeSpace) drawBatch(batches, batch);
  }
}

} // namespace starbloom
