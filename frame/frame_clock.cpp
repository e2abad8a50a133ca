// The frame clock: the time step of each frame from the millisecond tick
// count, and the frames-per-second figure shown in the window's corner.
//
// Deltas are unsigned 32-bit differences of the tick count, so the count's
// wrap-around after about 49.7 days yields the true small delta. The first
// tick has no previous frame and answers a nominal 0.033 s. Frames and
// milliseconds are summed until more than fpsPeriod has passed; then the rate
// (frames per second, in double precision) is formatted into fpsText and the
// sums start again. The clock itself draws nothing: it marks the overlay as
// due, and the rendering context draws the text into the frame right before
// presenting it (see fps_overlay.cpp).
//
// The figure has five significant digits in one of two forms, chosen by the
// rate's range: fixed notation for 0.1 <= rate < 100000 with trailing zeros
// after the point dropped but the point kept ("59.524", "60.", "62.5"), and
// exponent notation otherwise, four decimals with trailing zeros dropped and
// a signed three-digit exponent ("1.2346e+005", "5.e-002"). Every double,
// including 0, infinities, NaN and values far outside any real frame rate,
// fits the 12-byte buffer. Cost per frame: a few integer operations, plus
// one formatting about once a second.
#include "frame/frame_clock.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/platform_time.h"

namespace starbloom {

namespace {

constexpr float FIRST_FRAME_SECONDS = 0.033f; // nominal step before a second tick exists
constexpr int SIGNIFICANT_DIGITS = 5;
constexpr double FIXED_MIN = 0.1;      // smallest rate in fixed notation
constexpr double FIXED_LIMIT = 100000.0; // first rate in exponent notation
constexpr int EXPONENT_DECIMALS = SIGNIFICANT_DIGITS - 1;
constexpr int SCRATCH = 64; // room for any formatted double

// Drops zeros at the end of text that has a decimal point, keeping the point.
void dropTrailingZeros(char* text) {
  if (std::strchr(text, '.') == nullptr) return;
  std::size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == '0') text[--n] = '\0';
}

// Gives a number without a decimal point one at its end ("60" -> "60.").
void keepPoint(char* text) {
  if (std::strchr(text, '.') != nullptr) return;
  const std::size_t n = std::strlen(text);
  text[n] = '.';
  text[n + 1] = '\0';
}

void copyOut(const char* text, char (&out)[FPS_TEXT_CAPACITY]) {
  std::snprintf(out, FPS_TEXT_CAPACITY, "%s", text);
}

// Fixed notation rounded to five significant digits. The decimal exponent of
// the rounded value decides how many decimals remain, so 99999.7 becomes
// "100000." rather than gaining a sixth digit.
void formatFixed(double rate, char (&out)[FPS_TEXT_CAPACITY]) {
  char scratch[SCRATCH];
  std::snprintf(scratch, sizeof scratch, "%.*e", EXPONENT_DECIMALS, rate);
  const char* e = std::strchr(scratch, 'e');
  const int exponent = e != nullptr ? std::atoi(e + 1) : 0;
  int decimals = SIGNIFICANT_DIGITS - 1 - exponent;
  if (decimals < 0) decimals = 0;
  std::snprintf(scratch, sizeof scratch, "%.*f", decimals, rate);
  keepPoint(scratch);
  dropTrailingZeros(scratch);
  copyOut(scratch, out);
}

// Mantissa with trailing zeros dropped, 'e', sign, three exponent digits.
// Only a negative value could outgrow the buffer with four decimals; it then
// loses decimals until it fits.
void formatExponent(double rate, char (&out)[FPS_TEXT_CAPACITY]) {
  char scratch[SCRATCH];
  for (int decimals = EXPONENT_DECIMALS; decimals >= 0; --decimals) {
    std::snprintf(scratch, sizeof scratch, "%.*e", decimals, rate);
    char* e = std::strchr(scratch, 'e');
    if (e == nullptr) break; // cannot happen for a finite value
    const int exponent = std::atoi(e + 1);
    *e = '\0';
    keepPoint(scratch);
    dropTrailingZeros(scratch);
    const std::size_t mantissa = std::strlen(scratch);
    std::snprintf(scratch + mantissa, sizeof scratch - mantissa, "e%c%03d",
                  exponent < 0 ? '-' : '+', std::abs(exponent));
    if (std::strlen(scratch) < static_cast<std::size_t>(FPS_TEXT_CAPACITY)) break;
  }
  copyOut(scratch, out);
}

} // namespace

void formatFps(double rate, char (&out)[FPS_TEXT_CAPACITY]) {
  if (std::isnan(rate)) {
    copyOut("nan", out);
  } else if (std::isinf(rate)) {
    copyOut(rate > 0.0 ? "inf" : "-inf", out);
  } else if (rate >= FIXED_MIN && rate < FIXED_LIMIT) {
    formatFixed(rate, out);
  } else {
    formatExponent(rate, out);
  }
}

float FrameClock::tick() {
  if (!started) {
    started = true;
    lastTick = tickCount();
    overlayDue = false;
    return FIRST_FRAME_SECONDS;
  }

  const std::uint32_t now = tickCount();
  const std::uint32_t delta = now - lastTick; // unsigned: a wrapped count still gives the true gap
  lastTick = now;
  // A pause of weeks (a suspended machine) must not overflow the sum.
  const long long sum = static_cast<long long>(accumulatedMs) + delta;
  accumulatedMs = sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
  if (frameCount < INT_MAX) frameCount += 1;

  // accumulatedMs > 0 keeps the division sound even after setOverlay with a
  // negative period.
  if (accumulatedMs > fpsPeriod && accumulatedMs > 0) {
    const double seconds = static_cast<double>(accumulatedMs) * 0.001;
    const double rate = static_cast<double>(frameCount) / seconds;
    formatFps(rate, fpsText);
    accumulatedMs = 0;
    frameCount = 0;
  }

  // The text is white on a transparent background whether or not it shows;
  // the overlay drawing sets both, so only the decision is kept here.
  overlayDue = showOverlay;
  return static_cast<float>(static_cast<double>(delta) * 0.001);
}

bool FrameClock::setOverlay(bool show, int period) {
  showOverlay = show;
  fpsPeriod = period;
  return true;
}

} // namespace starbloom
