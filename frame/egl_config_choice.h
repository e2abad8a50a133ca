#pragma once
// Which EGL configuration the program draws with, from the list that
// eglChooseConfig answers (its minimums already met, best first by EGL's
// own ranking). Plain logic over the configurations' channel sizes, apart
// from EGL so that it can be tried on made-up lists.
namespace starbloom {

struct EglConfigTraits {
  int red = 0;   // bits of each channel
  int green = 0;
  int blue = 0;
  int alpha = 0;
};

// The index of the configuration to use, -1 for an empty list. A window's
// buffer goes to the compositor as it is: 8 bits of red, green and blue
// exactly (Mesa lists 10-bit ones first, which compositors may convert in
// software every frame) and no alpha (which a compositor may take for
// transparency where the sky is black). The first such entry wins; failing
// that, the first with 8-bit colour and alpha; failing that, the first.
int chooseEglConfig(const EglConfigTraits* configs, int count);

} // namespace starbloom
