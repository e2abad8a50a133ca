// STUB: replaced by the host work.
#include "host/saver_entry.h"

#include <cstdio>

namespace starbloom {
int programMain(int, char**) { std::fprintf(stderr, "starbloom: not built yet\n"); return 1; }
} // namespace starbloom
