// The camera, the orientation axes, the uniforms and the slices of a frame,
// as the GL receives them: the camera from the GL state in this process, the
// rest from a recording of every GL call of a frame at rest and one during a
// drag (made by the scene_frames helper).
#include "scene.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "gl_context.h"
#include "gl_trace.h"
#include "picture.h"
#include "web/axes.h"

namespace {

// The drawing area's height as the size queries report it; negative keeps
// what the window library says.
int reportedHeight = -1;

using SizeQuery = void (*)(GLFWwindow*, int*, int*);

void querySize(const char* name, GLFWwindow* queried, int* width, int* height) {
  auto real = reinterpret_cast<SizeQuery>(dlsym(RTLD_NEXT, name));
  real(queried, width, height);
  if (reportedHeight >= 0) *height = reportedHeight;
}

}  // namespace

// A minimised window reports a drawing area 0 pixels high on some platforms.
// X refuses windows of that size, so this binary stands in for the window
// library's size queries to let the scene meet one.
extern "C" void glfwGetFramebufferSize(GLFWwindow* window, int* width, int* height) {
  querySize("glfwGetFramebufferSize", window, width, height);
}
extern "C" void glfwGetWindowSize(GLFWwindow* window, int* width, int* height) {
  querySize("glfwGetWindowSize", window, width, height);
}

