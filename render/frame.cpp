// The frame routine and the mesh drawing of both passes.
#include "render/frame.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include "anim/player.h"
#include "anim/pose.h"
#include "platform/gl_context.h"

namespace vashel {

std::array<int, 3> pickColor(int index) {
  const int counter = index + 1;
  return {4 * (counter % 64), 4 * (counter / 64 % 64), 4 * (counter / 4096)};
}

int decodePickColor(int red, int green, int blue) {
  return (blue / 4) * 4096 + (green / 4) * 64 + red / 4 - 1;
}

namespace {

bool inRange(int index, std::size_t size) {
  return index >= 0 && static_cast<std::size_t>(index) < size;
}

const double* workingPositionOf(const Mesh& mesh, int v) { return &mesh.vertexArray[4 * v]; }

// Working positions exist for every vertex once the deformation tables are
// baked, and for none before; a corner naming another vertex is left out.
// Worked out once per mesh, then checked per corner with inRange.
std::size_t usableVertexCount(const Mesh& mesh) {
  return mesh.vertexArray.size() >= 4 * mesh.vertices.size() ? mesh.vertices.size() : 0;
}

int cornerIndex(std::span<const int> list, std::size_t corner) {
  return corner < list.size() ? list[corner] : -1;
}

// Every face as one primitive of `mode`; sendCorner(face, corner, v) sends
// each corner whose vertex v has a working position, in order.
template <typename SendCorner>
void drawEachFace(const Mesh& mesh, GLenum mode, SendCorner&& sendCorner) {
  const std::size_t usable = usableVertexCount(mesh);
  for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
    const FaceView face = mesh.face(f);
    glBegin(mode);
    for (std::size_t corner = 0; corner < face.vertex.size(); ++corner) {
      const int v = face.vertex[corner];
      if (inRange(v, usable)) sendCorner(face, corner, v);
    }
    glEnd();
  }
}

void drawGuide(const Mesh& mesh) {
  glColor3f(1.0f, 1.0f, 1.0f);
  drawEachFace(mesh, GL_LINE_LOOP, [&mesh](const FaceView&, std::size_t, int v) {
    glVertex3dv(workingPositionOf(mesh, v));
  });
}

// Every face pushed out along its corners' normals by edgeLevel, drawn
// without depth writes so that the mesh itself covers all but the rim.
void drawOutline(const Mesh& mesh) {
  glDepthMask(GL_FALSE);
  glColor3f(0.2f, 0.2f, 0.2f);
  drawEachFace(mesh, GL_POLYGON, [&mesh](const FaceView& face, std::size_t corner, int v) {
    const double* p = workingPositionOf(mesh, v);
    const int n = cornerIndex(face.normal, corner);
    if (inRange(n, mesh.normals.size())) {
      const Vec4& normal = mesh.normals[n].deformed;
      glVertex3d(p[0] + mesh.edgeLevel * normal[0], p[1] + mesh.edgeLevel * normal[1],
                 p[2] + mesh.edgeLevel * normal[2]);
    } else {
      glVertex3dv(p);
    }
  });
  glDepthMask(GL_TRUE);
}

// The material colour of the visible pass, also left in `color`; returns the
// alphaGain factor that also scales the vertex colours' alpha.
double applyMaterial(const Mesh& mesh, int f, Color4f& color) {
  color = mesh.color;
  const double d = mesh.diffuse ? evaluateCurve(*mesh.diffuse, f) : 0.0;
  if (mesh.colorR) color[0] = static_cast<float>(evaluateCurve(*mesh.colorR, f) * d);
  if (mesh.colorG) color[1] = static_cast<float>(evaluateCurve(*mesh.colorG, f) * d);
  if (mesh.colorB) color[2] = static_cast<float>(evaluateCurve(*mesh.colorB, f) * d);
  double gain = 1.0;
  if (mesh.alphaGain) {
    gain = evaluateCurve(*mesh.alphaGain, f);
    color[3] = static_cast<float>(color[3] * gain);
  }
  if (mesh.alphaOffset)
    color[3] = static_cast<float>(color[3] + evaluateCurve(*mesh.alphaOffset, f));
  glColor4fv(color.data());
  glMaterialfv(GL_FRONT, GL_SPECULAR, mesh.specularColor.data());
  glMaterialf(GL_FRONT, GL_SHININESS, mesh.cosinePower);
  glMaterialfv(GL_FRONT, GL_DIFFUSE, color.data());
  glMaterialfv(GL_FRONT, GL_AMBIENT, mesh.ambientColor.data());
  glMaterialfv(GL_FRONT, GL_EMISSION, mesh.incandescence.data());
  return gain;
}

// The faces with their per-corner attributes. The pick pass sends positions
// only: a vertex colour there would overwrite the pick colour.
void drawFaces(const Mesh& mesh, bool pickPass, double alphaFactor) {
  const bool vertexColors = !pickPass && !mesh.colors.empty();
  drawEachFace(mesh, GL_POLYGON, [&](const FaceView& face, std::size_t corner, int v) {
    if (!pickPass) {
      if (vertexColors && inRange(v, mesh.colors.size()) && mesh.colors[v].r >= 0.0) {
        const VertexColor& c = mesh.colors[v];
        glColor4d(c.r, c.g, c.b, alphaFactor * c.a);
      }
      const int t = cornerIndex(face.texcoord, corner);
      if (inRange(t, mesh.texcoords.size())) glTexCoord2d(mesh.texcoords[t].u, mesh.texcoords[t].v);
      const int n = cornerIndex(face.normal, corner);
      if (inRange(n, mesh.normals.size())) glNormal3dv(mesh.normals[n].deformed.data());
    }
    glVertex3dv(workingPositionOf(mesh, v));
  });
}

// The GL texture name of a mesh's texture, or 0 when it has none usable.
GLuint textureOf(const RenderState& state, const Scene& scene, const Mesh& mesh) {
  const int index = mesh.texture;
  if (!state.texturesUploaded || !inRange(index, scene.textureNames.size()) ||
      index >= kTextureNameCount || state.textureNames[index] < 0) {
    return 0;
  }
  return static_cast<GLuint>(state.textureNames[index]);
}

}  // namespace

