// The cloud shader pairs as the program draws them: the shipped pair and the
// starter pair that authors copy, each fed on every uniform on any GL 2.0,
// culled only where there is no cloud and drawn alike from the browser's
// slice buffers; the shipped one also drawn in frames that reuse each
// other's memory, a cloud that ends well inside the volume at any turn, lit
// from the light's side, and a drag preview with the same outline and light,
// without the fine detail. The benchmark that times a pair is run once to
// see that its table and ratios come out.
#include <GL/glew.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "cloud_figures.h"
#include "controls.h"
#include "gl_context.h"
#include "process.h"
#include "scene.h"
#include "state.h"
#include "textures.h"
#include "window.h"

namespace {

// Turns as (angleX, angleY) in degrees: at rest, a quarter and a half turn
// about the vertical, a tilt, and two oblique ones.
const float kTurns[][2] = {{0, 0}, {0, 90}, {0, 180}, {90, 0}, {45, 45}, {-60, 135}};

// The pairs that the checks of any pair run on, by folder.
// The starter takes the page's clock; the shipped pair stands still.
struct PairFolder {
  const char* name;
  const char* folder;
  bool clocked;
};
const PairFolder kPairs[] = {{"shipped", QUORVEL_SHADER_DIR, false}, {"starter", QUORVEL_STARTER_DIR, true}};

// Names the pair in test listings instead of dumping its bytes.
void PrintTo(const PairFolder& pair, std::ostream* out) { *out << pair.name; }

std::string shaderSource(const char* name, const char* folder = QUORVEL_SHADER_DIR) {
  return readFile(std::string(folder) + "/" + name);
}

// The manager keeps pointers to the texts it compiles; keep them for the run.
const char* keep(std::string text) {
  static std::deque<std::string> texts;
  texts.push_back(std::move(text));
  return texts.back().c_str();
}

// The text with its one occurrence of `from` replaced; empty when `from` is
// not there, so a renamed anchor fails the test instead of testing nothing.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at == std::string::npos || text.find(from, at + 1) != std::string::npos) return "";
  return text.replace(at, from.size(), to);
}

// The text with `name` defined on its first line, ahead of the pair's own
// switch for WebGL (the pair has no version line, which would have to come
// first); empty when the text never tests `name`, so a switch gone from the
// pair fails the test.
std::string defining(const std::string& text, const std::string& name) {
  if (text.find("def " + name) == std::string::npos) return "";
  return "#define " + name + "\n" + text;
}

glShader* loadPair(const std::string& vertex, const std::string& fragment) {
  if (vertex.empty() || fragment.empty()) return nullptr;
  LogCapture quiet;
  return shaderManager.loadFromMemory(keep(vertex), keep(fragment));
}

// The fixed GL state and the noise textures as the program has them at its
// first frame, set up once in the binary's hidden context.
void useScene() {
  static bool ready = false;
  useGLContext();
  if (ready) return;
  initGLState();
  createPermTexture(&permTextureId);
  createGradTexture(&gradTextureId);
  ready = true;
}

// Each folder's pair, built once for the binary. The map is never
// destroyed: the manager lets go of its programs at exit without freeing
// them, as the program's does, and the map keeps them reachable for the
// leak check.
glShader* pairFrom(const char* folder) {
  useScene();
  static auto* programs = new std::map<std::string, glShader*>;
  if (!programs->count(folder)) {
    (*programs)[folder] = loadPair(shaderSource("Quorvel.vert", folder), shaderSource("Quorvel.frag", folder));
  }
  return (*programs)[folder];
}

glShader* shippedPair() { return pairFrom(QUORVEL_SHADER_DIR); }

class EveryPair : public ::testing::TestWithParam<PairFolder> {
protected:
  static glShader* pair() { return pairFrom(GetParam().folder); }
};

INSTANTIATE_TEST_SUITE_P(Pairs, EveryPair, ::testing::ValuesIn(kPairs),
                         [](const auto& info) { return std::string(info.param.name); });

