// The landscape passes of a frame: the main pass, lit by every light of the
// table (its own white light and those of rising shells and burst flashes),
// textured with the ground picture when tex is on, in linear fog; then with
// multipass on an untextured copy drawn again on top, additively, with the
// landscape's own light darkened, so that the fireworks' light reaches the
// ground twice; finally the landscape light gets its grey of 0.02 x gamma
// for the next frame (the first frame sees the white it was made with).
// The copy covers the same pixels and passes the less-or-equal depth test.
#include "scene/landscape.h"

#include <GL/gl.h>

#include "scene/pass_timer.h"
#include "settings/settings.h"

namespace starbloom {

void drawLandscapePasses(const Settings& settings, const CoordFrame& camera, LightTable& lights,
                         const MeshView& view) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  glFogf(GL_FOG_END, landscapeFogEnd(settings.landsi));

  markPass(FramePass::Other);
  landscapeMesh.setMaterialFlags(true, false, settings.tex);
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