void drawMeshes(RenderState& state, Scene& scene, PlayerClock& clock, std::int32_t nowMs,
                bool pickPass) {
  const int f = roundFrame(clock.currentFrame);
  recordFrameStat(clock, nowMs);
  // Lighting and texturing are switched on per mesh; neither may colour the
  // pick pass.
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);

  const bool arrays = state.geometry == GeometryPath::Arrays;
  for (std::size_t i = 0; i < scene.meshes.size(); ++i) {
    const Mesh& mesh = scene.meshes[i];
    // Gathered at most once per mesh and pass, and only for a mesh drawn.
    MeshArrays* gathered = nullptr;
    const auto meshArrays = [&]() -> MeshArrays& {
      if (!gathered) gathered = &prepareMeshArrays(mesh, i, state.meshArrays);
      return *gathered;
    };
    if (state.flags.guide) {
      if (arrays) {
        drawGuideArrays(meshArrays());
      } else {
        drawGuide(mesh);
      }
    }

    if (!pickPass && mesh.displayMode == kPickOnly) continue;
    if (pickPass && mesh.displayMode == kDrawn) continue;
    if (mesh.visibility && evaluateCurve(*mesh.visibility, f) == 0.0) continue;
    // Beyond the last pick colour a mesh would pass for another one.
    if (pickPass && static_cast<int>(i) >= kPickableMeshes) continue;

    if (state.flags.polygon) {
      if (mesh.doubleSided != 0) {
        glDisable(GL_CULL_FACE);
      } else {
        glEnable(GL_CULL_FACE);
      }
      if (!pickPass && mesh.edgeLevel > 0.0) {
        if (arrays) {
          drawOutlineArrays(mesh, meshArrays());
        } else {
          drawOutline(mesh);
        }
      }
      const bool lit = !pickPass && state.flags.light;
      if (lit) glEnable(GL_LIGHTING);
      glEnable(GL_DEPTH_TEST);
      glColor3f(0.5f, 0.5f, 0.5f);

      bool textured = false;
      bool textureOpaque = false;
      if (!pickPass && state.flags.texture) {
        if (const GLuint name = textureOf(state, scene, mesh)) {
          textureOpaque = state.textureOpaque[static_cast<std::size_t>(mesh.texture)];
          glEnable(GL_TEXTURE_2D);
          glBindTexture(GL_TEXTURE_2D, name);
          const GLint filter = mesh.texFilter > 0 ? GL_LINEAR : GL_NEAREST;
          glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
          glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
          textured = true;
        }
      }
      if (pickPass) {
        const auto color = pickColor(static_cast<int>(i));
        glColor3ub(static_cast<GLubyte>(color[0]), static_cast<GLubyte>(color[1]),
                   static_cast<GLubyte>(color[2]));
        if (arrays) {
          drawPickArrays(meshArrays());
        } else {
          drawFaces(mesh, true, 1.0);
        }
      } else {
        SurfaceLook look{lit, textured, textureOpaque, {}, 1.0};
        look.alphaFactor = applyMaterial(mesh, f, look.material);
        if (arrays) {
          drawSurfaceArrays(mesh, meshArrays(), look);
        } else {
          drawFaces(mesh, false, look.alphaFactor);
        }
      }
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
  }
}