// What the frame just drawn left in the window.
Picture readFrame() {
  int width = 0;
  int height = 0;
  getWindowSize(&width, &height);
  return readFramebuffer(width, height);
}

Picture drawFrame(glShader* program, bool dragFrame) {
  cloudShader = program;
  dragging = dragFrame;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  setupCamera();
  drawScene();
  return readFrame();
}

TEST_P(EveryPair, EveryUniformTheSceneSetsIsActive) {
  glShader* program = pair();
  ASSERT_NE(program, nullptr);
  for (const char* name : kSceneUniforms) EXPECT_GE(glGetUniformLocation(program->handle, name), 0) << name;
  EXPECT_EQ(program->hasUniform(kTime), GetParam().clocked);
  // Set by a parent test whose GL should take shading language 1.10 only.
  if (std::getenv("QUORVEL_GLSL_110_ONLY")) {
    aVertexShader newer;
    newer.setSource("#version 120\nvoid main() { gl_Position = vec4(0.0); }\n");
    LogCapture quiet;
    EXPECT_FALSE(newer.compile()) << "the GL still takes GLSL 1.20";
  }
}

TEST_P(EveryPair, FramesAtRestAndInTheDragPreviewLeaveTheLogEmpty) {
  glShader* program = pair();
  ASSERT_NE(program, nullptr);
  setTurn(20, 30);
  while (glGetError() != GL_NO_ERROR) {
  }
  LogCapture log;
  drawFrame(program, false);
  drawFrame(program, true);
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

long minorPageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

long residentPages() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident;
}

// The GL driver frees megabytes at the end of a frame and asks for them again
// in the next. The process keeps them from its first frame on; given back to
// the system, they cost a young program hundreds of page faults a frame. A
// pool that still grows now and then faults its new pages in once and keeps
// them: only the faults beyond what the process came to hold count.
TEST(CloudPair, EachFrameReusesTheMemoryOfTheFrameBefore) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer's allocator does not reuse freed memory at once";
#endif
  glShader* program = shippedPair();
  ASSERT_NE(program, nullptr);
  const int setUp = 3;
  const int frames = 20;
  long faults = 0;
  long resident = 0;
  for (int frame = 0; frame < setUp + frames; ++frame) {
    // The first frames make what every later one uses.
    if (frame == setUp) {
      faults = minorPageFaults();
      resident = residentPages();
    }
    drawFrame(program, false);
  }
  const long kept = std::max(0L, residentPages() - resident);
  EXPECT_LT(minorPageFaults() - faults - kept, 10 * frames) << kept << " pages kept";
}

// The contract tests of every pair again in a child process whose GL offers
// only OpenGL 2.0 with shading language 1.10.
TEST(CloudPair, EveryPairRunsOnAGL2WithShadingLanguage110) {
  ProcessOptions options;
  options.setEnv = {
      {"MESA_GL_VERSION_OVERRIDE", "2.0"}, {"MESA_GLSL_VERSION_OVERRIDE", "110"}, {"QUORVEL_GLSL_110_ONLY", "1"}};
  options.timeoutSeconds = 60;
  ProcessResult child =
      runProcess({"/proc/self/exe", "--gtest_filter=*/EveryPair.EveryUniform*:*/EveryPair.FramesAtRest*"}, options);
  EXPECT_EQ(child.status, 0) << child.output;
  std::string passed = "[  PASSED  ] " + std::to_string(2 * std::size(kPairs)) + " tests.";
  EXPECT_NE(child.output.find(passed), std::string::npos) << child.output;
}

