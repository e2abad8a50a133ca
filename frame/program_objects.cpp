// The program objects, defined together so that the constructed ones are
// built in this order before main() runs and destroyed in the reverse order
// at exit: the textures are deleted while the rendering context still
// exists, and the context is released last. The plain ones (settings, design
// tables, generator) start from constant values. Beside each: who writes it.
#include "frame/program_objects.h"

#include <new>

namespace starbloom {

FrameClock frameClock;       // tick and setOverlay, from runFrame
RenderContext renderContext; // startUp (init), runFrame (clear colour, frames), the light
                             // table through particleStore
Texture spriteTexture;       // setUpScene loads the pictures, bindTexture uploads them
Texture glowTexture;
Texture ringTexture;
Texture groundTexture;
Mesh landscapeMesh{LANDSCAPE_MESH_CAPACITY}; // generateLandscape; its flags by the landscape passes
Mesh secondPassMesh;                          // generateLandscape copies the landscape into it
MeshStrips landscapeStrips;  // the landscape passes, remade when landscapeMesh has changed
MeshStrips secondPassStrips; // the landscape passes, remade when secondPassMesh has changed
ParticleStore particleStore{renderContext.lights}; // launchShell and update, from runFrame

FrameDriverState frameDriver; // startUp, setUpScene and runFrame
CoordFrame landscapeFrame;    // generateLandscape
std::int32_t landscapeLight = 0; // generateLandscape: the light table slot of the ground's light

// readSettings when the saver starts, then the --set overrides and
// setUpScene's two adjustments; read by everyone.
Settings settings;

// designNextShell only; particles point into these records.
ShellDesign shellTable[DESIGN_SLOTS];
ShellDesign starTable[DESIGN_SLOTS];
ShellDesign subStarTable[DESIGN_SLOTS];
ShellDesign secondaryTable[DESIGN_SLOTS];
ShellDesign shellFlashTable[DESIGN_SLOTS];
ShellDesign starFlashTable[DESIGN_SLOTS];
ShellDesign shellSparkTable[DESIGN_SLOTS];
ShellDesign starSparkTable[DESIGN_SLOTS];
ShellDesign subStarSparkTable[DESIGN_SLOTS];
ShellDesign secondarySparkTable[DESIGN_SLOTS];
int designCursor = 0;

// The generator: seedRandom and every draw; buildRandomRing fills the ring
// once at start-up, nextRandomVector walks it.
std::uint32_t randomState = 1;
Vec3 randomRing[RANDOM_RING_SIZE];
int ringCursor = 0;

namespace {

void resetTexture(Texture& texture, bool contextCurrent) {
  // Without a current context the names are gone with it: forget them.
  if (!contextCurrent) texture.uploaded = false;
  texture.releaseTexture();
}

void resetDesignTable(ShellDesign (&table)[DESIGN_SLOTS]) {
  for (ShellDesign& d : table) d = ShellDesign{};
}

} // namespace

void resetProgramObjects() {
  const bool current = renderContext.surface.isCurrent();
  for (Texture* t : {&spriteTexture, &glowTexture, &ringTexture, &groundTexture}) {
    resetTexture(*t, current);
  }
  // The two records too large or too bound to their context to copy are
  // built afresh where they stand, so that no field of theirs is left over.
  renderContext.surface.release();
  renderContext.~RenderContext();
  new (&renderContext) RenderContext();
  frameClock = FrameClock{};
  landscapeMesh = Mesh{LANDSCAPE_MESH_CAPACITY};
  secondPassMesh = Mesh{};
  landscapeStrips = MeshStrips{};
  secondPassStrips = MeshStrips{};
  landscapeFrame = CoordFrame{};
  landscapeLight = 0;

  particleStore.~ParticleStore();
  new (&particleStore) ParticleStore(renderContext.lights);

  frameDriver = FrameDriverState{};
  settings = Settings{};
  for (auto* table : {&shellTable, &starTable, &subStarTable, &secondaryTable, &shellFlashTable,
                      &starFlashTable, &shellSparkTable, &starSparkTable, &subStarSparkTable,
                      &secondarySparkTable}) {
    resetDesignTable(*table);
  }
  designCursor = 0;
  randomState = 1;
  for (Vec3& v : randomRing) v = Vec3{};
  ringCursor = 0;
}

} // namespace starbloom