int readPickIndex(const RenderState& state, const Scene& scene) {
  glFlush();
  // Client rows run top to bottom, GL rows bottom to top.
  const int x = state.mousePos.x;
  const int y = state.windowHeight - 1 - state.mousePos.y;
  if (x < 0 || x >= state.windowWidth || y < 0 || y >= state.windowHeight) return -1;
  glReadBuffer(state.readBuffer);
  GLubyte pixel[4] = {0, 0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  const int index = decodePickColor(pixel[0], pixel[1], pixel[2]);
  if (!inRange(index, scene.meshes.size()) || scene.meshes[index].unpickable) return -1;
  return index;
}

int drawScene(RenderState& state, Scene& scene, PlayerClock& clock, std::int32_t nowMs,
              bool pickPass, bool updatePose) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (!pickPass) setupLights(scene, state, clock.currentFrame);

  const auto& pivot = state.view.pivot;
  glLoadIdentity();
  glTranslated(pivot[0], pivot[1], pivot[2]);
  glRotated(state.view.pitch, 1.0, 0.0, 0.0);
  glRotated(state.view.yaw, 0.0, 1.0, 0.0);
  glTranslated(-pivot[0], -pivot[1], -pivot[2]);
  glPointSize(3.0f);

  if (updatePose) {
    state.sceneChanged = false;
    const PoseFrame frame{clock.currentFrame, clock.playState, scene.sceneStartFrame};
    if (vashel::updatePose(scene.joints, frame)) state.sceneChanged = true;
  }
  // The joint display belongs to the picture: its coloured lines in the pick
  // pass would decode as meshes.
  if (state.flags.joint && !pickPass) drawJoints(scene);
  if (updatePose && state.sceneChanged) {
    deformMeshes(scene, state.deform, clock.currentFrame);
  } else {
    // Meshes never deformed still need their working positions.
    ensureDeformationTables(scene, state.deform);
  }

  drawMeshes(state, scene, clock, nowMs, pickPass);
  if (pickPass && state.mouseButton != 0) return readPickIndex(state, scene);
  return -1;
}

