// The light table: ten light records, of which only 0..7 are ever handed
// out, one for each OpenGL light. A full table answers 9, an index every
// operation treats as a free slot, so a caller that kept it simply does
// nothing with it. The table is plain data and never talks to OpenGL: a
// freed slot is only marked in switchedOff, and the rendering context
// switches those OpenGL lights off before anything is drawn lit again.
// Every operation is a few copies of one record.
#include "scene/light_table.h"

namespace starbloom {

namespace {
bool isTableIndex(int i) { return i >= 0 && i < LIGHT_TABLE_SLOTS; }
} // namespace

void LightSource::resetLight(bool use) {
  inUse = use;
  position = Vec3{};
  colour.r = 0.0f;
  colour.g = 0.0f;
  colour.b = 0.0f;
  unusedScale = 1.0f;
  ambientFactor = 0.0f;
  setAttenuation(1.0f, 0.0f, 0.0f);
}

void LightSource::setAttenuation(float constant, float linear, float quadratic) {
  attenuation[0] = constant;
  attenuation[1] = linear;
  attenuation[2] = quadratic;
}

int LightTable::addLight(const LightSource& source) {
  for (int i = 0; i < GL_LIGHT_SLOTS; ++i) {
    if (slots[i].inUse) continue;
    slots[i] = source;
    slots[i].inUse = true;
    return i;
  }
  return NO_LIGHT_SLOT;
}

// Indices outside 0..9 are answered like free slots instead of reading past
// the table; callers only ever hold indices that addLight gave them.
bool LightTable::getLight(int i, LightSource& out) const {
  if (!isTableIndex(i) || !slots[i].inUse) return false;
  out = slots[i];
  return true;
}

bool LightTable::setLight(int i, const LightSource& source) {
  if (!isTableIndex(i) || !slots[i].inUse) return false;
  slots[i] = source;
  slots[i].inUse = true;
  return true;
}

bool LightTable::removeLight(int i) {
  if (!isTableIndex(i) || !slots[i].inUse) return false;
  if (i < GL_LIGHT_SLOTS) switchedOff = static_cast<std::uint8_t>(switchedOff | (1u << i));
  slots[i].inUse = false;
  return true;
}

} // namespace starbloom
