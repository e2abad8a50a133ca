#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "fireworks/shell_design.h"
#include "math/random.h"
#include "settings/settings.h"

namespace starbloom {
namespace {

constexpr float PI = 3.1415925f;
constexpr float HALF_PI = 1.5707963f;

enum class Kind { SparkShower, TwoStage, Single, Dense };

// What a design turned out to be, read back from the tables alone. Dense is
// told by the speed of its secondary stars (3 and up), not by the counts, so
// the count checks below do not lean on themselves.
struct Observed {
  Kind kind = Kind::Single;
  bool trailing = false;
  bool twinkling = false;
  bool withSecondary = false;
};

Observed observe(int i) {
  Observed o;
  if (!shellTable[i].bursts) {
    o.kind = Kind::SparkShower;
    o.twinkling = starSparkTable[i].twinkles;
    return o;
  }
  const bool dense = secondaryTable[i].speedMin >= 3.0f;
  EXPECT_EQ(dense, subStarTable[i].speedMin >= 3.0f) << "index " << i;
  o.kind = starTable[i].bursts ? Kind::TwoStage : dense ? Kind::Dense : Kind::Single;
  o.trailing = shellTable[i].emitsSparks;
  o.twinkling = starTable[i].twinkles;
  o.withSecondary = shellTable[i].hasSecondary;
  return o;
}

class ShellDesigner : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSettings = settings;
    savedCursor = designCursor;
    savedState = randomState;
    settings = Settings{};
    designCursor = 0;
    seedRandom(20240611u);
  }
  void TearDown() override {
    settings = savedSettings;
    designCursor = savedCursor;
    randomState = savedState;
  }

  // Runs n designs and hands each one's index to check.
  template <typename Check>
  void design(int n, Check check) {
    for (int d = 0; d < n; ++d) {
      designNextShell();
      check(designCursor);
    }
  }

  Settings savedSettings;
  int savedCursor = 0;
  std::uint32_t savedState = 0;
};

// Within 5 standard deviations of a binomial(n, p) count.
void expectBinomial(const char* what, long hits, long n, double p) {
  const double mean = static_cast<double>(n) * p;
  const double sigma = std::sqrt(static_cast<double>(n) * p * (1.0 - p));
  EXPECT_NEAR(static_cast<double>(hits), mean, 5.0 * sigma) << what << ": " << hits << " of " << n;
}

TEST_F(ShellDesigner, CursorRunsFromOneToFortyNineThenZero) {
  for (int expected = 1; expected <= 49; ++expected) {
    designNextShell();
    ASSERT_EQ(designCursor, expected);
  }
  designNextShell();
  EXPECT_EQ(designCursor, 0);
  designNextShell();
  EXPECT_EQ(designCursor, 1);
}

TEST_F(ShellDesigner, KindAndModifierFrequenciesMatchTheirChances) {
  long n = 0, shower = 0, regular = 0, twoStage = 0, dense = 0, trailing = 0, notDense = 0;
  long twinkling = 0, secondary = 0;
  design(60000, [&](int i) {
    const Observed o = observe(i);
    ++n;
    if (o.kind == Kind::SparkShower) {
      ++shower;
      return;
    }
    ++regular;
    if (o.kind == Kind::TwoStage) ++twoStage;
    if (o.kind == Kind::Dense) {
      ++dense;
      EXPECT_FALSE(o.trailing) << "dense shells never trail";
    }
    if (o.kind != Kind::Dense) {
      ++notDense;
      if (o.trailing) ++trailing;
    }
    if (o.twinkling) ++twinkling;
    if (o.withSecondary) ++secondary;
  });
  expectBinomial("spark shower", shower, n, 0.02);
  expectBinomial("two-stage", twoStage, regular, 0.4);
  expectBinomial("dense", dense, regular, 0.06);
  expectBinomial("trailing", trailing, notDense, 0.2);
  expectBinomial("twinkling", twinkling, regular, 0.2);
  expectBinomial("secondary stars", secondary, regular, 0.8);
}

