#include "frame/egl_config_choice.h"

#include <gtest/gtest.h>

#include <vector>

namespace starbloom {
namespace {

// Lists as EGL ranks them: more colour bits first, as Mesa does.
TEST(EglConfigChoice, PicksEightBitColourWithoutAlpha) {
  const EglConfigTraits rgb10{10, 10, 10, 0};
  const EglConfigTraits rgb10a2{10, 10, 10, 2};
  const EglConfigTraits rgb8{8, 8, 8, 0};
  const EglConfigTraits rgb8a8{8, 8, 8, 8};
  const EglConfigTraits rgb565{5, 6, 5, 0};
  struct Case {
    const char* name;
    std::vector<EglConfigTraits> list;
    int expected;
  };
  const Case cases[] = {
      {"10-bit first", {rgb10, rgb10a2, rgb8, rgb8a8}, 2},
      {"alpha first", {rgb8a8, rgb8a8, rgb8, rgb8}, 2},
      {"8-bit only with alpha", {rgb10, rgb8a8, rgb10a2}, 1},
      {"none fitting: EGL's first", {rgb10a2, rgb10, rgb565}, 0},
      {"the first of equals", {rgb8, rgb8}, 0},
      {"empty", {}, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chooseEglConfig(c.list.data(), static_cast<int>(c.list.size())), c.expected) << c.name;
  }
}

} // namespace
} // namespace starbloom
