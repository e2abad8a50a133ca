// The process-wide objects that the linked settings and math code refer to:
// the settings record that readSettings() fills and the random generator's
// state that math/vector.cpp's random directions use. The program defines
// them with its other process-wide objects; the fuzz targets link only these
// layers, so they define them here, with the program's initial values.
#include <cstdint>

#include "math/random.h"
#include "settings/settings.h"

namespace starbloom {

Settings settings;
std::uint32_t randomState = 1;
Vec3 randomRing[RANDOM_RING_SIZE];
int ringCursor = 0;

} // namespace starbloom
