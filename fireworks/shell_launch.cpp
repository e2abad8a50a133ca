// STUB: replaced by the launch work.
#include "particles/particle_store.h"

namespace starbloom {
void ParticleStore::launchShell(const ShellDesign*) {}
void ParticleStore::attachLight(std::int32_t) {}
} // namespace starbloom