// The farthest any dense fragment lies from the volume's centre, found by
// the shipped pair with its last line changed to write that distance, kept
// by maximum blending over the whole stack. Empty fragments write zero.
double farthestCloud(float turnX, float turnY, bool dragFrame) {
  static glShader* probe =
      loadPair(shaderSource("Quorvel.vert"),
               replaced(shaderSource("Quorvel.frag"), "gl_FragColor = vec4(1.0 - exp(-EXPOSURE * light), opacity);",
                        "gl_FragColor = vec4(density > 0.0 ? length(volumePoint) / 3.0 : 0.0);"));
  if (!probe) return -1.0;
  setTurn(turnX, turnY);
  glBlendEquation(GL_MAX);
  glDisable(GL_DEPTH_TEST);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  Picture frame;
  {
    // Without the colour, uniforms that only light the cloud drop out of the
    // probe, and setting them writes their not-found line.
    LogCapture quiet;
    frame = drawFrame(probe, dragFrame);
  }
  glClearColor(0.2f, 0.2f, 0.8f, 0.0f);
  glEnable(GL_DEPTH_TEST);
  glBlendEquation(GL_FUNC_ADD);
  // The probe writes grey below white (no point of a slice lies 3 from the
  // centre); the axes of a drag frame are pure colours, white where all
  // three cross.
  int farthest = 0;
  for (const Pixel& p : frame.pixels) {
    if (p.r == p.g && p.g == p.b && p.r < 255) farthest = std::max(farthest, p.r);
  }
  return farthest / 255.0 * 3.0;
}

TEST(CloudPicture, TheCloudEndsWellInsideTheVolumeAtEveryTurn) {
  useScene();
  for (const auto& turn : kTurns) {
    for (bool dragFrame : {false, true}) {
      double farthest = farthestCloud(turn[0], turn[1], dragFrame);
      // A slice spans 1.5 each way from the centre; one slice spacing short
      // of that, no edge or face of the volume can cut the cloud.
      EXPECT_LT(farthest, 1.5 - 3.0 / 31.0) << turn[0] << ", " << turn[1] << (dragFrame ? " preview" : " rest");
      EXPECT_GT(farthest, 0.5) << "no cloud at " << turn[0] << ", " << turn[1];
    }
  }
}

// The page's clock, for a pair that declares one; the desktop gives none.
void setClock(glShader* program, float seconds) {
  if (!program->hasUniform(kTime)) return;
  program->bind();
  program->setUniform1f(kTime, seconds);
  program->unbind();
}

// A pair culls what cannot show: vertices whose triangles hold no cloud,
// and the fragments past its bound. Its own switch turns both off for a
// reference that follows every other change to the pair; over many turns
// the frames must agree up to rounding, or a cull has cut off some cloud.
// A pair that drifts on the page's clock is seen at another time at each
// turn, over minutes.
TEST_P(EveryPair, CullingRemovesNoCloud) {
  glShader* culling = pair();
  glShader* reference = loadPair(defining(shaderSource("Quorvel.vert", GetParam().folder), "SHADE_EVERY_FRAGMENT"),
                                 defining(shaderSource("Quorvel.frag", GetParam().folder), "SHADE_EVERY_FRAGMENT"));
  ASSERT_NE(culling, nullptr);
  ASSERT_NE(reference, nullptr);
  int largest = 0;
  // Turns spread evenly over the sphere of view directions.
  const int turns = 40;
  for (int i = 0; i < turns; ++i) {
    float step = static_cast<float>(i);
    float tilt = std::acos(1.0f - 2.0f * (step + 0.5f) / turns) / degToRad - 90.0f;
    float heading = std::fmod(step * 137.508f, 360.0f);
    setClock(culling, step * 13.0f);
    setClock(reference, step * 13.0f);
    for (bool dragFrame : {false, true}) {
      setTurn(tilt, heading);
      Picture culled = drawFrame(culling, dragFrame);
      Picture full = drawFrame(reference, dragFrame);
      largest = std::max(largest, compare(culled, full).largest);
      ASSERT_LE(largest, 1) << tilt << ", " << heading << (dragFrame ? " preview" : " rest");
    }
  }
}

