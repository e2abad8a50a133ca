#pragma once
// Headless rendering: the frame driver runs off screen on simulated time, so
// seconds of fireworks render as fast as the machine allows.
#include <cstdint>
#include <string>

#include "host/command_line.h"

namespace starbloom {

struct HeadlessFigures {
  int frames = 0;
  int launches = 0;
  int peakParticles = 0;
  double updateMsMean = 0.0; // wall-clock milliseconds per frame
  double updateMsP95 = 0.0;
  double drawMsMean = 0.0;   // includes glFinish
  double drawMsP95 = 0.0;
};

// "frames=N launches=N peak_particles=N update_ms_mean=X ..."
std::string formatFigures(const HeadlessFigures& figures);

// Runs --render or --bench with the settings already read; returns the exit
// status. Errors are one line on stderr.
int runHeadless(const LaunchOptions& options);

} // namespace starbloom
