#pragma once
// A check of the particle store's invariants, for the tests and the soak
// runs: plain code that reads a store and its light table and says whether
// they agree, and when not, what broke.
//
// A sound store, after any whole step (update, light follow, launch):
// - count is within 0..MAX_PARTICLES;
// - every live particle (0..count-1) is active, has a design, and holds
//   finite position, velocity, age, lifetime and colour (r, g, b);
// - light slots 8 and 9 are never in use;
// - every light slot in use names a live particle that has hasLight set and
//   has not burst (a burst puts the shell's light out);
// - no two slots name the same particle;
// - every slot's lightIndex is a light-table slot in use, or the table's
//   "no light" index 9 that a full table answers (always 9 without a table);
//   no two slots name the same table light;
// - every table light of 0..7 in use belongs to a slot, except those in the
//   ownerless mask (the landscape's light in slot 0), and table slots 8 and
//   9 stay free;
// - a particle with hasLight set that no slot names has burst: the burst
//   releases the shell's light but leaves the flag. A shell usually ends in
//   the frame of its burst, but one whose design record was rewritten under
//   it (50 launches within its flight) can stay on, frozen, with the flag
//   set. Every other particle with hasLight set owns exactly one slot.
#include <cstdint>

#include "particles/particle_store.h"

namespace starbloom {

constexpr int STORE_CHECK_MESSAGE = 160;

struct StoreCheck {
  bool sound = true;
  char message[STORE_CHECK_MESSAGE] = {}; // the first fault found; empty when sound
};

// Checks store against the invariants above. Bit i of ownerlessLights allows
// table light i to be in use without a slot (the landscape's light).
StoreCheck checkStore(const ParticleStore& store, std::uint8_t ownerlessLights = 0);

} // namespace starbloom
