// Mesh drawing from vertex arrays. A mesh whose origin lies outside a cone
// of about 26.6 degrees around the view direction (-zAxis of the camera)
// and farther than its viewDistance is skipped whole. Otherwise the camera's
// view is loaded, every light in use is sent in world coordinates, the
// placement is applied, and the recorded strips are drawn from the drawing
// arrays the caller keeps for the mesh (mesh_strips), remade first when the
// mesh has changed: per vertex a texture coordinate, a normal and a
// position; the colour once per strip, from its first vertex.
// Material state goes to OpenGL only when a strip's material differs from
// the last one applied.
//
// With cullBackFaces OpenGL leaves out the triangles whose back the camera
// sees (wound clockwise on the screen), before any of their pixels are
// filled; only a caller that knows its mesh hides every back face it could
// see behind a front face may ask for it.
//
// Chunks of a strip whose box lies wholly outside the view frustum are left
// out, since none of their triangles could cover a pixel; each row of
// chunks in view is one glDrawArrays of the same triangles, wound the same
// way, so the picture is the one the whole strip gives. Materials and
// colours still go to OpenGL for strips left out entirely, so the state a
// draw leaves does not depend on the view. Lighting is per vertex, so the
// vertices left out change nothing for the others.
//
// Blend mode 4 would ask for GL_SRC_COLOR as a source factor, which OpenGL
// 1.1 rejects (the call would fail and keep the old function); it blends
// additively instead, GL_ONE with GL_ONE, the nearest valid function.
#include "scene/mesh_render.h"

#include <GL/gl.h>

#include <cmath>

