// The landscape passes of a frame: the main pass, lit by every light of the
// table (its own white light and those of rising shells and burst flashes),
// textured with the ground picture when tex is on, in linear fog; then with
// multipass on an untextured copy drawn again on top, additively, with the
// landscape's own light darkened, so that the fireworks' light reaches the
// ground twice; finally the landscape light gets its grey of 0.02 x gamma
// for the next frame (the first frame sees the white it was made with).
// The copy covers the same pixels and passes the less-or-equal depth test.
//
// Back faces: the ground is a height field whose triangles all wind
// counter-clockwise seen from above. A camera over the ground and above its
// highest point (by more than the reach of the near plane, so that no front
// face is cut away by it) meets the surface first from above along every
// line of sight that meets it at all, so every back face it could see lies
// behind a front face and fails the depth test; both passes leave them out
// before filling a pixel of them. From anywhere else they are drawn as
// before: inside a hill, or beside the ground, whose open edge shows the
// underside of the hills along it to a low camera.
#include "scene/landscape.h"

#include <GL/gl.h>

#include <cmath>

#include "scene/pass_timer.h"
#include "settings/settings.h"

namespace starbloom {

bool cullLandscapeBackFaces = true;

bool landscapeBackFacesHidden(const CoordFrame& camera, const MeshStrips& strips,
                              const ViewFrustum& f) {
  if (strips.boxes.empty()) return false;
  const float nearReach = std::sqrt(f.nearPlane * f.nearPlane + f.halfWidth * f.halfWidth +
                                    f.halfHeight * f.halfHeight);
  const Vec3 eye = landscapeFrame.toLocal(camera.origin);
  const MeshBox& b = strips.bounds;
  return eye.x >= b.low.x && eye.x <= b.high.x && eye.z >= b.low.z && eye.z <= b.high.z &&
         eye.y - b.high.y > nearReach;
}

void drawLandscapePasses(const Settings& settings, const CoordFrame& camera, LightTable& lights,
                         const MeshView& given) {
  MeshView view = given;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  glFogf(GL_FOG_END, landscapeFogEnd(settings.landsi));

  markPass(FramePass::Other);
  landscapeMesh.setMaterialFlags(true, false, settings.tex);
  updateMeshStrips(landscapeMesh, landscapeStrips);
  view.cullBackFaces =
      cullLandscapeBackFaces && landscapeBackFacesHidden(camera, landscapeStrips, view.frustum);
  drawMesh(landscapeFrame, camera, landscapeMesh, landscapeStrips, view);
  markPass(FramePass::LandscapeFirst);

  LightSource light;
  lights.getLight(landscapeLight, light);
  if (settings.multipass) {
    light.colour = Color4{};
    lights.setLight(landscapeLight, light);
    drawMesh(landscapeFrame, camera, secondPassMesh, secondPassStrips, view);
    markPass(FramePass::LandscapeSecond);
  }
  const float grey = 0.2f * (static_cast<float>(settings.gamma) * 0.1f);
  light.colour = Color4{grey, grey, grey, 1.0f};
  lights.setLight(landscapeLight, light);
}

} // namespace starbloom