// The browser draws the slices from buffers, as indexed triangles: with the
// quads split as the desktop GL splits its strips, the picture is the same.
// The pairs bend their light across each quad, so the other diagonal would
// show.
TEST_P(EveryPair, SliceBuffersDrawTheSamePictureAsImmediateMode) {
  glShader* program = pair();
  ASSERT_NE(program, nullptr);
  for (const auto& turn : kTurns) {
    setTurn(turn[0], turn[1]);
    Picture immediate = drawFrame(program, false);
    // The uniforms of that frame stay with the program.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    program->bind();
    drawSliceBuffers(kSliceCount, kGridSize, kVolumeExtent);
    program->unbind();
    Picture buffered = readFrame();
    EXPECT_EQ(compare(immediate, buffered).largest, 0) << turn[0] << ", " << turn[1];
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Where the cloud's brightness sits relative to the cloud itself, in pixels
// to the right and down.
struct LightBalance {
  double right = 0;
  double down = 0;
  int cloudPixels = 0;
};

LightBalance lightBalance(const Picture& frame) {
  // Sums of column, row and count over cloud pixels, plain and weighted by
  // brightness.
  double x = 0;
  double y = 0;
  double weight = 0;
  double lumaX = 0;
  double lumaY = 0;
  double lumaSum = 0;
  LightBalance balance;
  for (int row = 0; row < frame.height; ++row) {
    for (int column = 0; column < frame.width; ++column) {
      if (isSky(frame.at(column, row), 40)) continue;
      double brightness = luma(frame.at(column, row));
      x += column;
      y += row;
      weight += 1;
      lumaX += brightness * column;
      lumaY += brightness * row;
      lumaSum += brightness;
    }
  }
  balance.cloudPixels = static_cast<int>(weight);
  if (weight == 0) return balance;
  balance.right = lumaX / lumaSum - x / weight;
  balance.down = lumaY / lumaSum - y / weight;
  return balance;
}

// The light sits up and to the left of the viewer, behind the cloud, and
// stays there while the cloud turns: its bright side follows the light.
TEST(CloudPicture, TheBrightSideStaysTowardTheLightWhateverTheTurn) {
  glShader* program = shippedPair();
  ASSERT_NE(program, nullptr);
  for (const auto& turn : kTurns) {
    setTurn(turn[0], turn[1]);
    LightBalance balance = lightBalance(drawFrame(program, false));
    ASSERT_GT(balance.cloudPixels, 5000) << turn[0] << ", " << turn[1];
    EXPECT_LT(balance.right + balance.down, -2.0)
        << turn[0] << ", " << turn[1] << ": " << balance.right << " right, " << balance.down << " down";
  }
}

// The page's presets, written into the shipped pair by the page's own code
// and drawn by this scene with each preset's sun and sky: each stays a cloud
// lit from its sun, its side toward the sun brighter than the side away
// and its base darker than its top.
TEST(CloudPicture, EachPresetOfThePageIsACloudLitFromItsSun) {
  std::string looks = makeTempDir();
  ProcessResult written = runProcess(
      {NODE_EXECUTABLE, std::string(QUORVEL_TEST_SOURCE_DIR) + "/support/preset_pairs.mjs", QUORVEL_SHADER_DIR, looks});
  ASSERT_EQ(written.status, 0) << written.output;
  int presets = 0;
  for (const auto& folder : std::filesystem::directory_iterator(looks)) {
    std::string name = folder.path().filename().string();
    std::ifstream look(folder.path() / "look.txt");
    float light[3];
    float sky[3];
    ASSERT_TRUE(look >> light[0] >> light[1] >> light[2] >> sky[0] >> sky[1] >> sky[2]) << name;
    glShader* program = pairFrom(folder.path().c_str());
    ASSERT_NE(program, nullptr) << name;
    std::copy(light, light + 3, lightPosition);
    glClearColor(sky[0], sky[1], sky[2], 0.0f);
    setTurn(0.0f, 0.0f);
    Picture rest = drawFrame(program, false);
    auto level = [](float channel) { return static_cast<int>(std::lround(channel * 255.0f)); };
    CloudView view{{level(sky[0]), level(sky[1]), level(sky[2])}, light[0], -light[1]};
    CloudFigures figures = measureCloud(rest, view);
    EXPECT_GT(figures.cover, 0.05) << name << ": " << describe(figures);
    EXPECT_GT(figures.litSide, 4.0) << name << ": " << describe(figures);
    EXPECT_GT(figures.topMinusBase, 4.0) << name << ": " << describe(figures);
    ++presets;
  }
  const float fixedLight[3] = {-1.0f, 1.0f, -1.0f};
  std::copy(fixedLight, fixedLight + 3, lightPosition);
  glClearColor(skyColour[0], skyColour[1], skyColour[2], 0.0f);
  EXPECT_EQ(presets, 4);
}

double cloudShare(const Picture& frame) {
  int cloud = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) cloud += !isSky(frame.at(x, y));
  }
  return static_cast<double>(cloud) / (frame.width * frame.height);
}