void setupRenderState(const RenderState& state) {
  glViewport(0, 0, state.windowWidth, state.windowHeight);

  // Over the cleared (0, 0, 0, 0) target this blend leaves colour times
  // alpha and alpha squared: the frame's alpha channel.
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glClearDepth(1.0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

  // Nothing between a fragment and the frame: pick colours must arrive exact.
  glDisable(GL_DITHER);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_FOG);
  glDisable(GL_COLOR_LOGIC_OP);
  glDisable(GL_POLYGON_OFFSET_FILL);

  // Filled, smooth faces; whether back faces are culled is chosen per mesh.
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glCullFace(GL_BACK);
  glFrontFace(GL_CCW);
  glShadeModel(GL_SMOOTH);
  glLineWidth(1.0f);

  // Lighting is switched on per mesh, and only the scene's lights are on
  // (setupLights). Materials come from glMaterial alone, never from glColor.
  glDisable(GL_LIGHTING);
  GLint maxLights = 8;
  glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
  for (GLint i = 0; i < maxLights; ++i) glDisable(static_cast<GLenum>(GL_LIGHT0 + i));
  glDisable(GL_COLOR_MATERIAL);
  glEnable(GL_NORMALIZE);  // the file's normals need not be of unit length
  const GLfloat globalAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, globalAmbient);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_FALSE);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);

  // Texturing is switched on per mesh and modulates the material colour.
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);

  // Geometry comes from client memory, never from buffer objects.
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  for (const GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY,
                             GL_TEXTURE_COORD_ARRAY, GL_INDEX_ARRAY, GL_EDGE_FLAG_ARRAY,
                             GL_FOG_COORD_ARRAY, GL_SECONDARY_COLOR_ARRAY}) {
    glDisableClientState(array);
  }

  // A corner without a usable normal or texture coordinate takes the current
  // one: the same at the start of every frame.
  glNormal3f(0.0f, 0.0f, 1.0f);
  glTexCoord2f(0.0f, 0.0f);
}

namespace {

void selectJoint(RenderState& state, const Scene& scene, int meshIndex) {
  const int joint = meshIndex >= 0 ? scene.findJoint(scene.meshes[meshIndex].picking) : -1;
  if (joint < 0) {
    state.selectedJoint = -1;
    state.selectedAxisMask = 0;
    state.selectionIndex = 0;
    return;
  }
  const auto& limits = scene.joints[joint].limits;
  state.selectedJoint = joint;
  state.selectedAxisMask = (limits[0] != limits[1] ? 1 : 0) | (limits[2] != limits[3] ? 2 : 0) |
                           (limits[4] != limits[5] ? 4 : 0);
  state.selectionIndex = meshIndex + 1;
}

}  // namespace

int renderFrame(RenderState& state, Scene& scene, Player& player, const FrameServices& services,
                bool scheduleNext) {
  beginFrame(player);
  if (services.context) services.context->makeCurrent();
  setupRenderState(state);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (state.view.mouseTrace && services.pointer && player.ports.random) {
    updateFollowMouse(state, *services.pointer, *player.ports.random);
  }
  setupCamera(scene, state, player.clock.currentFrame);

  glMatrixMode(GL_MODELVIEW);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  auto now = [&player]() { return player.ports.time ? player.ports.time->nowMs() : 0; };
  int result = -1;
  if (state.pickState == kNoPick) {
    result = drawScene(state, scene, player.clock, now(), false, true);
  } else {
    const int index = drawScene(state, scene, player.clock, now(), true, true);
    state.lastPickIndex = index;
    if (state.pickState == kPickToPlay && index >= 0) {
      const Mesh& mesh = scene.meshes[index];
      const int action = findActionByName(scene, mesh.picking);
      if (action >= 0) setNewAction(player, scene, action, mesh.name, {});
    }
    if (state.pickState == kPickToSelect) {
      selectJoint(state, scene, player.clock.playState != kPlaying ? index : -1);
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    result = drawScene(state, scene, player.clock, now(), false, false);
    state.pickState = kNoPick;
  }

  if (scheduleNext) result = scheduleNextTick(player, scene);
  if (!state.sceneChanged && !state.presentRequest) return result;
  state.presentRequest = false;
  presentFrame(state, services.presenter);
  return result;
}

}  // namespace vashel