namespace starbloom {

namespace {

constexpr float VIEW_CONE_COS = 0.894f; // cos of about 26.6 degrees
constexpr std::int32_t NO_MATERIAL = 99;

// Rows are the placement's axes read as columns: object to world.
Mat4 placementRotation(const CoordFrame& f) {
  Mat4 m;
  m.set(f.xAxis.x, f.yAxis.x, f.zAxis.x, 0.0f,
        f.xAxis.y, f.yAxis.y, f.zAxis.y, 0.0f,
        f.xAxis.z, f.yAxis.z, f.zAxis.z, 0.0f,
        0.0f, 0.0f, 0.0f, 1.0f);
  return transpose(m);
}

void applyMaterialSlot(const Material& m, const MeshView& view) {
  applyMaterial(m.colours);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, m.twoSided ? 1 : 0);
  setBlendMode(m.blended, m.blendMode);
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  const GLfloat clear[4] = {view.clearColour.r, view.clearColour.g, view.clearColour.b,
                            view.clearColour.a};
  glFogfv(GL_FOG_COLOR, m.blended ? black : clear);
  if (m.texture != nullptr && view.textures.textureCount != nullptr) {
    bindTexture(*view.textures.textureCount, m.textured && view.textures.useTextures, *m.texture,
                view.textures.smoothTextures);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  if (m.lit && view.useLighting) {
    glEnable(GL_LIGHTING);
  } else {
    glDisable(GL_LIGHTING);
  }
}

// Object coordinates to eye coordinates: the placement, then the camera.
struct EyeTransform {
  CoordFrame placement;
  CoordFrame camera;
  Vec3 toEye(Vec3 p) const {
    const Vec3 world = placement.origin + p.x * placement.xAxis + p.y * placement.yAxis +
                       p.z * placement.zAxis;
    return camera.toLocal(world);
  }
};

bool boxOutside(const EyeTransform& eye, const MeshBox& box, const ViewFrustum& frustum) {
  Vec3 corners[8];
  for (int k = 0; k < 8; ++k) {
    corners[k] = eye.toEye(Vec3{(k & 1) != 0 ? box.high.x : box.low.x,
                                (k & 2) != 0 ? box.high.y : box.low.y,
                                (k & 4) != 0 ? box.high.z : box.low.z});
  }
  return allOutside(frustum, corners, 8);
}

} // namespace

bool drawMesh(CoordFrame placement, CoordFrame camera, const Mesh& mesh, MeshStrips& strips,
              const MeshView& view) {
  const Vec3 p = camera.toLocal(placement.origin);
  const float distance = length(p);
  // A mesh at the eye itself is in view.
  const float facing = distance > 0.0f ? -p.z / distance : 1.0f;
  if (facing < VIEW_CONE_COS && distance > mesh.viewDistance) return true;

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMultMatrixf(viewRotation(camera).m);
  glTranslatef(-camera.origin.x, -camera.origin.y, -camera.origin.z);
  if (view.lights != nullptr) {
    for (int i = 0; i < LIGHT_TABLE_SLOTS; ++i) {
      if (view.lights->slots[i].inUse) applyLight(i, view.lights->slots[i]);
    }
  }
  glTranslatef(placement.origin.x, placement.origin.y, placement.origin.z);
  glMultMatrixf(placementRotation(placement).m);
  if (view.useFog) {
    glEnable(GL_FOG);
  } else {
    glDisable(GL_FOG);
  }

  updateMeshStrips(mesh, strips);
  const EyeTransform eye{placement, camera};
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glInterleavedArrays(GL_T2F_N3F_V3F, 0, strips.vertices.data());
  if (view.cullBackFaces) {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
  }
  std::int32_t applied = NO_MATERIAL;
  for (const MeshStripRun& run : strips.runs) {
    const std::int32_t m = run.material;
    if (m != applied && m >= 0 && m < MATERIAL_SLOTS) {
      applyMaterialSlot(mesh.materials[m], view);
      applied = m;
    }
    glColor4f(run.colour.r, run.colour.g, run.colour.b, run.colour.a);
    // Rows of chunks in view, each drawn as one strip.
    const std::int32_t triangles = run.count - 2;
    std::int32_t rowStart = -1;
    for (std::int32_t t = 0;; t += MESH_CHUNK_TRIANGLES) {
      const bool end = t >= triangles;
      const bool shown =
          !end && !boxOutside(eye, strips.boxes[static_cast<std::size_t>(
                                       run.firstBox + t / MESH_CHUNK_TRIANGLES)],
                              view.frustum);
      if (shown && rowStart < 0) rowStart = t;
      if (!shown && rowStart >= 0) {
        const std::int32_t last = t < triangles ? t : triangles;
        glDrawArrays(GL_TRIANGLE_STRIP, run.first + rowStart, last - rowStart + 2);
        rowStart = -1;
      }
      if (end) break;
    }
  }
  glPopClientAttrib();
  glDisable(GL_CULL_FACE);
  glLoadIdentity();
  return true;
}

bool applyLight(int i, const LightSource& light) {
  if (i < 0 || i >= GL_LIGHT_SLOTS || !light.inUse) return true;
  const GLenum id = static_cast<GLenum>(GL_LIGHT0 + i);
  const float r = light.colour.r, g = light.colour.g, b = light.colour.b, f = light.ambientFactor;
  const GLfloat position[4] = {light.position.x, light.position.y, light.position.z, 1.0f};
  const GLfloat ambient[4] = {r * f, g * f, b * f, 1.0f};
  const GLfloat colour[4] = {r, g, b, 1.0f};
  glLightfv(id, GL_POSITION, position);
  glLightfv(id, GL_AMBIENT, ambient);
  glLightfv(id, GL_DIFFUSE, colour);
  glLightfv(id, GL_SPECULAR, colour);
  glLightf(id, GL_CONSTANT_ATTENUATION, light.attenuation[0]);
  glLightf(id, GL_LINEAR_ATTENUATION, light.attenuation[1]);
  glLightf(id, GL_QUADRATIC_ATTENUATION, light.attenuation[2]);
  glEnable(id);
  return true;
}

bool applyMaterial(MaterialColours colours) {
  const Color4 c = colours.colour;
  const float f = colours.ambientFactor;
  const GLfloat ambient[4] = {c.r * f, c.g * f, c.b * f, c.a * f};
  const GLfloat diffuse[4] = {c.r, c.g, c.b, c.a};
  const GLfloat specular[4] = {colours.specular.r, colours.specular.g, colours.specular.b,
                               colours.specular.a};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, colours.shininess);
  return true;
}

bool setBlendMode(bool on, int mode) {
  if (!on) {
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    return true;
  }
  glEnable(GL_BLEND);
  switch (mode) {
    case 1:
    case 4: // GL_SRC_COLOR is no source factor in OpenGL 1.1
      glBlendFunc(GL_ONE, GL_ONE);
      break;
    case 2:
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    case 3:
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    default:
      break;
  }
  return true;
}

} // namespace starbloom
