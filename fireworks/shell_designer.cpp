// The shell designer composes one firework per launch as ten linked stage
// records written at the same index of the ten design tables: the shell, its
// stars, their sub-stars, the secondary stars, two flashes and four spark
// stages. A handful of unit draws (rand15 / 32768, in [0, 1)) pick the kind
// and its modifiers, five more colour triples make the palette, and the
// remaining draws shape each stage.
//
// Draw order, which fixes the probabilities and is kept statement by
// statement below (never inside one expression or argument list, whose
// evaluation order C++ leaves open):
//   kind:    twoStage, withSecondary, dense (only when not twoStage),
//            trailing, twinkling, sparkShower;
//   palette: colorA, colorB (plus a halved redraw unless twoStage), colorC,
//            colorD, each r, g, b;
//   regular: shell velocity x, y, z and launch x, z; star burst age, speeds,
//            angles; sub-star then secondary speeds and angles; the spark
//            stages shell (speed only, its lifetime is fixed), star,
//            sub-star, secondary (lifetime, then speed); the two flashes
//            draw nothing;
//   shower:  shell velocity x, y, z and launch x, z; bursting-spark speed;
//            their stars' lifetime, speed and angles.
//
// Invariants: every written record is cleared first, so no field of a
// written record keeps a value from an earlier design (a regular design after
// a spark shower at the same index leaves its shell sparks non-bursting);
// every link points into the same index; angleMax lies in [angleMin, pi];
// sparkInterval > 0 wherever emitsSparks is set, since the detail level used
// is at least 1. The spark shower writes only its three tables; the other
// seven keep their older contents and are never reached from its shell.
//
// Cost: about 40 draws and ten record writes per launch, no allocation.
#include "fireworks/shell_design.h"

#include "math/random.h"
#include "settings/settings.h"

