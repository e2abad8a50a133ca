#pragma once
// The pictures compiled into the program, by resource id.
#include <cstddef>

namespace starbloom {

struct ResourceData {
  int id = 0;                          // bitmap id, as used by the loaders
  const unsigned char* bytes = nullptr; // encoded picture file (PNG)
  std::size_t size = 0;                // bytes
};

extern const ResourceData RESOURCES[];
extern const int RESOURCE_COUNT;

// The resource with that id, or nullptr when the program has none.
const ResourceData* findResource(int id);

} // namespace starbloom
