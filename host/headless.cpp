// Headless rendering for --render and --bench. The frame driver runs exactly
// as in the saver, on an EGL pbuffer, with the tick count switched to
// simulated time: before frame n the clock is moved to n * 1000 / fps ms
// (rounded), and nothing else moves it (the driver's pacing sleep takes no
// simulated time), so S seconds at F frames a second simulate S seconds in
// S * F frames of 1/F each, to the tick count's millisecond. A run is
// deterministic for a given seed and independent of the machine's speed.
// The per-frame times go into fixed histograms, so a run of any length
// takes the same memory. The picture is written to a temporary file beside
// the target and renamed over it only when complete. With
// STARBLOOM_PASS_TIMES=1 in the environment, --bench also times every
// drawing pass (each one finished with glFinish) and prints one more line.
#include "host/headless.h"

#include <stb_image_write.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "frame/platform_time.h"
#include "frame/program_objects.h"
#include "host/time_histogram.h"
#include "report/quoted_text.h"
#include "scene/pass_timer.h"

namespace starbloom {

namespace {

// Checks that a picture can be written next to path before any rendering.
bool probeWritable(const std::string& path, const std::string& temporary) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) return false;
  std::fclose(f);
  std::remove(temporary.c_str());
  return true;
}

bool writePng(const std::string& path, const std::string& temporary, int width, int height,
              const std::vector<std::uint8_t>& rgb) {
  if (stbi_write_png(temporary.c_str(), width, height, 3, rgb.data(), width * 3) == 0) {
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

const char* const PASS_NAMES[FRAME_PASS_COUNT] = {"other", "landscape_first", "landscape_second",
                                                   "sprites", "halos", "flares"};

// "pass_ms NAME=MEAN/P95 ..." for every pass.
std::string formatPassTimes(const std::vector<TimeHistogram>& passes) {
  std::string line = "pass_ms";
  for (int k = 0; k < FRAME_PASS_COUNT; ++k) {
    char item[96];
    std::snprintf(item, sizeof item, " %s=%.3f/%.3f", PASS_NAMES[k], passes[k].mean(),
                  passes[k].percentile(0.95));
    line += item;
  }
  return line;
}

} // namespace

std::string formatFigures(const HeadlessFigures& f) {
  char line[256];
  std::snprintf(line, sizeof line,
                "frames=%d launches=%d peak_particles=%d update_ms_mean=%.3f update_ms_p95=%.3f "
                "draw_ms_mean=%.3f draw_ms_p95=%.3f",
                f.frames, f.launches, f.peakParticles, f.updateMsMean, f.updateMsP95, f.drawMsMean,
                f.drawMsP95);
  return line;
}

int runHeadless(const LaunchOptions& options) {
  const bool picture = options.mode == LaunchMode::Render;
  const std::string temporary = options.output + ".tmp" + std::to_string(getpid());
  if (picture && !probeWritable(options.output, temporary)) {
    std::fprintf(stderr, "starbloom: cannot write %s\n", quotedText(options.output).c_str());
    return 1;
  }

  const std::uint32_t start = options.haveSeed ? options.seed : tickCount();
  useSimulatedTime(start);
  renderContext.surface.binding = SurfaceBinding::Offscreen;
  startUp(0, options.width, options.height, 24);
  if (!renderContext.surface.isCurrent()) {
    std::fprintf(stderr, "starbloom: cannot create an off-screen OpenGL context of %dx%d\n",
                 options.width, options.height);
    return 1;
  }

  const long frames = std::max(1L, std::lround(options.seconds * options.fps));
  // Two histograms of about 15 KB each, so kept off the stack.
  std::vector<TimeHistogram> histograms(2);
  TimeHistogram& updateMs = histograms[0];
  TimeHistogram& drawMs = histograms[1];
  HeadlessFigures figures;
  const char* timing = std::getenv("STARBLOOM_PASS_TIMES");
  passTimes.enabled = !picture && timing != nullptr && std::strcmp(timing, "1") == 0;
  std::vector<TimeHistogram> passes(passTimes.enabled ? FRAME_PASS_COUNT : 0);
  using Clock = std::chrono::steady_clock;
  for (long n = 0; n < frames; ++n) {
    const std::uint32_t due = start + static_cast<std::uint32_t>(
                                          std::llround(static_cast<double>(n) * 1000.0 / options.fps));
    const std::uint32_t now = tickCount();
    if (static_cast<std::int32_t>(due - now) > 0) advanceSimulatedTime(due - now);
    const Clock::time_point before = Clock::now();
    if (passTimes.enabled) startPassTimes();
    runFrame();
    if (passTimes.enabled) {
      markPass(FramePass::Other);
      for (int k = 0; k < FRAME_PASS_COUNT; ++k) passes[k].add(passTimes.ms[k]);
    }
    const double totalMs = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
    const double update = frameDriver.updateMs;
    updateMs.add(update);
    drawMs.add(std::max(0.0, totalMs - update));
    figures.peakParticles = std::max(figures.peakParticles, static_cast<int>(particleStore.count));
  }
  figures.frames = static_cast<int>(frames);
  figures.launches = frameDriver.launchCount;
  figures.updateMsMean = updateMs.mean();
  figures.updateMsP95 = updateMs.percentile(0.95);
  figures.drawMsMean = drawMs.mean();
  figures.drawMsP95 = drawMs.percentile(0.95);

  if (picture) {
    std::vector<std::uint8_t> rgb;
    if (!renderContext.surface.readPixels(rgb) ||
        !writePng(options.output, temporary, options.width, options.height, rgb)) {
      std::fprintf(stderr, "starbloom: cannot write %s\n", quotedText(options.output).c_str());
      return 1;
    }
  }
  std::printf("%s\n", formatFigures(figures).c_str());
  if (passTimes.enabled) std::printf("%s\n", formatPassTimes(passes).c_str());
  std::fflush(stdout);
  return 0;
}

} // namespace starbloom
