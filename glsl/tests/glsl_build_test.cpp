// Building programs: what compiling and linking write to the log, through the
// stage and program objects and through the manager's loads.
#include <gtest/gtest.h>

#include <filesystem>

#include "files.h"
#include "glsl_support.h"
#include "hidden_context.h"

namespace {

const char* const kBrokenFragment =
    "#version 120\n"
    "void main() { gl_FragColor = vec4(1.0) }\n";

const std::string kFlush = LogCapture::kFlush;
// The library's stand-ins where the GL has no log.
const char* const kNoCompilerLog = glslErrorTexts[6];
const char* const kNoLinkerLog = glslErrorTexts[5];

std::string vertexSection(const char* source) {
  return "***GLSL Compiler Log (Vertex Shader):\n" + compilerLog(GL_VERTEX_SHADER, source) + "\n";
}

std::string fragmentSection(const char* source) {
  return "***GLSL Compiler Log (Fragment Shader):\n" + compilerLog(GL_FRAGMENT_SHADER, source) + "\n";
}

class Building : public ::testing::Test {
protected:
  Building() { useHiddenContext(); }
  ~Building() override {
    for (glShader* program : std::vector<glShader*>(manager_.programs)) manager_.freeProgram(program);
    std::filesystem::remove_all(directory_);
  }

  std::string write(const std::string& name, const std::string& text) const {
    writeFile(directory_ + "/" + name, text);
    return directory_ + "/" + name;
  }
  std::string missing(const std::string& name) const { return directory_ + "/" + name; }

