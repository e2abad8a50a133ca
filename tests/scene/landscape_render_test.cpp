// Off-screen pictures of the landscape passes and of mesh drawing.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "frame/platform_time.h"
#include "frame/program_objects.h"
#include "support/gl_test_context.h"

namespace starbloom {
namespace {

constexpr int W = 160;
constexpr int H = 120;

// Sum of the picture's bytes in rows [top, bottom) and columns [left, right).
long brightness(const std::vector<std::uint8_t>& rgb, int left, int top, int right, int bottom) {
  long sum = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      for (int k = 0; k < 3; ++k) sum += rgb[static_cast<std::size_t>((y * W + x) * 3 + k)];
    }
  }
  return sum;
}

CoordFrame cameraAt(Vec3 eye, Vec3 target) {
  CoordFrame camera;
  camera.origin = eye;
  camera.aimAt(target);
  return camera;
}

// The landscape of settings drawn once from camera into a cleared frame, as
// the frame driver draws it after start-up; extra lights first.
std::vector<std::uint8_t> landscapePicture(const Settings& s, const CoordFrame& camera,
                                           const std::vector<LightSource>& extra = {},
                                           const ViewFrustum* culling = nullptr,
                                           bool* backFacesHidden = nullptr) {
  OffscreenGl gl(W, H);
  settings = s;
  seedRandom(11);
  glDisable(GL_FOG);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  groundTexture.loadBitmapResource(GROUND_BITMAP);
  generateLandscape(settings, &groundTexture, landscapeMesh, secondPassMesh, landscapeFrame,
                    renderContext.lights, landscapeLight);
  glFogf(GL_FOG_START, LANDSCAPE_FOG_START);
  for (const LightSource& light : extra) renderContext.lights.addLight(light);
  renderContext.setClearColour(Color4{0.0f, 0.0f, 0.0f, 0.0f});
  renderContext.beginFrame();
  renderContext.useFog = settings.fog;
  MeshView view = renderContext.meshView();
  if (culling != nullptr) view.frustum = *culling;
  drawLandscapePasses(settings, camera, renderContext.lights, view);
  if (backFacesHidden != nullptr) {
    *backFacesHidden = landscapeBackFacesHidden(camera, landscapeStrips, view.frustum);
  }
  std::vector<std::uint8_t> rgb = gl.readRgb();
  settings = Settings{};
  return rgb;
}

Settings land(bool multipass, bool fog, int landsi = 20) {
  Settings s;
  s.land = true;
  s.multipass = multipass;
  s.fog = fog;
  s.landsi = landsi;
  return s;
}

// A burst's light 3 units above the middle of the ground brightens the
// ground under it; the second pass adds that light again; the landscape's
// own light is grey after the passes.
TEST(LandscapePasses, FireworkLightsBrightenTheGroundAndTheSecondPassAddsThemAgain) {
  const CoordFrame camera = cameraAt(Vec3{0.0f, 12.0f, 12.0f}, Vec3{});
  LightSource burst;
  burst.resetLight(true);
  burst.position = Vec3{0.0f, 3.0f, 0.0f};
  burst.colour = Color4{2.0f, 1.6f, 1.2f, 1.0f};
  burst.setAttenuation(1.0f, 0.0f, 0.08f);
  const int l = W / 2 - 20, t = H / 2, r = W / 2 + 20, b = H / 2 + 30; // the ground under it
  const long dark = brightness(landscapePicture(land(false, false), camera), l, t, r, b);
  const long lit = brightness(landscapePicture(land(false, false), camera, {burst}), l, t, r, b);
  const long twice = brightness(landscapePicture(land(true, false), camera, {burst}), l, t, r, b);
  EXPECT_GT(dark, 0);
  EXPECT_GT(lit, dark * 6 / 5);
  EXPECT_GT(twice, lit * 11 / 10);
}

