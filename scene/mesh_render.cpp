// Mesh drawing in immediate mode. A mesh whose origin lies outside a cone
// of about 26.6 degrees around the view direction (-zAxis of the camera)
// and farther than its viewDistance is skipped whole. Otherwise the camera's
// view is loaded, every light in use is sent in world coordinates, the
// placement is applied, and the recorded strips are emitted: each strip
// begins with its start triangle's three corners and adds one vertex per
// continuing triangle. Material state goes to OpenGL only when a strip's
// material differs from the last one applied. Per vertex: a texture
// coordinate (textured materials), a normal and a position; the colour once
// per strip, from its first vertex.
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

void sendCorner(const MeshVertex& v, bool textured) {
  if (textured) glTexCoord2f(v.texCoord[0], v.texCoord[1]);
  glNormal3f(v.normal.x, v.normal.y, v.normal.z);
  glVertex3f(v.position.x, v.position.y, v.position.z);
}

} // namespace

bool drawMesh(CoordFrame placement, CoordFrame camera, const Mesh& mesh, const MeshView& view) {
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

  std::int32_t applied = NO_MATERIAL;
  bool textured = false;
  for (std::int32_t t = 0; t < mesh.triangleCount; ++t) {
    const MeshTriangle& start = mesh.triangles[static_cast<std::size_t>(t)];
    const MeshVertex& first = mesh.vertices[static_cast<std::size_t>(start.corners[0])];
    const std::int32_t m = first.material;
    if (m != applied && m >= 0 && m < MATERIAL_SLOTS) {
      applyMaterialSlot(mesh.materials[m], view);
      textured = mesh.materials[m].textured;
      applied = m;
    }
    glBegin(GL_TRIANGLE_STRIP);
      if (textured) glTexCoord2f(first.texCoord[0], first.texCoord[1]);
      glColor4f(first.colour.r, first.colour.g, first.colour.b, first.colour.a);
      glNormal3f(first.normal.x, first.normal.y, first.normal.z);
      glVertex3f(first.position.x, first.position.y, first.position.z);
      sendCorner(mesh.vertices[static_cast<std::size_t>(start.corners[1])], textured);
      sendCorner(mesh.vertices[static_cast<std::size_t>(start.corners[2])], textured);
      while (t + 1 < mesh.triangleCount && mesh.stripFlags[static_cast<std::size_t>(t + 1)] != 0) {
        ++t;
        const MeshTriangle& next = mesh.triangles[static_cast<std::size_t>(t)];
        sendCorner(mesh.vertices[static_cast<std::size_t>(next.corners[0])], textured);
      }
    glEnd();
  }
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
