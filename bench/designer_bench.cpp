// Cost of composing one firework: the kind rolls, the palette and the ten
// stage records that designNextShell writes at the next table index. The
// designer runs once per launch (at most two launches a second), so this is
// a budget check rather than a hot path.
#include <benchmark/benchmark.h>

#include "fireworks/shell_design.h"
#include "math/random.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

void BM_DesignNextShell(benchmark::State& state) {
  const Settings saved = settings;
  settings = Settings{};
  settings.detail = static_cast<int>(state.range(0));
  seedRandom(12345u);
  for (auto _ : state) {
    designNextShell();
    benchmark::DoNotOptimize(shellTable[designCursor].childCountMax);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  settings = saved;
}
BENCHMARK(BM_DesignNextShell)->Arg(2)->Arg(6);

} // namespace
} // namespace starbloom
