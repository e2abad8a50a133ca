// The configuration choice is a ranked scan: each entry gets the rank of
// the best rule it meets, and the first entry of the best rank wins, so
// that EGL's own order decides between equals.
#include "frame/egl_config_choice.h"

namespace starbloom {

namespace {

// 2: 8-bit colour without alpha; 1: 8-bit colour with alpha; 0: anything.
int rankOf(const EglConfigTraits& c) {
  if (c.red != 8 || c.green != 8 || c.blue != 8) return 0;
  return c.alpha == 0 ? 2 : 1;
}

} // namespace

int chooseEglConfig(const EglConfigTraits* configs, int count) {
  int best = -1;
  int bestRank = -1;
  for (int i = 0; i < count; ++i) {
    const int rank = rankOf(configs[i]);
    if (rank > bestRank) {
      best = i;
      bestRank = rank;
    }
  }
  return best;
}

} // namespace starbloom