// Pixels that are cloud in one frame and sky in the other, over those that
// are cloud in either.
double outlineMismatch(const Picture& a, const Picture& b) {
  int either = 0;
  int one = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      bool inA = !isSky(a.at(x, y), 40);
      bool inB = !isSky(b.at(x, y), 40);
      either += inA || inB;
      one += inA != inB;
    }
  }
  return either ? static_cast<double>(one) / either : 1.0;
}

// The preview is coarser, so it must not be grainier than the cloud at rest.
TEST(CloudPicture, TheDragPreviewKeepsTheOutlineAndTheLightWithoutTheFineDetail) {
  glShader* program = shippedPair();
  ASSERT_NE(program, nullptr);
  for (const auto& turn : {kTurns[0], kTurns[4]}) {
    setTurn(turn[0], turn[1]);
    Picture rest = drawFrame(program, false);
    Picture preview = drawFrame(program, true);
    EXPECT_GT(cloudShare(preview), 0.08);
    EXPECT_LT(outlineMismatch(rest, preview), 0.1) << turn[0] << ", " << turn[1];
    CloudFigures still = measureCloud(rest);
    CloudFigures moving = measureCloud(preview);
    EXPECT_NEAR(moving.litSide, still.litSide, 15.0) << describe(moving) << " against " << describe(still);
    EXPECT_NEAR(moving.topMinusBase, still.topMinusBase, 20.0) << describe(moving) << " against " << describe(still);
    EXPECT_LT(moving.grain, still.grain) << describe(moving) << " against " << describe(still);
  }
}

TEST(BenchmarkRun, PrintsEveryCaseEveryRatioAndItsSelfCheckWithACleanLog) {
  ProcessOptions options;
  options.workingDirectory = makeTempDir();
  options.timeoutSeconds = 110;
  ProcessResult run = runProcess({QUORVEL_BENCH_BINARY, "1", "1", "--quick"}, options);
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* line : {"clouds at rest      400x300", "pair B at rest      400x300", "drag preview        400x300",
                           "pass-through        400x300", "geometry only           1x1", "clouds / floor  ",
                           "preview / floor  ", "self-check: same pair B / A", "start-up: "}) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  }
  EXPECT_EQ(run.output.find("missing-uniform or GL error"), std::string::npos) << run.output;
  std::string log = readFile(options.workingDirectory + "/bench-log.txt");
  EXPECT_EQ(log.find("Error: can't find uniform"), std::string::npos) << log;
  EXPECT_NE(log.find("***GLSL Linker Log:"), std::string::npos) << log;
}

// A second pair takes B's place, so the run compares two pairs instead of
// checking itself; a third is refused.
TEST(BenchmarkRun, TimesASecondPairInPlaceOfTheSelfCheck) {
  ProcessOptions options;
  options.workingDirectory = makeTempDir();
  options.timeoutSeconds = 110;
  const std::string jittered = QUORVEL_BENCH_PAIR_DIR "/jittered-pair";
  ProcessResult run = runProcess(
      {QUORVEL_BENCH_BINARY, "1", "1", "--quick", "--pair", QUORVEL_SHADER_DIR, "--pair", jittered}, options);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("pair B from " + jittered), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("pair B / pair at rest"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("self-check"), std::string::npos) << run.output;
  ProcessResult third =
      runProcess({QUORVEL_BENCH_BINARY, "--pair", jittered, "--pair", jittered, "--pair", jittered}, options);
  EXPECT_EQ(third.status, 2) << third.output;
  EXPECT_NE(third.output.find("usage:"), std::string::npos) << third.output;
}

}  // namespace
