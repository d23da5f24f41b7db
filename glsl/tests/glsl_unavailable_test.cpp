// The shader library on a GL without the shading language: every operation
// takes its quiet failure path, and the manager's failure names the reason.
#include <gtest/gtest.h>

#include <filesystem>

#include "glsl_support.h"
#include "hidden_context.h"
#include "process.h"

namespace {

const char* const kNotAvailable = "**ERROR: OpenGL Shading Language is NOT available!\n";
// The library's stand-in for every log while the shading language is unavailable.
const std::string kNoGLSL = glslErrorTexts[0];

const std::map<std::string, std::string> kNoVertexShaders{{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_vertex_shader"}};

std::string runWithoutGLSL(const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& gl = kNoVertexShaders) {
  std::vector<std::string> argv{GLSL_UNAVAILABLE_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ProcessOptions options;
  options.setEnv = gl;
  ProcessResult result = runProcess(argv, options);
  EXPECT_EQ(result.status, 0) << result.output;
  return result.output;
}

class WithoutGLSL : public ::testing::Test {
protected:
  ~WithoutGLSL() override { std::filesystem::remove_all(directory_); }
  std::string directory_ = makeTempDir();
};

TEST_F(WithoutGLSL, TheManagerReportsTheMissingLanguageForTheVertexStage) {
  writeFile(directory_ + "/pair.vert", kGoodVertex);
  writeFile(directory_ + "/pair.frag", kGoodFragment);
  EXPECT_EQ(runWithoutGLSL({"files", directory_ + "/pair.vert", directory_ + "/pair.frag"}),
            std::string("glsl: unavailable\n") + kNotAvailable + "***COMPILER ERROR (Vertex Shader):\n" + kNoGLSL +
                "\nresult: null\nprograms: 0\n");
}

TEST_F(WithoutGLSL, TheFilesAreStillReadFirst) {
  EXPECT_EQ(runWithoutGLSL({"files", directory_ + "/none.vert", directory_ + "/none.frag"}),
            std::string("glsl: unavailable\n") + kNotAvailable +
                "error: can't load vertex shader!\n"
                "result: null\nprograms: 0\n");
}

TEST_F(WithoutGLSL, AFragmentStageAloneIsTheOneReported) {
  EXPECT_EQ(runWithoutGLSL({"fragment-only"}),
            std::string("glsl: unavailable\n") + kNotAvailable + "***GLSL Compiler Log (Vertex Shader):\n" + kNoGLSL +
                "\n***COMPILER ERROR (Fragment Shader):\n" + kNoGLSL + "\nresult: null\nprograms: 0\n");
}

TEST_F(WithoutGLSL, AStageLoadsItsFileButMakesNothingOfIt) {
  writeFile(directory_ + "/stage.vert", kGoodVertex);
  EXPECT_EQ(runWithoutGLSL({"stage", directory_ + "/stage.vert"}),
            "glsl: unavailable\n"
            "handle: 0\n"
            "load: 0\n"
            "compile: false\n"
            "log: " +
                kNoGLSL + "\n");
}

TEST_F(WithoutGLSL, AProgramRefusesEverythingQuietly) {
  EXPECT_EQ(runWithoutGLSL({"program"}), std::string("glsl: unavailable\n") + kNotAvailable +
                                             "objects: 0\n"
                                             "link: false\n"
                                             "log: " +
                                             kNoGLSL +
                                             "\n"
                                             "setters: false false false false\n"
                                             "attribute: false\n"
                                             "locations: -1 -1\n"
                                             "read back: 42\n");
}

// A GL below 2.0 that names the shader-object extension but lacks one of its
// functions leaves the library nothing to call in its place.
TEST_F(WithoutGLSL, AMissingExtensionFunctionOnAnOlderGLCountsAsNoGLSL) {
  EXPECT_EQ(runWithoutGLSL({"program"}, {{"MESA_GL_VERSION_OVERRIDE", "1.5"},
                                         {"GLSL_HIDDEN_GL_FUNCTION", "glCreateProgramObjectARB"}}),
            runWithoutGLSL({"program"}));
}

// Switches the library's gate off for a while on the test's own GL, to reach
// objects made on one side of the switch and used on the other.
class GLSLSwitchedOff {
public:
  GLSLSwitchedOff() { glslAvailable = false; }
  ~GLSLSwitchedOff() { glslAvailable = true; }
};

class SwitchingGLSL : public ::testing::Test {
protected:
  SwitchingGLSL() {
    useHiddenContext();
    clearGLErrors();
  }
  void TearDown() override {
    EXPECT_TRUE(glslAvailable);
    glUseProgram(0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
};

TEST_F(SwitchingGLSL, AStageMadeWithoutGLSLHasNoObjectToAskLater) {
  glShaderObject* vertex;
  {
    GLSLSwitchedOff off;
    vertex = new aVertexShader;
  }
  EXPECT_EQ(vertex->handle, 0u);
  EXPECT_STREQ(vertex->getCompilerLog(), glslErrorTexts[1]);
  delete vertex;
}

TEST_F(SwitchingGLSL, AProgramMadeWithoutGLSLHasNoObjectToAskLater) {
  glShader* program;
  LogCapture log;
  {
    GLSLSwitchedOff off;
    program = new glShader;
  }
  EXPECT_EQ(log.withFlushes(), std::string(kNotAvailable) + LogCapture::kFlush);
  EXPECT_EQ(program->handle, 0u);
  EXPECT_STREQ(program->getLinkerLog(), glslErrorTexts[2]);
  delete program;
}

TEST_F(SwitchingGLSL, BindingDoesNothingWhileSwitchedOff) {
  glShaderManager manager;
  glShader* program;
  {
    LogCapture quiet;
    program = manager.loadFromMemory(kGoodVertex, kGoodFragment);
  }
  ASSERT_NE(program, nullptr);
  {
    GLSLSwitchedOff off;
    program->bind();
    EXPECT_EQ(currentProgram(), 0u);
  }
  program->bind();
  {
    GLSLSwitchedOff off;
    program->unbind();
    EXPECT_EQ(currentProgram(), program->handle);
  }
  manager.freeProgram(program);
}

TEST_F(SwitchingGLSL, AddingAndDestroyingTouchNoStageWhileSwitchedOff) {
  aVertexShader uncompiled;
  uncompiled.setSource(kGoodVertex);
  bool destroyed = false;
  glShaderObject* owned = new TrackedVertex(destroyed);
  owned->setSource(kGoodVertex);
  ASSERT_TRUE(owned->compile());
  auto* program = new glShader;
  program->addObject(owned);
  ASSERT_TRUE(program->link());
  program->owns_objects = true;
  GLuint programName = program->handle;
  GLuint ownedName = owned->handle;

  LogCapture log;
  {
    GLSLSwitchedOff off;
    program->addObject(&uncompiled);
    EXPECT_EQ(program->objects.size(), 1u);
    EXPECT_FALSE(uncompiled.compiled);
    // Neither detached nor destroyed: the stage must still be usable below.
    delete program;
  }
  EXPECT_EQ(log.text(), "");
  ASSERT_FALSE(destroyed);
  EXPECT_TRUE(glIsProgram(programName));
  EXPECT_EQ(attachedShaders(programName), std::vector<GLuint>{ownedName});
  glDeleteProgram(programName);
  delete owned;
  glDeleteShader(uncompiled.handle);
}

}  // namespace