namespace starbloom {

namespace {

constexpr float PI = 3.1415925f;       // cone angles use these single-precision values
constexpr float HALF_PI = 1.5707963f;

// The scene set-up leaves detail at 1, 2, 3 or 6; a designer run before it
// (or a hand-set value) must still give positive spark intervals and counts
// that fit in 32 bits, so the level is kept within 1..MAX_DETAIL_LEVEL.
constexpr int MAX_DETAIL_LEVEL = 1000000;

// One palette colour: r, g, b drawn in that order, each scale * u.
Color4 drawColor(float scale) {
  Color4 c;
  c.r = scale * unitDraw();
  c.g = scale * unitDraw();
  c.b = scale * unitDraw();
  c.a = 1.0f;
  return c;
}

struct Palette {
  Color4 white;
  Color4 colorA;
  Color4 colorB;
  Color4 colorC;
  Color4 colorD;
};

// The five-colour palette; colorB is dimmed to half unless the shell has two
// stages, where it colours the sub-stars' start.
Palette drawPalette(bool twoStage, float gammaFactor) {
  Palette p;
  p.white = Color4{1.0f, 1.0f, 1.0f, 1.0f};
  p.colorA = drawColor(1.0f);
  p.colorB = drawColor(1.0f);
  if (!twoStage) p.colorB = drawColor(0.5f);
  p.colorC = drawColor(0.5f);
  p.colorD = drawColor(1.0f);
  p.white = scaleRgb(p.white, gammaFactor);
  p.colorA = scaleRgb(p.colorA, gammaFactor);
  p.colorB = scaleRgb(p.colorB, gammaFactor);
  p.colorC = scaleRgb(p.colorC, gammaFactor);
  p.colorD = scaleRgb(p.colorD, gammaFactor);
  return p;
}

// Clears the record and fills what every stage carries; the caller sets the
// role's flags, links and drawn values.
ShellDesign& beginStage(ShellDesign& d, Color4 start, Color4 end, float lifetimeMin,
                        float lifetimeMax, float size) {
  d = ShellDesign{};
  d.startColor = start;
  d.endColor = end;
  d.lifetimeMin = lifetimeMin;
  d.lifetimeMax = lifetimeMax;
  d.size = size;
  return d;
}

// angleMin = u * pi/2, angleMax = angleMin + u' * width, capped at pi. The cap
// keeps the cone a cone; angleMax can never fall below angleMin as u' >= 0.
void drawAngles(ShellDesign& d, float width) {
  d.angleMin = unitDraw() * HALF_PI;
  float angleMax = d.angleMin;
  angleMax += unitDraw() * width;
  d.angleMax = angleMax > PI ? PI : angleMax;
}

// Speeds and angles of sub-stars and secondary stars: dense shells throw
// them 2 units per second faster at both ends.
void drawOuterStarCone(ShellDesign& d, bool dense) {
  const float dd = dense ? 1.0f : 0.0f;
  d.speedMin = 2.0f * (unitDraw() + dd) + 1.0f;
  d.speedMax = unitDraw() + d.speedMin + 2.0f * dd;
  drawAngles(d, PI);
}

// A regular trail-spark stage: never bursts, never sheds sparks; its speed
// scale is drawn after the caller's lifetime.
void writeSparkStage(ShellDesign& d, Color4 start, Color4 end, float lifetime, float size,
                     bool twinkles) {
  beginStage(d, start, end, lifetime, lifetime, size);
  d.twinkles = twinkles;
  d.speedMin = randomRange(0.1f, 0.5f);
}

// A burst flash: one large glow that drifts sideways for 0.4 s.
void writeFlashStage(ShellDesign& d, Color4 color, float size) {
  beginStage(d, color, color, 0.4f, 0.4f, size);
  d.isFlash = true;
  d.speedMin = 2.0f;
  d.speedMax = 1.9f;
  d.angleMin = HALF_PI;
  d.angleMax = HALF_PI;
}

// A launched shell starts on the ground square from -10 to 10 in x and z.
void drawLaunchPosition(ShellDesign& d) {
  d.launchPosition.x = unitDraw() * 20.0f - 10.0f;
  d.launchPosition.y = 0.0f;
  d.launchPosition.z = unitDraw() * 20.0f - 10.0f;
}

struct Roll {
  bool twoStage = false;
  bool withSecondary = false;
  bool dense = false;
  bool trailing = false;
  bool twinkling = false;
  bool sparkShower = false;
  bool atMaximum = false;
};

Roll rollKind(int k) {
  Roll r;
  r.twoStage = unitDraw() < 0.4f;
  r.withSecondary = unitDraw() < 0.8f;
  if (!r.twoStage) r.dense = unitDraw() < 0.1f;
  const bool trailDraw = unitDraw() < 0.2f;
  r.trailing = trailDraw && settings.diffuse && !r.dense;
  const bool twinkleDraw = unitDraw() < 0.2f;
  r.twinkling = twinkleDraw && settings.flash;
  r.sparkShower = unitDraw() < 0.02f;
  r.atMaximum = k == 6 && !r.twoStage;
  return r;
}

// The sub-stars and the secondary stars: stars that never burst, ending in
// colorC, each with its own speed and cone draws.
void writeOuterStarStage(ShellDesign& table, Color4 start, Color4 end, const Roll& r,
                         float interval, const ShellDesign* spark) {
  ShellDesign& d = beginStage(table, start, end, 1.0f, 2.5f, 1.0f);
  d.emitsSparks = r.trailing;
  d.twinkles = r.twinkling;
  d.gravity = 0.5f;
  d.sparkInterval = interval;
  drawOuterStarCone(d, r.dense);
  d.sparkDesign = spark;
}

// A fast, heavy shell that never bursts; its trail sparks burst into small
// filled balls of stars.
void writeSparkShower(int i, int k, const Roll& r, const Palette& p) {
  // bursts and hasSecondary stay false from beginStage: this shell only sheds sparks.
  ShellDesign& shell = beginStage(shellTable[i], p.colorA, p.colorB, 2.5f, 2.5f, 1.0f);
  shell.emitsSparks = true;
  shell.halo = true;
  shell.gravity = 6.0f;
  shell.sparkInterval = 0.06f / static_cast<float>(k);
  shell.childCountMin = 1; // a shell stage: keeps the shell drag
  shell.childCountMax = 1;
  shell.initialVelocity.x = randomRange(-15.0f, 15.0f);
  shell.initialVelocity.y = randomRange(10.0f, 30.0f);
  shell.initialVelocity.z = randomRange(-15.0f, 15.0f);
  drawLaunchPosition(shell);
  shell.sparkDesign = &shellSparkTable[i];

  ShellDesign& spark = beginStage(shellSparkTable[i], p.colorB, p.colorD, 1.5f, 1.5f, 1.4f);
  spark.bursts = true;
  spark.burstAgeMin = 0.0f;
  spark.burstAgeMax = 1.5f;
  spark.childCountMax = 9 * k;
  spark.speedMin = randomRange(0.1f, 1.5f);
  spark.childDesign = &starSparkTable[i];

  ShellDesign& star = starSparkTable[i];
  const float lifetime = randomRange(0.2f, 1.5f);
  beginStage(star, p.colorD, p.colorC, lifetime, lifetime, 0.8f);
  star.twinkles = r.twinkling;
  star.speedMin = randomRange(0.5f, 1.5f);
  star.speedMax = 0.0f; // speeds fall between speedMin and 0: a filled ball
  drawAngles(star, HALF_PI);
}

void writeRegular(int i, int k, const Roll& r, const Palette& p) {
  const float kf = static_cast<float>(k);
  const float shellInterval = 0.06f / kf;
  const float starInterval = 0.24f / kf;

  // Primary star counts; integer divisions truncate.
  const int pTerm = (r.atMaximum ? 1 : 0) + (r.dense ? 5 : 0) + (r.twoStage ? 0 : 1);
  const int qTerm = (r.atMaximum ? 1 : 0) + (r.twoStage ? 0 : 2) + (r.dense ? 5 : 0);
  int countMin = (pTerm * 100 + 2) * k / 2 + 1;
  int countMax = (qTerm * 100 + 15) * k / 2;
  if (r.trailing) {
    countMax = countMax / 3;
    countMin = countMin / 3;
  }
  countMin = countMin + 1;

  ShellDesign& shell = beginStage(shellTable[i], p.white, p.colorA, 2.5f, 2.5f, 1.0f);
  shell.bursts = true;
  shell.hasSecondary = r.withSecondary;
  shell.emitsSparks = r.trailing;
  shell.halo = true;
  shell.burstAgeMin = 2.5f;
  shell.burstAgeMax = 2.5f;
  shell.gravity = 1.0f;
  shell.sparkInterval = shellInterval;
  shell.childCountMin = countMin;
  shell.childCountMax = countMax;
  shell.initialVelocity.x = unitDraw() * 10.0f - 5.0f;
  shell.initialVelocity.y = randomRange(10.0f, 20.0f);
  shell.initialVelocity.z = unitDraw() * 10.0f - 5.0f;
  drawLaunchPosition(shell);
  shell.childDesign = &starTable[i];
  shell.secondaryDesign = &secondaryTable[i];
  shell.sparkDesign = &shellSparkTable[i];
  shell.flashDesign = &shellFlashTable[i];

  ShellDesign& star = beginStage(starTable[i], p.colorA, p.colorB, 2.0f, 3.0f, 1.0f);
  star.bursts = r.twoStage;
  star.emitsSparks = r.trailing;
  star.twinkles = r.twinkling;
  star.halo = r.twoStage;
  star.gravity = 0.5f;
  star.sparkInterval = starInterval;
  star.childCountMax = r.trailing ? 25 * k / 3 : 25 * k;
  star.burstAgeMin = randomRange(0.0f, 1.6f);
  star.burstAgeMax = 2.0f;
  star.speedMin = 1.0f + 2.0f * unitDraw();
  star.speedMax = star.speedMin + unitDraw();
  drawAngles(star, PI);
  star.childDesign = &subStarTable[i];
  star.sparkDesign = &starSparkTable[i];
  star.flashDesign = &starFlashTable[i];

  writeOuterStarStage(subStarTable[i], p.colorB, p.colorC, r, starInterval, &subStarSparkTable[i]);
  writeOuterStarStage(secondaryTable[i], p.colorD, p.colorC, r, starInterval, &secondarySparkTable[i]);

  writeSparkStage(shellSparkTable[i], p.white, p.colorA, 1.9f, 1.12f, false);
  const float starSparkLife = randomRange(0.5f, 2.0f);
  writeSparkStage(starSparkTable[i], p.colorA, p.colorB, starSparkLife, 0.64f, r.twinkling);
  const float subStarSparkLife = randomRange(0.5f, 2.0f);
  writeSparkStage(subStarSparkTable[i], p.colorB, p.colorC, subStarSparkLife, 0.64f,
                  r.twinkling);
  const float secondarySparkLife = randomRange(0.5f, 2.0f);
  writeSparkStage(secondarySparkTable[i], p.colorD, p.colorC, secondarySparkLife, 0.64f,
                  r.twinkling);

  const float spread = static_cast<float>(settings.spread);
  writeFlashStage(shellFlashTable[i], scaleRgb(p.colorA, 0.8f), spread + 30.0f);
  writeFlashStage(starFlashTable[i], scaleRgb(p.colorB, 0.5f), spread * 0.5f + 4.0f);
}

} // namespace

void designNextShell() {
  designCursor = designCursor + 1;
  if (designCursor > DESIGN_SLOTS - 1 || designCursor < 0) designCursor = 0;
  const int i = designCursor;

  int k = settings.detail;
  if (k < 1) k = 1;
  if (k > MAX_DETAIL_LEVEL) k = MAX_DETAIL_LEVEL;

  const Roll roll = rollKind(k);
  const float gammaFactor = static_cast<float>(settings.gamma) * 0.1f;
  const Palette palette = drawPalette(roll.twoStage, gammaFactor);

  if (roll.sparkShower) {
    writeSparkShower(i, k, roll, palette);
  } else {
    writeRegular(i, k, roll, palette);
  }
}

} // namespace starbloom