TEST_F(ShellDesigner, PrimaryStarCountsFollowTheDetailTable) {
  struct Row {
    int detail;
    Kind kind;
    bool trailing;
    int countMin, countMax; // the shell's primary stars
    int subStarMax;         // a star's childCountMax
  };
  const Row rows[] = {
      {1, Kind::TwoStage, false, 3, 7, 25},     {1, Kind::TwoStage, true, 1, 2, 8},
      {1, Kind::Single, false, 53, 107, 25},    {1, Kind::Single, true, 18, 35, 8},
      {1, Kind::Dense, false, 303, 357, 25},    {2, Kind::TwoStage, false, 4, 15, 50},
      {2, Kind::TwoStage, true, 2, 5, 16},      {2, Kind::Single, false, 104, 215, 50},
      {2, Kind::Single, true, 35, 71, 16},      {2, Kind::Dense, false, 604, 715, 50},
      {3, Kind::TwoStage, false, 5, 22, 75},    {3, Kind::TwoStage, true, 2, 7, 25},
      {3, Kind::Single, false, 155, 322, 75},   {3, Kind::Single, true, 52, 107, 25},
      {3, Kind::Dense, false, 905, 1072, 75},   {6, Kind::TwoStage, false, 8, 45, 150},
      {6, Kind::TwoStage, true, 3, 15, 50},     {6, Kind::Single, false, 608, 945, 150},
      {6, Kind::Single, true, 203, 315, 50},    {6, Kind::Dense, false, 2108, 2445, 150},
      // Called before the scene set-up turned a stored 4 into 6: used as 4.
      {4, Kind::TwoStage, false, 6, 30, 100},   {4, Kind::Single, false, 206, 430, 100},
      // Nonsense levels from before set-up act as level 1.
      {0, Kind::TwoStage, false, 3, 7, 25},     {0, Kind::Dense, false, 303, 357, 25},
      {-3, Kind::Single, true, 18, 35, 8},
  };
  for (const Row& row : rows) {
    settings.detail = row.detail;
    int seen = 0;
    design(20000, [&](int i) {
      const Observed o = observe(i);
      if (o.kind != row.kind || o.trailing != row.trailing) return;
      ++seen;
      ASSERT_EQ(shellTable[i].childCountMin, row.countMin) << "detail " << row.detail;
      ASSERT_EQ(shellTable[i].childCountMax, row.countMax) << "detail " << row.detail;
      ASSERT_EQ(starTable[i].childCountMax, row.subStarMax) << "detail " << row.detail;
    });
    EXPECT_GT(seen, 0) << "detail " << row.detail << " kind " << static_cast<int>(row.kind);
  }
}

TEST_F(ShellDesigner, SparkIntervalsShrinkWithDetailAndStayPositive) {
  struct Row {
    int detail;
    float shellInterval, starInterval; // seconds
  };
  const Row rows[] = {{1, 0.06f, 0.24f}, {2, 0.03f, 0.12f}, {3, 0.02f, 0.08f},
                      {6, 0.01f, 0.04f}, {0, 0.06f, 0.24f}, {-5, 0.06f, 0.24f}};
  for (const Row& row : rows) {
    settings.detail = row.detail;
    design(400, [&](int i) {
      ASSERT_TRUE(std::isfinite(shellTable[i].sparkInterval));
      EXPECT_FLOAT_EQ(shellTable[i].sparkInterval, row.shellInterval) << "detail " << row.detail;
      if (observe(i).kind == Kind::SparkShower) return;
      EXPECT_FLOAT_EQ(starTable[i].sparkInterval, row.starInterval) << "detail " << row.detail;
      EXPECT_FLOAT_EQ(subStarTable[i].sparkInterval, row.starInterval);
      EXPECT_FLOAT_EQ(secondaryTable[i].sparkInterval, row.starInterval);
    });
  }
}