// Fog from 30 to 53.3 (side 20) or 106.7 (side 100): the near ground keeps
// its light, the far ground fades to the black clear colour.
TEST(LandscapePasses, FogDarkensOnlyTheFarGround) {
  const CoordFrame camera = cameraAt(Vec3{0.0f, 10.0f, 40.0f}, Vec3{0.0f, 0.0f, 0.0f});
  const auto clear = landscapePicture(land(false, false, 100), camera);
  const auto fogged = landscapePicture(land(false, true, 100), camera);
  const long nearClear = brightness(clear, 0, H - 12, W, H);
  const long nearFogged = brightness(fogged, 0, H - 12, W, H);
  const long farClear = brightness(clear, 0, H / 2 - 20, W, H / 2);
  const long farFogged = brightness(fogged, 0, H / 2 - 20, W, H / 2);
  EXPECT_GT(nearClear, 0);
  EXPECT_GT(farClear, 0);
  EXPECT_NEAR(static_cast<double>(nearFogged), static_cast<double>(nearClear), nearClear * 0.05);
  EXPECT_LT(farFogged, farClear * 7 / 10);
}

// A mesh is skipped when its origin lies outside the view cone and farther
// than 1000 units; one straight ahead is drawn at any distance, one within
// 1000 units in any direction. The mesh's triangle always lies 10 units in
// front of the eye, so whether it was drawn shows in the picture.
TEST(DrawMesh, OriginsFarOutsideTheViewConeAreSkipped) {
  const struct { Vec3 origin; bool drawn; } cases[] = {
      {{0, 0, -2000}, true}, {{0, 0, 2000}, false}, {{2000, 0, 0}, false},
      {{0, 0, 500}, true},   {{0, 400, -900}, true},
  };
  for (const auto& c : cases) {
    OffscreenGl gl(W, H);
    Mesh mesh(4);
    MeshStrips strips;
    for (const Vec3 corner : {Vec3{-2, -2, -10}, Vec3{2, -2, -10}, Vec3{0, 2, -10}}) {
      const Vec3 local = corner - c.origin;
      mesh.addVertex(local.x, local.y, local.z, 0, 0, 1, 0, 0, 1, 1, 1, 1);
    }
    mesh.addTriangle(0, 1, 2);
    mesh.setMaterialFlags(false, false, false);
    CoordFrame placement;
    placement.setIdentityAxes();
    placement.origin = c.origin;
    MeshView view = renderContext.meshView();
    view.useFog = false;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawMesh(placement, cameraAt(Vec3{}, Vec3{0, 0, -1}), mesh, strips, view);
    EXPECT_EQ(gl.pixel(W / 2, H / 2).r > 200, c.drawn) << c.origin.x << "," << c.origin.y << "," << c.origin.z;
  }
}

// Parts of the ground outside the view are left out without changing a
// pixel: the 100 x 100 landscape in two passes with fog, seen from inside,
// along its edge, from far outside and from straight above, is the same
// picture with the projection's frustum as with no culling at all. A frustum
// half as wide culls ground that is in view, which shows: the culling is
// really at work in the comparison.
TEST(DrawMesh, CullingLeavesThePictureAsItIs) {
  Settings s = land(true, true, 100);
  s.landres = 100;
  const ViewFrustum none{};
  ViewFrustum narrow = VIEW_FRUSTUM;
  narrow.halfWidth = VIEW_FRUSTUM.halfWidth / 2.0f;
  const struct { const char* name; Vec3 eye; Vec3 target; } views[] = {
      {"inside, looking across", {10, 12, 20}, {0, 0, -20}},
      {"at a corner, looking along the edge", {48, 6, 48}, {48, 0, -50}},
      {"far outside", {0, 30, 150}, {0, 0, 0}},
      {"straight above", {0, 80, 0.1f}, {0, 0, 0}},
  };
  for (const auto& v : views) {
    SCOPED_TRACE(v.name);
    const CoordFrame camera = cameraAt(v.eye, v.target);
    const auto whole = landscapePicture(s, camera, {}, &none);
    EXPECT_GT(brightness(whole, 0, 0, W, H), 0);
    EXPECT_TRUE(landscapePicture(s, camera, {}, &VIEW_FRUSTUM) == whole);
    if (v.eye.z < 100.0f) {
      EXPECT_FALSE(landscapePicture(s, camera, {}, &narrow) == whole);
    }
  }
}

