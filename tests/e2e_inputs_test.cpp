// The real program fed bad inputs: shader files that cannot be loaded, shader
// text that does or does not build, and surroundings without a display, a
// shading language or a log. Each run ends by itself, with the status and
// the exact log that the case calls for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "app_session.h"
#include "expected_log.h"
#include "glsl.h"
#include "scene.h"

namespace {

const char* const kVertexFile = "Quorvel.vert";
const char* const kFragmentFile = "Quorvel.frag";

const char* const kPlainVertex = "#version 120\nvoid main() { gl_Position = ftransform(); }\n";

// Runs the program on a pair that builds, for a few frames, then quits.
ProcessResult runForFrames(AppSession& app) {
  if (!app.startRunning()) return app.waitForEnd();
  app.letFramesPass();
  app.pressEscape();
  return app.waitForEnd();
}

void writeShader(AppSession& app, const char* name, const std::string& text) { writeFile(app.path(name), text); }

// Loading

enum class Damage { Missing, Empty, Directory, Fifo };

struct UnloadableCase {
  const char* name;
  const char* file;
  Damage damage;
};

void damageFile(const std::string& path, Damage damage) {
  std::filesystem::remove(path);
  switch (damage) {
    case Damage::Missing:
      break;
    case Damage::Empty:
      writeFile(path, "");
      break;
    case Damage::Directory:
      std::filesystem::create_directory(path);
      break;
    case Damage::Fifo:
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
      break;
  }
}

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const UnloadableCase& unloadable, std::ostream* out) { *out << unloadable.name; }

class UnloadableShader : public ::testing::TestWithParam<UnloadableCase> {};

TEST_P(UnloadableShader, EndsWithStatusOneAndTheLoadError) {
  AppSession app;
  damageFile(app.path(GetParam().file), GetParam().damage);
  expectEndedWith(app.runToEnd(), 1);
  std::string stage = std::string(GetParam().file) == kVertexFile ? "vertex" : "fragment";
  EXPECT_EQ(app.log(), startupReport() + "error: can't load " + stage + " shader!\n");
}

const UnloadableCase kUnloadableCases[] = {
    {"MissingVertex", kVertexFile, Damage::Missing},     {"MissingFragment", kFragmentFile, Damage::Missing},
    {"EmptyVertex", kVertexFile, Damage::Empty},         {"EmptyFragment", kFragmentFile, Damage::Empty},
    {"VertexDirectory", kVertexFile, Damage::Directory}, {"FragmentDirectory", kFragmentFile, Damage::Directory},
    {"VertexFifo", kVertexFile, Damage::Fifo},           {"FragmentFifo", kFragmentFile, Damage::Fifo},
};