namespace {

struct Camera {
  GLint viewport[4] = {};
  GLfloat projection[16] = {};
  GLfloat modelview[16] = {};
  GLenum error = GL_NO_ERROR;
};

Camera cameraForHeight(int height) {
  useGLContext();
  while (glGetError() != GL_NO_ERROR) {
  }
  reportedHeight = height;
  setupCamera();
  reportedHeight = -1;
  Camera camera;
  camera.error = glGetError();
  glGetIntegerv(GL_VIEWPORT, camera.viewport);
  glGetFloatv(GL_PROJECTION_MATRIX, camera.projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, camera.modelview);
  return camera;
}

TEST(SceneCamera, AFortyFiveDegreePerspectiveFromThreeUnitsOut) {
  Camera camera = cameraForHeight(-1);
  EXPECT_EQ(camera.error, static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(std::vector<GLint>(camera.viewport, camera.viewport + 4), (std::vector<GLint>{0, 0, 400, 300}));
  const float focal = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
  // Column by column, as the GL stores them.
  // clang-format off
  const float expectedProjection[16] = {focal * 300 / 400, 0,     0,             0,
                                        0,                 focal, 0,             0,
                                        0,                 0,     -101.0f / 99,  -1,
                                        0,                 0,     -200.0f / 99,  0};
  const float expectedModelview[16] = {1, 0, 0,  0,
                                       0, 1, 0,  0,
                                       0, 0, 1,  0,
                                       0, 0, -3, 1};
  // clang-format on
  for (int element = 0; element < 16; ++element) {
    EXPECT_NEAR(camera.projection[element], expectedProjection[element], 1e-5) << "projection element " << element;
    EXPECT_NEAR(camera.modelview[element], expectedModelview[element], 1e-6) << "modelview element " << element;
  }
}

TEST(SceneCamera, AZeroHeightDrawingAreaCountsAsOnePixelHigh) {
  Camera camera = cameraForHeight(0);
  EXPECT_EQ(camera.error, static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(std::vector<GLint>(camera.viewport, camera.viewport + 4), (std::vector<GLint>{0, 0, 400, 1}));
  for (int element = 0; element < 16; ++element) {
    EXPECT_TRUE(std::isfinite(camera.projection[element])) << "projection element " << element;
  }
  // Aspect ratio 400 / 1: x is squeezed 400 times more than y.
  EXPECT_NEAR(camera.projection[5] / camera.projection[0], 400.0f, 1e-2);
}

// The axes turned as a drag turns them, drawn by `draw` over the sky in the
// scene's GL state.
template <typename Draw>
Picture axesPicture(float turnX, float turnY, Draw draw) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setupCamera();
  glPushMatrix();
  glRotatef(turnX, 1, 0, 0);
  glRotatef(turnY, 0, 1, 0);
  draw();
  glPopMatrix();
  return readFramebuffer(400, 300);
}

// WebGL has no smooth lines, so the browser draws each axis as a band whose
// coverage is the fragment's alpha. Through this GL the bands must look as
// its smooth lines do, axes reaching behind the eye included, where a band
// cut or split otherwise would show at once.
TEST(SceneAxes, TheBrowsersBandsLookAsTheSmoothLines) {
  useGLContext();
  initGLState();
  for (const auto& turn : {std::pair{10.0f, 12.0f}, std::pair{-35.0f, 60.0f}, std::pair{80.0f, -150.0f}}) {
    Picture lines = axesPicture(turn.first, turn.second, drawAxisLines);
    Picture bands = axesPicture(turn.first, turn.second, drawAxisBands);
    EXPECT_LE(compare(lines, bands).largest, 1) << turn.first << ", " << turn.second;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// One frame of the recording, from the camera to the buffer swap.
using Frame = std::vector<GLCall>;

struct SceneRecording {
  std::string failure;
  Frame atRest;
  Frame dragging;
};

// The helper swaps after its set-up and after each of its two frames.
const SceneRecording& sceneRecording() {
  static SceneRecording recording = [] {
    SceneRecording made;
    std::vector<GLCall> calls = recordGLCalls({std::string(QUORVEL_TOOL_DIR) + "/scene_frames"}, &made.failure);
    std::vector<Frame> parts = splitAtSwaps(calls);
    if (made.failure.empty() && parts.size() < 4) made.failure = "the recording holds fewer than two frames";
    if (made.failure.empty()) {
      made.atRest = parts[parts.size() - 3];
      made.dragging = parts[parts.size() - 2];
    }
    return made;
  }();
  return recording;
}

std::string text(const GLCall& call) {
  std::string joined;
  for (const std::string& arg : call.args) joined += (joined.empty() ? "" : ", ") + arg;
  return call.name + "(" + joined + ")";
}

struct Vertex {
  float x, y, z;
};

struct Strip {
  std::vector<std::string> vertexTexts;
  std::vector<Vertex> vertices;
  std::vector<std::string> strayCalls;  // anything but a vertex inside the batch
};

std::vector<Strip> quadStrips(const Frame& frame) {
  std::vector<Strip> strips;
  bool inStrip = false;
  for (const GLCall& call : frame) {
    if (call.name == "glBegin") {
      inStrip = call.args == std::vector<std::string>{"GL_QUAD_STRIP"};
      if (inStrip) strips.emplace_back();
    } else if (call.name == "glEnd") {
      inStrip = false;
    } else if (inStrip && call.name == "glVertex3f") {
      strips.back().vertexTexts.push_back(text(call));
      strips.back().vertices.push_back({std::stof(call.args[0]), std::stof(call.args[1]), std::stof(call.args[2])});
    } else if (inStrip) {
      strips.back().strayCalls.push_back(text(call));
    }
  }
  return strips;
}

// Each uniform set as "glUniform4f rotCol0 1, 0, 0, 0", its name taken from
// the location look-up that the library makes before every set.
std::vector<std::string> uniformSets(const Frame& frame) {
  std::map<std::string, std::string> names;
  std::vector<std::string> sets;
  for (const GLCall& call : frame) {
    if (call.name == "glGetUniformLocation") names[call.result] = call.args[1].substr(1, call.args[1].size() - 2);
    if (call.name.compare(0, 9, "glUniform") != 0) continue;
    std::string values;
    for (size_t arg = 1; arg < call.args.size(); ++arg) values += (arg > 1 ? ", " : "") + call.args[arg];
    sets.push_back(call.name + " " + names[call.args[0]] + " " + values);
  }
  return sets;
}

// A set as uniformSets gives it.
std::string uniformSet(const char* call, const char* uniform, const std::string& values) {
  return std::string(call) + " " + uniform + " " + values;
}

std::vector<std::string> zPositionSets(const Frame& frame) {
  const std::string prefix = uniformSet("glUniform1f", kZPosition, "");
  std::vector<std::string> zs;
  for (const std::string& set : uniformSets(frame)) {
    if (set.compare(0, prefix.size(), prefix) == 0) zs.push_back(set.substr(prefix.size()));
  }
  return zs;
}

// The 32 values from -1.5 to 1.5 as the scene computes both the slices' z
// and the grid's x and y: start plus index times step.
std::vector<std::string> evenSteps() {
  const float step = 3.0f / 31.0f;
  std::vector<std::string> values(32);
  for (int index = 0; index < 32; ++index) values[index] = printedFloat(-1.5f + static_cast<float>(index) * step);
  return values;
}

std::vector<std::string> namesIn(const Frame& frame, const std::set<std::string>& names) {
  std::vector<std::string> found;
  for (const GLCall& call : frame) {
    if (names.count(call.name)) found.push_back(text(call));
  }
  return found;
}

class SceneFrames : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(sceneRecording().failure, ""); }
  static const Frame& atRest() { return sceneRecording().atRest; }
  static const Frame& dragging() { return sceneRecording().dragging; }
};

TEST_F(SceneFrames, ThirtyTwoSlicesGoBackToFrontInEvenSteps) {
  std::vector<std::string> expected = evenSteps();
  EXPECT_EQ(expected.front(), "-1.5");
  EXPECT_EQ(expected.back(), "1.5");
  std::vector<std::string> translations(expected.size());
  for (size_t slice = 0; slice < expected.size(); ++slice) {
    translations[slice] = "glTranslatef(0, 0, " + expected[slice] + ")";
  }
  for (const Frame* frame : {&atRest(), &dragging()}) {
    EXPECT_EQ(zPositionSets(*frame), expected);
    EXPECT_EQ(namesIn(*frame, {"glTranslatef"}), translations);
  }
}

TEST_F(SceneFrames, EachSliceIsMovedInsideItsOwnMatrixPush) {
  std::vector<std::string> expected;
  for (const std::string& z : evenSteps()) {
    expected.insert(expected.end(), {"glPushMatrix()", "glTranslatef(0, 0, " + z + ")", "glPopMatrix()"});
  }
  EXPECT_EQ(namesIn(atRest(), {"glPushMatrix", "glTranslatef", "glPopMatrix"}), expected);
}

TEST_F(SceneFrames, EverySliceIsAGridOfStripsWithTheUpperVertexFirst) {
  std::vector<std::string> coordinate = evenSteps();
  std::vector<Strip> strips = quadStrips(atRest());
  ASSERT_EQ(strips.size(), 32u * 31u);
  size_t vertexCount = 0;
  for (size_t strip = 0; strip < strips.size(); ++strip) {
    int row = static_cast<int>(strip % 31);
    std::vector<std::string> expected;
    for (int column = 0; column < 32; ++column) {
      expected.push_back("glVertex3f(" + coordinate[column] + ", " + coordinate[row + 1] + ", 0)");
      expected.push_back("glVertex3f(" + coordinate[column] + ", " + coordinate[row] + ", 0)");
    }
    ASSERT_EQ(strips[strip].vertexTexts, expected) << "strip " << strip;
    ASSERT_EQ(strips[strip].strayCalls, std::vector<std::string>{}) << "strip " << strip;
    vertexCount += strips[strip].vertices.size();
  }
  EXPECT_EQ(vertexCount, 63488u);
}

TEST_F(SceneFrames, EveryQuadFacesTheEyeAndDraggingNeverTurnsTheSlices) {
  std::vector<Strip> strips = quadStrips(atRest());
  ASSERT_FALSE(strips.empty());
  for (size_t strip = 0; strip < strips.size(); ++strip) {
    const std::vector<Vertex>& v = strips[strip].vertices;
    // A strip's quad k is v[2k], v[2k+1], v[2k+3], v[2k+2] in drawing order.
    for (size_t k = 0; k + 3 < v.size(); k += 2) {
      const Vertex corners[4] = {v[k], v[k + 1], v[k + 3], v[k + 2]};
      float twiceArea = 0;
      for (int corner = 0; corner < 4; ++corner) {
        const Vertex& a = corners[corner];
        const Vertex& b = corners[(corner + 1) % 4];
        twiceArea += a.x * b.y - b.x * a.y;
      }
      ASSERT_GT(twiceArea, 0.0f) << "strip " << strip << " quad " << k / 2 << " runs clockwise seen from +z";
    }
  }
  std::vector<Strip> draggedStrips = quadStrips(dragging());
  ASSERT_EQ(draggedStrips.size(), strips.size());
  for (size_t strip = 0; strip < strips.size(); ++strip) {
    ASSERT_EQ(draggedStrips[strip].vertexTexts, strips[strip].vertexTexts) << "strip " << strip;
  }
}

TEST_F(SceneFrames, AtRestTheUniformsGoInOrderWithNoiseOnAndIdentityColumns) {
  std::vector<std::string> sets = uniformSets(atRest());
  ASSERT_EQ(sets.size(), 8u + 32u);
  EXPECT_EQ(std::vector<std::string>(sets.begin(), sets.begin() + 8),
            (std::vector<std::string>{
                uniformSet("glUniform1i", kUseNoise, "1"), uniformSet("glUniform1i", kPermTexture, "0"),
                uniformSet("glUniform1i", kGradTexture, "1"), uniformSet("glUniform4f", kRotCol0, "1, 0, 0, 0"),
                uniformSet("glUniform4f", kRotCol1, "0, 1, 0, 0"), uniformSet("glUniform4f", kRotCol2, "0, 0, 1, 0"),
                uniformSet("glUniform4f", kRotCol3, "0, 0, 0, 1"), uniformSet("glUniform3f", kLightPos, "-1, 1, -1")}));
}

// The helper sets the matrix elements to 0.5, 1.5, ... 15.5 for its drag.
TEST_F(SceneFrames, WhileDraggingNoiseIsOffAndTheColumnsFollowTheMatrix) {
  std::vector<std::string> sets = uniformSets(dragging());
  ASSERT_EQ(sets.size(), 8u + 32u);
  EXPECT_EQ(std::vector<std::string>(sets.begin(), sets.begin() + 8),
            (std::vector<std::string>{
                uniformSet("glUniform1i", kUseNoise, "0"), uniformSet("glUniform1i", kPermTexture, "0"),
                uniformSet("glUniform1i", kGradTexture, "1"), uniformSet("glUniform4f", kRotCol0, "0.5, 1.5, 2.5, 3.5"),
                uniformSet("glUniform4f", kRotCol1, "4.5, 5.5, 6.5, 7.5"),
                uniformSet("glUniform4f", kRotCol2, "8.5, 9.5, 10.5, 11.5"),
                uniformSet("glUniform4f", kRotCol3, "12.5, 13.5, 14.5, 15.5"),
                uniformSet("glUniform3f", kLightPos, "-1, 1, -1")}));
}

TEST_F(SceneFrames, UniformsAndSlicesLieBetweenBindAndUnbind) {
  for (const Frame* frame : {&atRest(), &dragging()}) {
    std::vector<size_t> binds;
    size_t firstSet = frame->size();
    size_t lastSliceCall = 0;
    for (size_t at = 0; at < frame->size(); ++at) {
      const GLCall& call = (*frame)[at];
      if (call.name == "glUseProgram") binds.push_back(at);
      if (call.name.compare(0, 9, "glUniform") == 0) firstSet = std::min(firstSet, at);
      if (call.name.compare(0, 9, "glUniform") == 0 || call.name == "glEnd") lastSliceCall = at;
    }
    ASSERT_EQ(binds.size(), 2u);
    EXPECT_NE((*frame)[binds[0]].args, std::vector<std::string>{"0"});
    EXPECT_EQ((*frame)[binds[1]].args, std::vector<std::string>{"0"});
    EXPECT_LT(binds[0], firstSet);
    EXPECT_GT(binds[1], lastSliceCall);
  }
}

TEST_F(SceneFrames, AtRestNoAxesAreDrawn) {
  EXPECT_EQ(namesIn(atRest(), {"glRotatef", "glColor3f", "glDisable", "glEnable"}), std::vector<std::string>{});
  for (const std::string& begin : namesIn(atRest(), {"glBegin"})) EXPECT_EQ(begin, "glBegin(GL_QUAD_STRIP)");
}

// The helper drags with angleX = 12.5 and angleY = -30 degrees.
TEST_F(SceneFrames, WhileDraggingTheAxesComeFirstTurnedByTheAngles) {
  Frame beforeBind;
  for (const GLCall& call : dragging()) {
    if (call.name == "glUseProgram") break;
    beforeBind.push_back(call);
  }
  EXPECT_EQ(namesIn(beforeBind, {"glDisable", "glEnable", "glPushMatrix", "glPopMatrix", "glRotatef", "glBegin",
                                 "glEnd", "glColor3f", "glVertex3f"}),
            (std::vector<std::string>{
                "glDisable(GL_TEXTURE_1D)", "glDisable(GL_TEXTURE_2D)", "glPushMatrix()", "glRotatef(12.5, 1, 0, 0)",
                "glRotatef(-30, 0, 1, 0)", "glBegin(GL_LINES)", "glColor3f(0, 1, 0)", "glVertex3f(0, 100, 0)",
                "glVertex3f(0, -100, 0)", "glColor3f(1, 0, 0)", "glVertex3f(-100, 0, 0)", "glVertex3f(100, 0, 0)",
                "glColor3f(0, 0, 1)", "glVertex3f(0, 0, -100)", "glVertex3f(0, 0, 100)", "glEnd()", "glPopMatrix()",
                "glEnable(GL_TEXTURE_1D)", "glEnable(GL_TEXTURE_2D)"}));
}

}  // namespace
