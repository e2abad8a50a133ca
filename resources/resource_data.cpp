// Lookup of the pictures that the build compiled into the program (see
// cmake/EmbedResources.cmake); a handful of entries, searched linearly.
#include "resources/resource_data.h"

namespace starbloom {

const ResourceData* findResource(int id) {
  for (int i = 0; i < RESOURCE_COUNT; ++i) {
    if (RESOURCES[i].id == id) return &RESOURCES[i];
  }
  return nullptr;
}

} // namespace starbloom