INSTANTIATE_TEST_SUITE_P(ShaderFilesAtStart, UnloadableShader, ::testing::ValuesIn(kUnloadableCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShaderFilesAtStart, AMissingPairReportsOnlyTheVertexShader) {
  AppSession app;
  std::filesystem::remove(app.path(kVertexFile));
  std::filesystem::remove(app.path(kFragmentFile));
  expectEndedWith(app.runToEnd(), 1);
  EXPECT_EQ(app.log(), startupReport() + "error: can't load vertex shader!\n");
}

// Building

// An image saved under a shader's name: a PNG signature, NULs and noise.
std::string imageBytes() {
  const char header[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\x90\0\0\x01\x2c\x08\x06\0\0\0";
  std::string bytes(header, sizeof header - 1);
  std::mt19937 noise(7);
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(noise() % 256);
  return bytes;
}

// Bytes of every value but NUL, so the GL gets all of them.
std::string noiseBytes() {
  std::string bytes;
  std::mt19937 noise(11);
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(1 + noise() % 255);
  return bytes;
}

TEST(ShaderTextAtStart, BinaryGarbageAsTheVertexShaderFailsToCompile) {
  AppSession app;
  writeShader(app, kVertexFile, imageBytes());
  expectEndedWith(app.runToEnd(), 1);
  EXPECT_EQ(app.log(), startupReport() + compilerErrorSection(GL_VERTEX_SHADER, imageBytes()));
}

TEST(ShaderTextAtStart, BinaryGarbageAsTheFragmentShaderFailsToCompile) {
  AppSession app;
  writeShader(app, kFragmentFile, noiseBytes());
  expectEndedWith(app.runToEnd(), 1);
  EXPECT_EQ(app.log(), startupReport() + compilerSection(GL_VERTEX_SHADER, shippedShader(kVertexFile)) +
                           compilerErrorSection(GL_FRAGMENT_SHADER, noiseBytes()));
}

TEST(ShaderTextAtStart, AVertexSyntaxErrorStopsBeforeTheFragmentShader) {
  const char* broken = "#version 120\nvoid main() { gl_Position = ftransform() }\n";
  AppSession app;
  writeShader(app, kVertexFile, broken);
  ProcessResult result = app.runToEnd();
  expectEndedWith(result, 1);
  // The console says why at once, the compiler's message where editors jump.
  EXPECT_EQ(result.output.rfind("quorvel: the shader pair is not loaded: the vertex shader does not compile "
                                "(logfile.txt says why)\nQuorvel.vert:2: error: ",
                                0),
            0u)
      << result.output;
  std::string log = app.log();
  EXPECT_EQ(log, startupReport() + compilerErrorSection(GL_VERTEX_SHADER, broken));
  EXPECT_NE(log.find("error"), std::string::npos) << "the GL gave no message";
  EXPECT_EQ(log.find("Fragment Shader"), std::string::npos);
}

TEST(ShaderTextAtStart, AFragmentSyntaxErrorFollowsTheVertexLog) {
  const char* broken = "#version 120\nvoid main() { gl_FragColor = vec4(1.0) }\n";
  AppSession app;
  writeShader(app, kFragmentFile, broken);
  expectEndedWith(app.runToEnd(), 1);
  EXPECT_EQ(app.log(), startupReport() + compilerSection(GL_VERTEX_SHADER, shippedShader(kVertexFile)) +
                           compilerErrorSection(GL_FRAGMENT_SHADER, broken));
}

TEST(ShaderTextAtStart, APairThatDoesNotLinkEndsWithTheLinkerLog) {
  // The fragment shader reads a varying that the vertex shader never writes.
  const char* fragment = "#version 120\nvarying vec4 haze;\nvoid main() { gl_FragColor = haze; }\n";
  AppSession app;
  writeShader(app, kVertexFile, kPlainVertex);
  writeShader(app, kFragmentFile, fragment);
  expectEndedWith(app.runToEnd(), 1);
  EXPECT_EQ(app.log(), startupReport() + compilerSection(GL_VERTEX_SHADER, kPlainVertex) +
                           compilerSection(GL_FRAGMENT_SHADER, fragment) + linkerErrorSection(kPlainVertex, fragment));
}

// 8 MiB: the shipped shader in the middle of comment lines, or inside the
// gap of one block comment.
const size_t kHalfOfEightMegabytes = size_t{4} << 20;

std::string buriedInBlockComments(const std::string& shader) {
  std::string filler(kHalfOfEightMegabytes - 4, 'c');
  return "/*" + filler + "*/\n" + shader + "/*" + filler + "*/\n";
}

TEST(ShaderTextAtStart, EightMegabytesOfCommentsAroundTheShadersStillRun) {
  std::string vertex = buriedInLineComments(shippedShader(kVertexFile), 2 * kHalfOfEightMegabytes);
  std::string fragment = buriedInBlockComments(shippedShader(kFragmentFile));
  ASSERT_GE(vertex.size(), 2 * kHalfOfEightMegabytes);
  ASSERT_GE(fragment.size(), 2 * kHalfOfEightMegabytes);
  AppSession app;
  writeShader(app, kVertexFile, vertex);
  writeShader(app, kFragmentFile, fragment);
  expectEndedWith(runForFrames(app), 0);
  EXPECT_EQ(app.log(), startupReport() + buildSections(vertex, fragment));
}

std::string withCrLf(const std::string& text) {
  std::string converted;
  for (char c : text) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

TEST(ShaderTextAtStart, CrLfLineEndsRunNormally) {
  std::string vertex = withCrLf(shippedShader(kVertexFile));
  std::string fragment = withCrLf(shippedShader(kFragmentFile));
  AppSession app;
  writeShader(app, kVertexFile, vertex);
  writeShader(app, kFragmentFile, fragment);
  expectEndedWith(runForFrames(app), 0);
  EXPECT_EQ(app.log(), startupReport() + buildSections(vertex, fragment));
}

// Uniforms

std::string notFound(const std::string& name) { return "Error: can't find uniform variable \"" + name + "\"\n"; }

TEST(ShaderUniformsWhileRunning, APairLackingUniformsRunsAndNamesThemEveryFrame) {
  // Holds "useNoise" and "lightPos" only.
  const char* fragment =
      "#version 120\nuniform int useNoise;\nuniform vec3 lightPos;\n"
      "void main() { gl_FragColor = vec4(lightPos * float(useNoise), 0.05); }\n";
  AppSession app;
  writeShader(app, kVertexFile, kPlainVertex);
  writeShader(app, kFragmentFile, fragment);
  expectEndedWith(runForFrames(app), 0);

  std::string frame;
  for (const std::string name : kSceneUniforms) {
    if (name != kUseNoise && name != kLightPos && name != kZPosition) frame += notFound(name);
  }
  for (int slice = 0; slice < kSliceCount; ++slice) frame += notFound(kZPosition);
  std::string start = startupReport() + buildSections(kPlainVertex, fragment);
  std::string log = app.log();
  ASSERT_EQ(log.substr(0, start.size()), start);
  std::string frames = log.substr(start.size());
  size_t frameCount = frames.size() / frame.size();
  EXPECT_GE(frameCount, 1u);
  std::string whole;
  for (size_t i = 0; i < frameCount; ++i) whole += frame;
  EXPECT_EQ(frames, whole) << "the frames' lines are not whole frames of the missing uniforms";
}

// Surroundings

// No display named, and one named that no X server answers for.
TEST(Surroundings, NoDisplayEndsWithStatusOneAnEmptyLogAndGLFWsReasonOnTheConsole) {
  for (bool stale : {false, true}) {
    AppSession app;
    if (stale) {
      app.options.setEnv = {{"DISPLAY", ":4095"}};
    } else {
      app.options.unsetEnv = {"DISPLAY"};
    }
    ProcessResult result = app.runToEnd();
    expectEndedWith(result, 1);
    EXPECT_TRUE(std::filesystem::is_regular_file(app.path("logfile.txt")));
    EXPECT_EQ(app.log(), "");
    EXPECT_NE(result.output.find("quorvel: cannot open a window: X11: "), std::string::npos) << result.output;
  }
}

TEST(Surroundings, AGLWithoutTheShadingLanguageEndsWithStatusOne) {
  std::map<std::string, std::string> noVertexShaders{{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_vertex_shader"}};
  AppSession app;
  app.options.setEnv = noVertexShaders;
  ProcessResult result = app.runToEnd();
  expectEndedWith(result, 1);
  EXPECT_EQ(result.output,
            "quorvel: the shader pair is not loaded: this GL offers no shading language (logfile.txt "
            "says why)\n");
  std::string report = startupReport(noVertexShaders);
  EXPECT_NE(report.find("[FAILED] OpenGL Shading Language is not available...\n\n"), std::string::npos) << report;
  EXPECT_EQ(app.log(), report +
                           "**ERROR: OpenGL Shading Language is NOT available!\n"
                           "***COMPILER ERROR (Vertex Shader):\n" +
                           glslErrorTexts[0] + "\n");
}

TEST(Surroundings, ADirectoryInThePlaceOfTheLogDoesNotStopTheRun) {
  AppSession app;
  std::filesystem::create_directory(app.path("logfile.txt"));
  expectEndedWith(runForFrames(app), 0);
  EXPECT_TRUE(std::filesystem::is_empty(app.path("logfile.txt")));
}

// Opening a FIFO waits for a reader; none comes here.
TEST(Surroundings, AFifoInThePlaceOfTheLogDoesNotStopTheRun) {
  AppSession app;
  ASSERT_EQ(mkfifo(app.path("logfile.txt").c_str(), 0600), 0);
  expectEndedWith(runForFrames(app), 0);
  EXPECT_TRUE(std::filesystem::is_fifo(app.path("logfile.txt")));
}

TEST(Surroundings, ALogLinkedElsewhereIsWrittenThere) {
  AppSession app;
  std::filesystem::create_symlink("elsewhere.txt", app.path("logfile.txt"));
  expectEndedWith(runForFrames(app), 0);
  EXPECT_EQ(readFile(app.path("elsewhere.txt")), normalLog());
}

// /dev/full fails every write with ENOSPC, as a full filesystem does.
TEST(Surroundings, ALogOnAFullDiskIsReportedOnceAndTheRunGoesOn) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to stand for a full disk";
  AppSession app;
  std::filesystem::create_symlink("/dev/full", app.path("logfile.txt"));
  ProcessResult result = runForFrames(app);
  expectEndedWith(result, 0);
  const std::string line = "quorvel: cannot write logfile.txt: No space left on device\n";
  size_t first = result.output.find(line);
  EXPECT_NE(first, std::string::npos) << result.output;
  EXPECT_EQ(result.output.find(line, first + 1), std::string::npos) << result.output;
}

TEST(Surroundings, ALogThatCannotBeCreatedDoesNotStopTheRun) {
  AppSession app;
  std::filesystem::create_symlink("missing/logfile.txt", app.path("logfile.txt"));
  expectEndedWith(runForFrames(app), 0);
  EXPECT_FALSE(std::filesystem::exists(app.path("missing")));
}

}  // namespace
