#pragma once
// A failed property in a fuzz target: the message goes to stderr and the
// process aborts, which libFuzzer reports as a crash and saves the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                   \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "%s:%d: property failed: %s\n  ", __FILE__, __LINE__,    \
                   #condition);                                                      \
      std::fprintf(stderr, __VA_ARGS__);                                             \
      std::fprintf(stderr, "\n");                                                    \
      std::abort();                                                                  \
    }                                                                                \
  } while (false)