  glShaderManager manager_;

private:
  std::string directory_ = makeTempDir();
};

TEST_F(Building, TwoGoodFilesGiveTheThreeLogSectionsInOrder) {
  std::string vert = write("good.vert", kGoodVertex);
  std::string frag = write("good.frag", kGoodFragment);
  LogCapture log;
  glShader* program = manager_.loadFromFiles(vert.c_str(), frag.c_str());
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(log.withFlushes(), vertexSection(kGoodVertex) + fragmentSection(kGoodFragment) + "***GLSL Linker Log:\n" +
                                   linkerLog(kGoodVertex, kGoodFragment) + "\n" + kFlush);
  EXPECT_EQ(manager_.programs, std::vector<glShader*>{program});
  EXPECT_TRUE(program->linked);
  EXPECT_TRUE(program->owns_objects);
  ASSERT_EQ(program->objects.size(), 2u);
  EXPECT_EQ(attachedShaders(program->handle),
            (std::vector<GLuint>{program->objects[0]->handle, program->objects[1]->handle}));
  EXPECT_EQ(program->objects[0]->stage, 1);
  EXPECT_EQ(program->objects[1]->stage, 2);
}

TEST_F(Building, ProgramsAreKeptInTheOrderOfBuilding) {
  glShader* first = manager_.loadFromMemory(kGoodVertex, kGoodFragment);
  glShader* second = manager_.loadFromMemory(kGoodVertex, nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(manager_.programs, (std::vector<glShader*>{first, second}));
}

TEST_F(Building, ABrokenVertexShaderStopsAtItsCompilerMessages) {
  LogCapture log;
  EXPECT_EQ(manager_.loadFromMemory(kBrokenVertex, kGoodFragment), nullptr);
  std::string messages = compilerMessages(GL_VERTEX_SHADER, kBrokenVertex);
  ASSERT_NE(messages.find("error"), std::string::npos) << messages;
  EXPECT_EQ(log.withFlushes(), "***COMPILER ERROR (Vertex Shader):\n" + messages + "\n" + kFlush);
  EXPECT_TRUE(manager_.programs.empty());
  EXPECT_EQ(manager_.last_failure, glLoadFailure::vertexCompile);
  EXPECT_EQ(manager_.last_log, messages);
}

TEST_F(Building, ABrokenFragmentShaderFollowsTheVertexSection) {
  LogCapture log;
  EXPECT_EQ(manager_.loadFromMemory(kGoodVertex, kBrokenFragment), nullptr);
  EXPECT_EQ(log.withFlushes(), vertexSection(kGoodVertex) + "***COMPILER ERROR (Fragment Shader):\n" +
                                   compilerMessages(GL_FRAGMENT_SHADER, kBrokenFragment) + "\n" + kFlush);
  EXPECT_TRUE(manager_.programs.empty());
}

TEST_F(Building, AnUnresolvedFunctionFailsTheLinkWithTheLinkersMessages) {
  LogCapture log;
  EXPECT_EQ(manager_.loadFromMemory(kUnresolvedVertex, kGoodFragment), nullptr);
  std::string messages = linkerMessages(kUnresolvedVertex, kGoodFragment);
  ASSERT_NE(messages.find("shift"), std::string::npos) << messages;
  EXPECT_EQ(log.withFlushes(), vertexSection(kUnresolvedVertex) + fragmentSection(kGoodFragment) +
                                   "**linker error**\n**LINKER ERROR\n" + messages + "\n" + kFlush);
  EXPECT_TRUE(manager_.programs.empty());
  EXPECT_EQ(manager_.last_log, messages);
  ASSERT_NE(manager_.loadFromMemory(kGoodVertex, kGoodFragment), nullptr);
  EXPECT_EQ(manager_.last_log, "");
}

TEST_F(Building, NoSourcesStillWriteBothCompilerSections) {
  GLuint probe = glCreateProgram();
  glLinkProgram(probe);
  GLint emptyProgramLinks = 0;
  glGetProgramiv(probe, GL_LINK_STATUS, &emptyProgramLinks);
  glDeleteProgram(probe);

  LogCapture log;
  glShader* program = manager_.loadFromMemory(nullptr, nullptr);
  std::string compilerSections = std::string("***GLSL Compiler Log (Vertex Shader):\n") + kNoCompilerLog +
                                 "\n***GLSL Compiler Log (Fragment Shader):\n" + kNoCompilerLog + "\n";
  if (emptyProgramLinks) {
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->objects.empty());
    EXPECT_TRUE(attachedShaders(program->handle).empty());
    EXPECT_EQ(log.withFlushes(), compilerSections + "***GLSL Linker Log:\n" + kNoLinkerLog + "\n" + kFlush);
  } else {
    EXPECT_EQ(program, nullptr);
    EXPECT_EQ(log.text().rfind(compilerSections + "**linker error**\n**LINKER ERROR\n", 0), 0u) << log.text();
  }
}

TEST_F(Building, AVertexShaderAloneStillGetsTheFragmentSection) {
  std::string vert = write("alone.vert", kGoodVertex);
  LogCapture log;
  ASSERT_NE(manager_.loadFromFiles(vert.c_str(), nullptr), nullptr);
  EXPECT_EQ(log.text(), vertexSection(kGoodVertex) + "***GLSL Compiler Log (Fragment Shader):\n" + kNoCompilerLog +
                            "\n***GLSL Linker Log:\n" + linkerLog(kGoodVertex, nullptr) + "\n");
}

TEST_F(Building, AMissingVertexFileIsTheOnlyThingReported) {
  LogCapture log;
  EXPECT_EQ(manager_.loadFromFiles(missing("none.vert").c_str(), missing("none.frag").c_str()), nullptr);
  EXPECT_EQ(log.withFlushes(), "error: can't load vertex shader!\n");
  EXPECT_TRUE(manager_.programs.empty());
}

TEST_F(Building, AMissingFragmentFileIsReportedBeforeAnyCompile) {
  std::string vert = write("broken.vert", kBrokenVertex);
  LogCapture log;
  EXPECT_EQ(manager_.loadFromFiles(vert.c_str(), missing("none.frag").c_str()), nullptr);
  EXPECT_EQ(log.withFlushes(), "error: can't load fragment shader!\n");
}

TEST_F(Building, AnEmptyFragmentFileCannotBeLoaded) {
  std::string vert = write("good.vert", kGoodVertex);
  std::string frag = write("empty.frag", "");
  LogCapture log;
  EXPECT_EQ(manager_.loadFromFiles(vert.c_str(), frag.c_str()), nullptr);
  EXPECT_EQ(log.withFlushes(), "error: can't load fragment shader!\n");
  EXPECT_TRUE(manager_.programs.empty());
}

TEST(StageCompile, EachFailedCompileHandsOutTheGLsNewMessages) {
  useHiddenContext();
  aFragmentShader fragment;
  fragment.setSource(kBrokenFragment);
  LogCapture log;
  EXPECT_FALSE(fragment.compile());
  EXPECT_EQ(fragment.getCompilerLog(), compilerMessages(GL_FRAGMENT_SHADER, kBrokenFragment));

  const char* undeclared = "#version 120\nvoid main() { gl_FragColor = colour; }\n";
  fragment.setSource(undeclared);
  EXPECT_FALSE(fragment.compile());
  EXPECT_EQ(fragment.getCompilerLog(), compilerMessages(GL_FRAGMENT_SHADER, undeclared));
  EXPECT_EQ(log.text(), "");
}

TEST(StageCompile, AnEmptyGLLogLeavesTheEarlierTextInPlace) {
  useHiddenContext();
  aFragmentShader fragment;
  fragment.setSource(kBrokenFragment);
  ASSERT_FALSE(fragment.compile());
  std::string messages = fragment.getCompilerLog();
  // Mesa keeps a shader's log across compiles, so a fresh GL shader object
  // stands in for one whose log has gone empty.
  GLuint broken = fragment.handle;
  fragment.handle = glCreateShader(GL_FRAGMENT_SHADER);
  EXPECT_EQ(fragment.getCompilerLog(), messages);
  glDeleteShader(broken);
  glDeleteShader(fragment.handle);
}

TEST(StageCompile, AGoodShaderWithoutMessagesGetsTheStandIn) {
  useHiddenContext();
  aVertexShader vertex;
  vertex.setSource(kGoodVertex);
  ASSERT_TRUE(vertex.compile());
  EXPECT_STREQ(vertex.getCompilerLog(), compilerLog(GL_VERTEX_SHADER, kGoodVertex).c_str());
}

TEST(ProgramLink, AFailedLinkWritesOneLineAndLeavesTheLogToTheCaller) {
  useHiddenContext();
  aVertexShader vertex;
  vertex.setSource(kUnresolvedVertex);
  ASSERT_TRUE(vertex.compile());
  glShader program;
  program.addObject(&vertex);
  LogCapture log;
  EXPECT_FALSE(program.link());
  EXPECT_FALSE(program.linked);
  EXPECT_EQ(log.withFlushes(), "**linker error**\n");
  EXPECT_EQ(program.getLinkerLog(), linkerMessages(kUnresolvedVertex, nullptr));
}

}  // namespace
