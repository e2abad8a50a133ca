#include "settings/settings.h"

namespace starbloom {

Settings settings;

} // namespace starbloom