// Leaving out the ground's back faces changes no pixel from wherever the
// camera may see them: over the ground and above it, it culls them; among
// the hills, beside the ground (through whose open edge a low camera sees
// the underside of the hills along it) and under it (where nothing but back
// faces show) it draws them as before.
TEST(LandscapePasses, BackFacesAreLeftOutOnlyWhereNoneCanShow) {
  Settings s = land(true, true, 100);
  s.landres = 100;
  const struct { const char* name; Vec3 eye; Vec3 target; bool culled; } views[] = {
      {"inside, looking across", {10, 12, 20}, {0, 0, -20}, true},
      {"straight above", {0, 80, 0.1f}, {0, 0, 0}, true},
      {"over the edge, low", {0, 11.5f, 49}, {0, 0, 0}, true},
      {"beside the ground, low", {0, 11.5f, 150}, {0, 0, 0}, false},
      {"among the hills", {0, 4, 30}, {0, 0, 0}, false},
      {"under the ground, looking up", {5, -30, 5}, {0, 0, 0}, false},
  };
  for (const auto& v : views) {
    SCOPED_TRACE(v.name);
    const CoordFrame camera = cameraAt(v.eye, v.target);
    cullLandscapeBackFaces = false;
    const auto drawnAll = landscapePicture(s, camera);
    cullLandscapeBackFaces = true;
    bool hidden = false;
    EXPECT_GT(brightness(drawnAll, 0, 0, W, H), 0);
    EXPECT_TRUE(landscapePicture(s, camera, {}, &VIEW_FRUSTUM, &hidden) == drawnAll);
    EXPECT_EQ(hidden, v.culled);
  }
}

// Drawing follows every change made to a mesh after it was first drawn:
// moved away, its triangle in front of the eye is gone; a copy from before
// the move, as often changed, still shows it; a triangle added back shows.
TEST(DrawMesh, DrawingFollowsChangesToTheMesh) {
  OffscreenGl gl(W, H);
  Mesh mesh(8);
  for (const Vec3 corner : {Vec3{-2, -2, -10}, Vec3{2, -2, -10}, Vec3{0, 2, -10}}) {
    mesh.addVertex(corner.x, corner.y, corner.z, 0, 0, 1, 0, 0, 1, 1, 1, 1);
  }
  mesh.addTriangle(0, 1, 2);
  mesh.setMaterialFlags(false, false, false);
  CoordFrame placement;
  placement.setIdentityAxes();
  MeshView view = renderContext.meshView();
  view.useFog = false;
  MeshStrips strips;
  const auto centreLit = [&](const Mesh& m) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawMesh(placement, cameraAt(Vec3{}, Vec3{0, 0, -1}), m, strips, view);
    return gl.pixel(W / 2, H / 2).r > 200;
  };
  Mesh copy(8);
  mesh.copyTo(copy);
  EXPECT_TRUE(centreLit(mesh));
  mesh.translate(Vec3{30, 0, 0});
  EXPECT_FALSE(centreLit(mesh)) << "moved";
  copy.changed();
  EXPECT_TRUE(centreLit(copy)) << "copied before the move";
  const std::int32_t a = mesh.addVertex(-2, -2, -10, 0, 0, 1, 0, 0, 1, 1, 1, 1);
  const std::int32_t b = mesh.addVertex(2, -2, -10, 0, 0, 1, 0, 0, 1, 1, 1, 1);
  const std::int32_t c = mesh.addVertex(0, 2, -10, 0, 0, 1, 0, 0, 1, 1, 1, 1);
  mesh.addTriangle(a, b, c);
  EXPECT_TRUE(centreLit(mesh)) << "added";
}

// Through the frame driver: with land on the lower part of the first frame
// holds the ground, with land off it stays black.
TEST(LandscapePasses, TheFrameDrawsTheGroundOnlyWithLandOn) {
  long lower[2] = {0, 0};
  for (const bool on : {false, true}) {
    resetProgramObjects();
    settings.land = on;
    useSimulatedTime(4000);
    renderContext.surface.binding = SurfaceBinding::Offscreen;
    startUp(0, W, H, 24);
    ASSERT_TRUE(renderContext.surface.isCurrent());
    runFrame();
    std::vector<std::uint8_t> rgb;
    renderContext.surface.readPixels(rgb);
    lower[on ? 1 : 0] = brightness(rgb, 0, H * 2 / 3, W, H);
    useRealTime();
    resetProgramObjects();
  }
  EXPECT_EQ(lower[0], 0);
  EXPECT_GT(lower[1], 1000);
}

} // namespace
} // namespace starbloom