TEST_F(ShellDesigner, AngleMaxNeverAbovePiNorBelowAngleMin) {
  int capped = 0, showers = 0;
  design(30000, [&](int i) {
    const ShellDesign* cones[3] = {&starTable[i], &subStarTable[i], &secondaryTable[i]};
    float width = PI;
    if (observe(i).kind == Kind::SparkShower) {
      ++showers;
      cones[0] = cones[1] = cones[2] = &starSparkTable[i];
      width = HALF_PI;
    } else {
      EXPECT_EQ(shellFlashTable[i].angleMin, HALF_PI);
      EXPECT_EQ(starFlashTable[i].angleMax, HALF_PI);
    }
    for (const ShellDesign* d : cones) {
      ASSERT_GE(d->angleMin, 0.0f);
      ASSERT_LT(d->angleMin, HALF_PI);
      ASSERT_GE(d->angleMax, d->angleMin);
      ASSERT_LE(d->angleMax, PI);
      ASSERT_LE(d->angleMax, d->angleMin + width);
      if (d->angleMax == PI) ++capped;
    }
  });
  EXPECT_GT(showers, 0);
  EXPECT_GT(capped, 1000); // the cap is reached often: sums above pi are common
}

TEST_F(ShellDesigner, DiffuseAndFlashSettingsGateTrailingAndTwinkling) {
  struct Row {
    bool diffuse, flash;
  };
  const Row rows[] = {{true, true}, {false, true}, {true, false}, {false, false}};
  for (const Row& row : rows) {
    settings.diffuse = row.diffuse;
    settings.flash = row.flash;
    int trailing = 0, twinkling = 0;
    design(5000, [&](int i) {
      if (observe(i).kind == Kind::SparkShower) {
        twinkling += starSparkTable[i].twinkles;
        return;
      }
      const ShellDesign* stages[] = {&shellTable[i], &starTable[i], &subStarTable[i],
                                     &secondaryTable[i], &shellSparkTable[i],
                                     &starSparkTable[i], &subStarSparkTable[i],
                                     &secondarySparkTable[i]};
      for (const ShellDesign* d : stages) {
        trailing += d->emitsSparks;
        twinkling += d->twinkles;
      }
    });
    EXPECT_EQ(trailing > 0, row.diffuse) << "diffuse " << row.diffuse;
    EXPECT_EQ(twinkling > 0, row.flash) << "flash " << row.flash;
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
  ASSERT_NE(shellSparkTable[x].childCountMax, 0);
  bool regularAgain = false;
  for (int round = 0; round < 20 && !regularAgain; ++round) {
    for (int d = 0; d < DESIGN_SLOTS; ++d) designNextShell();
    ASSERT_EQ(designCursor, x);
    regularAgain = shellTable[x].bursts;
  }
  ASSERT_TRUE(regularAgain);
  EXPECT_FALSE(shellSparkTable[x].bursts);
  EXPECT_FALSE(shellSparkTable[x].emitsSparks);
  EXPECT_EQ(shellSparkTable[x].childCountMin, 0);
}

TEST_F(ShellDesigner, SparkShowerLeavesItsSevenUnusedTablesAlone) {
  ShellDesign* untouched[] = {starTable, subStarTable, secondaryTable, shellFlashTable,
                              starFlashTable, subStarSparkTable, secondarySparkTable};
  int showers = 0;
  for (int d = 0; d < 20000; ++d) {
    const int next = (designCursor + 1) % DESIGN_SLOTS;
    ShellDesign before[7];
    for (int t = 0; t < 7; ++t) before[t] = untouched[t][next];
    designNextShell();
    if (observe(next).kind != Kind::SparkShower) continue;
    ++showers;
    for (int t = 0; t < 7; ++t) {
      const ShellDesign& after = untouched[t][next];
      EXPECT_EQ(after.speedMin, before[t].speedMin) << "table " << t;
      EXPECT_EQ(after.lifetimeMax, before[t].lifetimeMax) << "table " << t;
      EXPECT_EQ(after.startColor.r, before[t].startColor.r) << "table " << t;
      EXPECT_EQ(after.sparkDesign, before[t].sparkDesign) << "table " << t;
    }
  }
  EXPECT_GT(showers, 100);
}

TEST_F(ShellDesigner, EveryLinkPointsIntoTheSameIndex) {
  design(5000, [&](int i) {
    if (observe(i).kind == Kind::SparkShower) {
      EXPECT_EQ(shellTable[i].sparkDesign, &shellSparkTable[i]);
      EXPECT_EQ(shellSparkTable[i].childDesign, &starSparkTable[i]);
      return;
    }
    EXPECT_EQ(shellTable[i].childDesign, &starTable[i]);
    EXPECT_EQ(shellTable[i].secondaryDesign, &secondaryTable[i]);
    EXPECT_EQ(shellTable[i].sparkDesign, &shellSparkTable[i]);
    EXPECT_EQ(shellTable[i].flashDesign, &shellFlashTable[i]);
    EXPECT_EQ(starTable[i].childDesign, &subStarTable[i]);
    EXPECT_EQ(starTable[i].sparkDesign, &starSparkTable[i]);
    EXPECT_EQ(starTable[i].flashDesign, &starFlashTable[i]);
    EXPECT_EQ(subStarTable[i].sparkDesign, &subStarSparkTable[i]);
    EXPECT_EQ(secondaryTable[i].sparkDesign, &secondarySparkTable[i]);
  });
}

TEST_F(ShellDesigner, PaletteScalesWithGamma) {
  struct Row {
    int gamma;
    float factor; // the white of the shell; random components stay below it
  };
  const Row rows[] = {{5, 0.5f}, {10, 1.0f}, {15, 1.5f}};
  for (const Row& row : rows) {
    settings.gamma = row.gamma;
    float fullMax = 0.0f, halfMax = 0.0f; // components drawn at full and half scale
    design(20000, [&](int i) {
      if (observe(i).kind == Kind::SparkShower) return;
      const Color4 white = shellTable[i].startColor;
      EXPECT_FLOAT_EQ(white.r, row.factor);
      EXPECT_FLOAT_EQ(white.b, row.factor);
      const bool twoStage = starTable[i].bursts;
      const Color4 full[] = {shellTable[i].endColor, secondaryTable[i].startColor,
                             twoStage ? starTable[i].endColor : shellTable[i].endColor};
      const Color4 half[] = {subStarTable[i].endColor,
                             twoStage ? subStarTable[i].endColor : starTable[i].endColor};
      for (const Color4& c : full) {
        for (float v : {c.r, c.g, c.b}) {
          ASSERT_GE(v, 0.0f);
          ASSERT_LT(v, row.factor);
          fullMax = std::fmax(fullMax, v);
        }
      }
      for (const Color4& c : half) {
        for (float v : {c.r, c.g, c.b}) {
          ASSERT_GE(v, 0.0f);
          ASSERT_LT(v, 0.5f * row.factor);
          halfMax = std::fmax(halfMax, v);
        }
      }
      const Color4 a = shellTable[i].endColor, b = starTable[i].endColor;
      EXPECT_FLOAT_EQ(shellFlashTable[i].startColor.g, 0.8f * a.g);
      EXPECT_FLOAT_EQ(shellFlashTable[i].endColor.g, 0.8f * a.g);
      EXPECT_FLOAT_EQ(starFlashTable[i].startColor.b, 0.5f * b.b);
    });
    EXPECT_GT(fullMax, 0.99f * row.factor) << "gamma " << row.gamma;
    EXPECT_GT(halfMax, 0.99f * 0.5f * row.factor) << "gamma " << row.gamma;
  }
}

TEST_F(ShellDesigner, SparkShowerRecords) {
  for (int detail : {2, 6}) {
    settings.detail = detail;
    int showers = 0;
    design(20000, [&](int i) {
      if (observe(i).kind != Kind::SparkShower) return;
      ++showers;
      const ShellDesign& shell = shellTable[i];
      EXPECT_EQ(shell.childCountMin, 1);
      EXPECT_EQ(shell.childCountMax, 1);
      EXPECT_TRUE(shell.emitsSparks);
      EXPECT_FALSE(shell.hasSecondary);
      EXPECT_GT(shell.sparkInterval, 0.0f);
      EXPECT_EQ(shell.gravity, 6.0f);
      EXPECT_LE(std::fabs(shell.initialVelocity.x), 15.0f);
      EXPECT_LE(std::fabs(shell.initialVelocity.z), 15.0f);
      EXPECT_GE(shell.initialVelocity.y, 10.0f);
      EXPECT_LE(shell.initialVelocity.y, 30.0f);
      EXPECT_EQ(shell.launchPosition.y, 0.0f);

      const ShellDesign& spark = shellSparkTable[i];
      EXPECT_TRUE(spark.bursts);
      EXPECT_EQ(spark.childCountMin, 0);
      EXPECT_EQ(spark.childCountMax, 9 * detail);
      EXPECT_GE(spark.speedMin, 0.1f);
      EXPECT_LE(spark.speedMin, 1.5f);
      EXPECT_LE(spark.burstAgeMin, spark.burstAgeMax);

      const ShellDesign& star = starSparkTable[i];
      EXPECT_FALSE(star.bursts);
      EXPECT_EQ(star.speedMax, 0.0f);
      EXPECT_EQ(star.childCountMax, 0);
      EXPECT_GE(star.speedMin, 0.5f);
      EXPECT_LE(star.speedMin, 1.5f);
      EXPECT_EQ(star.lifetimeMin, star.lifetimeMax);
      EXPECT_GE(star.lifetimeMin, 0.2f);
      EXPECT_LE(star.lifetimeMin, 1.5f);
    });
    EXPECT_GT(showers, 200) << "detail " << detail;
  }
}

// The particle update tells shells by childCountMin, needs a positive spark
// interval on every emitter and never expects a spark or flash to burst.
TEST_F(ShellDesigner, RegularStagesKeepTheContractOfTheParticleUpdate) {
  settings.spread = 20;
  design(20000, [&](int i) {
    if (observe(i).kind == Kind::SparkShower) return;
    const ShellDesign& shell = shellTable[i];
    EXPECT_GE(shell.childCountMin, 1);
    EXPECT_LE(shell.childCountMin, shell.childCountMax);
    EXPECT_GE(shell.initialVelocity.x, -5.0f);
    EXPECT_LT(shell.initialVelocity.x, 5.0f);
    EXPECT_GE(shell.initialVelocity.y, 10.0f);
    EXPECT_LE(shell.initialVelocity.y, 20.0f);
    EXPECT_GE(shell.launchPosition.z, -10.0f);
    EXPECT_LT(shell.launchPosition.z, 10.0f);
    const ShellDesign* stars[] = {&starTable[i], &subStarTable[i], &secondaryTable[i]};
    for (const ShellDesign* d : stars) {
      EXPECT_EQ(d->childCountMin, 0);
      EXPECT_LE(d->speedMin, d->speedMax);
      EXPECT_LE(d->lifetimeMin, d->lifetimeMax);
      if (d->emitsSparks) {
        EXPECT_GT(d->sparkInterval, 0.0f);
      }
    }
    EXPECT_LE(starTable[i].burstAgeMin, starTable[i].burstAgeMax);
    const ShellDesign* sparks[] = {&shellSparkTable[i], &starSparkTable[i],
                                   &subStarSparkTable[i], &secondarySparkTable[i]};
    for (const ShellDesign* d : sparks) {
      EXPECT_FALSE(d->bursts);
      EXPECT_FALSE(d->emitsSparks);
      EXPECT_EQ(d->childCountMin, 0);
      EXPECT_GE(d->speedMin, 0.1f);
      EXPECT_LE(d->speedMin, 0.5f);
    }
    EXPECT_TRUE(shellFlashTable[i].isFlash);
    EXPECT_TRUE(starFlashTable[i].isFlash);
    EXPECT_FALSE(shellFlashTable[i].bursts);
    EXPECT_EQ(shellFlashTable[i].size, 50.0f);
    EXPECT_EQ(starFlashTable[i].size, 14.0f);
  });
}

} // namespace
} // namespace starbloom
