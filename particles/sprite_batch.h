#pragma once
// Sprite triangles gathered by texture binding and drawn from vertex arrays,
// a few draws a frame instead of one per sprite.
#include "math/vector.h"
#include "scene/texture.h"

namespace starbloom {

// What a batch is drawn with: a texture and its filter, or no texture; and
// whether its corners are world or eye coordinates.
struct SpriteBinding {
  Texture* texture = nullptr; // nullptr: texturing off
  bool linear = false;        // filter of the texture; ignored without one
  bool eyeSpace = false;      // drawn under the identity model-view, without fog
};

// One vertex in the layout glInterleavedArrays calls GL_T2F_C3F_V3F.
struct SpriteVertex {
  float s = 0.0f;
  float t = 0.0f;
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

constexpr int SPRITE_BATCH_SLOTS = 6;
// 256 four-cornered sprites, two triangles each.
constexpr int SPRITE_BATCH_VERTICES = 1536;

struct SpriteBatch {
  SpriteBinding binding;
  int count = 0; // vertices held; 0 is a free slot
  SpriteVertex vertices[SPRITE_BATCH_VERTICES];
};

struct SpriteBatches {
  int* textureCount = nullptr; // upload count of the surface drawn into
  SpriteBatch slots[SPRITE_BATCH_SLOTS];
};

// The binding bindTexture(count, enable, texture, linear) would leave:
// texturing off when it is not enabled or the texture has no picture.
SpriteBinding spriteBinding(Texture& texture, bool enable, bool linear, bool eyeSpace);

// The corner orders in which a four-cornered strip and a four-cornered
// polygon are cut into two triangles.
extern const int STRIP_TRIANGLES[6];
extern const int POLYGON_TRIANGLES[6];

// Adds the two triangles of corners (taken in order) to the batch of
// binding; a full batch, or one binding too many, draws what is held first.
void addSprite(SpriteBatches& batches, const SpriteBinding& binding, const SpriteVertex (&corners)[4],
               const int (&order)[6]);

// Draws and empties every batch of world (eyeSpace false) or eye corners.
void drawSpriteBatches(SpriteBatches& batches, bool eyeSpace);

} // namespace starbloom
