#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "frame/program_objects.h"

namespace starbloom {
namespace {

constexpr float PI = 3.1415925f;
constexpr float HALF_PI = 1.5707963f;

enum Kind { TwoStage, Single, Dense, SparkShower };
struct Observed { Kind kind; bool trailing, twinkling, withSecondary; };

// Read back from the tables alone; dense shells are told by their outer stars'
// speed (3 and up), not by the counts that are checked against the kind.
Observed observe(int i) {
  if (!shellTable[i].bursts) return {SparkShower, false, starSparkTable[i].twinkles, false};
  const bool dense = secondaryTable[i].speedMin >= 3.0f;
  EXPECT_EQ(dense, subStarTable[i].speedMin >= 3.0f) << "index " << i;
  return {starTable[i].bursts ? TwoStage : dense ? Dense : Single, shellTable[i].emitsSparks,
          starTable[i].twinkles, shellTable[i].hasSecondary};
}

class ShellDesigner : public ::testing::Test {
 protected:
  void SetUp() override {
    resetProgramObjects();
    seedRandom(20240611u);
  }
  void TearDown() override { resetProgramObjects(); }
  // Runs n designs and hands each one's index and kind to check.
  template <typename Check>
  void design(int n, Check check) {
    for (int d = 0; d < n; ++d) {
      designNextShell();
      check(designCursor, observe(designCursor));
    }
  }
};

// A design that a launched shell points into stays as it was while the
// next DESIGN_SLOTS - 1 designs are made, each into a slot of its own; the
// one after them takes its slot again.
TEST_F(ShellDesigner, ADesignOutlivesTheNextFortyNine) {
  designNextShell();
  const int kept = designCursor;
  const ShellDesign shell = shellTable[kept];
  const ShellDesign star = starTable[kept];
  std::vector<bool> used(DESIGN_SLOTS, false);
  used[kept] = true;
  for (int n = 1; n < DESIGN_SLOTS; ++n) {
    designNextShell();
    ASSERT_TRUE(designCursor >= 0 && designCursor < DESIGN_SLOTS);
    EXPECT_FALSE(used[designCursor]) << "slot " << designCursor << " written twice in a round";
    used[designCursor] = true;
  }
  EXPECT_EQ(std::memcmp(&shellTable[kept], &shell, sizeof shell), 0);
  EXPECT_EQ(std::memcmp(&starTable[kept], &star, sizeof star), 0);
  designNextShell();
  EXPECT_EQ(designCursor, kept);
}

// Spark showers among all designs; two-stage, dense, twinkling and secondary
// stars among regular ones; trailing among those not dense. Each count lies
// within 5 standard deviations of its binomial mean.
TEST_F(ShellDesigner, KindAndModifierFrequenciesMatchTheirChances) {
  const double chance[6] = {0.02, 0.4, 0.06, 0.2, 0.2, 0.8};
  long n[6] = {}, hits[6] = {};
  design(60000, [&](int, Observed o) {
    const bool regular = o.kind != SparkShower;
    const bool among[6] = {true, regular, regular, regular && o.kind != Dense, regular, regular};
    const bool hit[6] = {!regular,   o.kind == TwoStage, o.kind == Dense,
                         o.trailing, o.twinkling,        o.withSecondary};
    for (int k = 0; k < 6; ++k) n[k] += among[k], hits[k] += among[k] && hit[k];
    EXPECT_FALSE(o.kind == Dense && o.trailing) << "dense shells never trail";
  });
  for (int k = 0; k < 6; ++k) {
    const double mean = static_cast<double>(n[k]) * chance[k];
    const double sigma = std::sqrt(mean * (1.0 - chance[k]));
    EXPECT_NEAR(static_cast<double>(hits[k]), mean, 5.0 * sigma) << "case " << k;
  }
}

// Primary stars [min, max] of two-stage, two-stage trailing, single, single
// trailing and dense shells; a star's sub-star maximum (plain, trailing); the
// shell's spark interval (stars': four times it). Levels below 1 act as 1; a
// stored 4 used before the scene set-up turned it into 6 acts as 4.
TEST_F(ShellDesigner, CountsAndSparkIntervalsFollowTheDetailLevel) {
  const struct { std::vector<int> details; int counts[5][2], subStarMax[2]; float interval; } rows[] = {
      {{1, 0, -3}, {{3, 7}, {1, 2}, {53, 107}, {18, 35}, {303, 357}}, {25, 8}, 0.06f},
      {{2}, {{4, 15}, {2, 5}, {104, 215}, {35, 71}, {604, 715}}, {50, 16}, 0.03f},
      {{3}, {{5, 22}, {2, 7}, {155, 322}, {52, 107}, {905, 1072}}, {75, 25}, 0.02f},
      {{6}, {{8, 45}, {3, 15}, {608, 945}, {203, 315}, {2108, 2445}}, {150, 50}, 0.01f},
      {{4}, {{6, 30}, {2, 10}, {206, 430}, {69, 143}, {1206, 1430}}, {100, 33}, 0.015f},
  };
  for (const auto& row : rows) {
    for (const int detail : row.details) {
      SCOPED_TRACE(detail);
      settings.detail = detail;
      int seen[5] = {};
      design(3000, [&](int i, Observed o) {
        EXPECT_FLOAT_EQ(shellTable[i].sparkInterval, row.interval);
        if (o.kind == SparkShower) return;
        const int c = o.kind == Dense ? 4 : 2 * o.kind + o.trailing;
        ++seen[c];
        ASSERT_EQ(shellTable[i].childCountMin, row.counts[c][0]) << "case " << c;
        ASSERT_EQ(shellTable[i].childCountMax, row.counts[c][1]) << "case " << c;
        ASSERT_EQ(starTable[i].childCountMax, row.subStarMax[o.trailing]);
        for (const ShellDesign* d : {&starTable[i], &subStarTable[i], &secondaryTable[i]}) {
          EXPECT_FLOAT_EQ(d->sparkInterval, 4.0f * row.interval);
        }
      });
      for (int c = 0; c < 5; ++c) EXPECT_GT(seen[c], 0) << "case " << c;
    }
  }
}

TEST_F(ShellDesigner, AngleMaxNeverAbovePiNorBelowAngleMin) {
  int capped = 0;
  design(30000, [&](int i, Observed o) {
    const bool shower = o.kind == SparkShower;
    for (const ShellDesign* d : {&starTable[i], &subStarTable[i], &secondaryTable[i]}) {
      if (shower) d = &starSparkTable[i];
      ASSERT_TRUE(d->angleMin >= 0.0f && d->angleMin < HALF_PI);
      ASSERT_TRUE(d->angleMax >= d->angleMin && d->angleMax <= PI);
      ASSERT_LE(d->angleMax, d->angleMin + (shower ? HALF_PI : PI));
      capped += d->angleMax == PI;
    }
  });
  EXPECT_GT(capped, 1000); // sums above pi are common
}

TEST_F(ShellDesigner, DiffuseAndFlashSettingsGateTrailingAndTwinkling) {
  ShellDesign* const tables[] = {shellTable,      starTable,      subStarTable,
                                 secondaryTable,  shellSparkTable, starSparkTable,
                                 subStarSparkTable, secondarySparkTable};
  for (int gate = 0; gate < 4; ++gate) {
    settings.diffuse = (gate & 1) != 0;
    settings.flash = (gate & 2) != 0;
    int trailing = 0, twinkling = 0;
    design(5000, [&](int i, Observed o) {
      for (ShellDesign* table : tables) {
        const bool shower = o.kind == SparkShower; // its shell always trails
        trailing += !shower && table[i].emitsSparks;
        twinkling += (!shower || table == starSparkTable) && table[i].twinkles;
      }
    });
    EXPECT_EQ(trailing > 0, settings.diffuse) << "diffuse " << settings.diffuse;
    EXPECT_EQ(twinkling > 0, settings.flash) << "flash " << settings.flash;
  }
}

TEST_F(ShellDesigner, SparkShowerThenRegularClearsBursts) {
  int x = -1;
  for (int d = 0; d < 100000 && x < 0; ++d) {
    designNextShell();
    if (!shellTable[designCursor].bursts) x = designCursor;
  }
  ASSERT_GE(x, 0);
  ASSERT_TRUE(shellSparkTable[x].bursts);
  for (int d = 0; d < 20 * DESIGN_SLOTS && (d % DESIGN_SLOTS != 0 || !shellTable[x].bursts); ++d) {
    designNextShell();
  }
  ASSERT_TRUE(shellTable[x].bursts);
  EXPECT_FALSE(shellSparkTable[x].bursts);
  EXPECT_EQ(shellSparkTable[x].childCountMax, 0);
}

TEST_F(ShellDesigner, EveryLinkPointsIntoTheSameIndex) {
  design(5000, [&](int i, Observed o) {
    EXPECT_EQ(shellTable[i].sparkDesign, &shellSparkTable[i]);
    if (o.kind == SparkShower) {
      EXPECT_EQ(shellSparkTable[i].childDesign, &starSparkTable[i]);
      return;
    }
    EXPECT_EQ(shellTable[i].childDesign, &starTable[i]);
    EXPECT_EQ(shellTable[i].secondaryDesign, &secondaryTable[i]);
    EXPECT_EQ(shellTable[i].flashDesign, &shellFlashTable[i]);
    EXPECT_EQ(starTable[i].childDesign, &subStarTable[i]);
    EXPECT_EQ(starTable[i].sparkDesign, &starSparkTable[i]);
    EXPECT_EQ(starTable[i].flashDesign, &starFlashTable[i]);
    EXPECT_EQ(subStarTable[i].sparkDesign, &subStarSparkTable[i]);
    EXPECT_EQ(secondaryTable[i].sparkDesign, &secondarySparkTable[i]);
  });
}

// The shell's white is the gain; palette components lie below it (below half
// of it for those drawn at half scale) and come close to that bound.
TEST_F(ShellDesigner, PaletteScalesWithGamma) {
  for (const auto& row : {std::pair<int, float>{5, 0.5f}, {10, 1.0f}, {15, 1.5f}}) {
    settings.gamma = row.first;
    float top[2] = {}; // highest component seen at full and at half scale
    design(20000, [&](int i, Observed o) {
      if (o.kind == SparkShower) return;
      EXPECT_FLOAT_EQ(shellTable[i].startColor.r, row.second);
      const bool twoStage = o.kind == TwoStage;
      const Color4 colours[] = {shellTable[i].endColor, secondaryTable[i].startColor,
                                (twoStage ? starTable : shellTable)[i].endColor,
                                subStarTable[i].endColor, // the last two at half scale
                                (twoStage ? subStarTable : starTable)[i].endColor};
      for (int k = 0; k < 5; ++k) {
        for (const float v : {colours[k].r, colours[k].g, colours[k].b}) {
          ASSERT_TRUE(v >= 0.0f && v < row.second / (k < 3 ? 1 : 2)) << "gamma " << row.first;
          top[k >= 3] = std::fmax(top[k >= 3], v);
        }
      }
      EXPECT_FLOAT_EQ(shellFlashTable[i].startColor.g, 0.8f * shellTable[i].endColor.g);
      EXPECT_FLOAT_EQ(starFlashTable[i].startColor.b, 0.5f * starTable[i].endColor.b);
    });
    EXPECT_TRUE(top[0] > 0.99f * row.second && top[1] > 0.99f * 0.5f * row.second) << row.first;
  }
}

// The particle update tells shells by childCountMin, needs a positive spark
// interval on every emitter and never expects a spark or flash to burst.
TEST_F(ShellDesigner, StagesKeepTheContractOfTheParticleUpdate) {
  for (const int detail : {2, 6}) {
    settings.detail = detail;
    design(10000, [&](int i, Observed o) {
      const ShellDesign &shell = shellTable[i], &spark = shellSparkTable[i], &star = starSparkTable[i];
      const bool shower = o.kind == SparkShower;
      EXPECT_TRUE(shell.childCountMin >= 1 && shell.childCountMin <= shell.childCountMax);
      EXPECT_GE(shell.initialVelocity.y, 10.0f);
      EXPECT_LE(shell.initialVelocity.y, shower ? 30.0f : 20.0f);
      if (shower) {
        EXPECT_TRUE(shell.emitsSparks && !shell.hasSecondary && spark.bursts);
        EXPECT_EQ(spark.childCountMax, 9 * detail);
        EXPECT_TRUE(!star.bursts && star.childCountMin == 0 && star.speedMax == 0.0f);
        return;
      }
      // Stars, then sparks, then flashes.
      const ShellDesign* stages[] = {&starTable[i], &subStarTable[i], &secondaryTable[i],
                                     &spark, &star, &subStarSparkTable[i], &secondarySparkTable[i],
                                     &shellFlashTable[i], &starFlashTable[i]};
      for (int k = 0; k < 9; ++k) {
        const ShellDesign& d = *stages[k];
        const bool sparkSpeed = d.speedMin >= 0.1f && d.speedMin <= 0.5f;
        EXPECT_TRUE(d.childCountMin == 0 && (k < 3 || !d.bursts)) << "stage " << k;
        EXPECT_TRUE(k < 3 || (k < 7 ? !d.emitsSparks && sparkSpeed : d.isFlash)) << "stage " << k;
      }
    });
  }
}

} // namespace
} // namespace starbloom
