// A linked program in use: adding stages, linking again, binding, and
// setting uniforms by name and vertex attributes by index.
#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "glsl_support.h"
#include "hidden_context.h"

namespace {

const char* const kEveryUniformVertex =
    "#version 120\n"
    "uniform float f1; uniform vec2 f2; uniform vec3 f3; uniform vec4 f4;\n"
    "uniform int i1; uniform ivec2 i2; uniform ivec3 i3; uniform ivec4 i4;\n"
    "uniform float fa1[2]; uniform vec2 fa2[2]; uniform vec3 fa3[2]; uniform vec4 fa4[2];\n"
    "uniform int ia1[2]; uniform ivec2 ia2[2]; uniform ivec3 ia3[2]; uniform ivec4 ia4[2];\n"
    "uniform mat2 m2; uniform mat3 m3; uniform mat4 m4;\n"
    "void main() {\n"
    "  float s = f1 + f2.x + f3.x + f4.x + float(i1 + i2.x + i3.x + i4.x)\n"
    "      + fa1[0] + fa1[1] + fa2[0].x + fa2[1].x + fa3[0].x + fa3[1].x + fa4[0].x + fa4[1].x\n"
    "      + float(ia1[0] + ia1[1] + ia2[0].x + ia2[1].x + ia3[0].x + ia3[1].x + ia4[0].x + ia4[1].x)\n"
    "      + m2[0].x + m3[0].x + m4[0].x;\n"
    "  gl_Position = ftransform() * s;\n"
    "}\n";

const char* const kAlreadyLinked = "**warning** Object is already linked, trying to link again\n";
const char* const kCompileFirst = "**warning** please compile program before adding object! trying to compile now...\n";

const GLfloat kFloats[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const GLint kIntegers[] = {1, 2, 3, 4, 5, 6, 7, 8};

// One setter of the family: which uniform it sets, where to read it back and
// what should be there. Arrays of two are read at their second element, so a
// count that did not reach the GL shows.
struct SetterCase {
  const char* uniform;
  std::function<bool(glShader&, const char*)> set;
  const char* readBack;
  bool integer;
  std::vector<GLfloat> expected;
};

std::vector<SetterCase> everySetter() {
  using P = glShader&;
  using N = const char*;
  return {
      {"f1", [](P p, N n) { return p.setUniform1f(n, 1.5f); }, "f1", false, {1.5f}},
      {"f2", [](P p, N n) { return p.setUniform2f(n, 1, 2); }, "f2", false, {1, 2}},
      {"f3", [](P p, N n) { return p.setUniform3f(n, 1, 2, 3); }, "f3", false, {1, 2, 3}},
      {"f4", [](P p, N n) { return p.setUniform4f(n, 1, 2, 3, 4); }, "f4", false, {1, 2, 3, 4}},
      {"i1", [](P p, N n) { return p.setUniform1i(n, 7); }, "i1", true, {7}},
      {"i2", [](P p, N n) { return p.setUniform2i(n, 7, -8); }, "i2", true, {7, -8}},
      {"i3", [](P p, N n) { return p.setUniform3i(n, 7, -8, 9); }, "i3", true, {7, -8, 9}},
      {"i4", [](P p, N n) { return p.setUniform4i(n, 7, -8, 9, -10); }, "i4", true, {7, -8, 9, -10}},
      {"fa1", [](P p, N n) { return p.setUniform1fv(n, 2, kFloats); }, "fa1[1]", false, {2}},
      {"fa2", [](P p, N n) { return p.setUniform2fv(n, 2, kFloats); }, "fa2[1]", false, {3, 4}},
      {"fa3", [](P p, N n) { return p.setUniform3fv(n, 2, kFloats); }, "fa3[1]", false, {4, 5, 6}},
      {"fa4", [](P p, N n) { return p.setUniform4fv(n, 2, kFloats); }, "fa4[1]", false, {5, 6, 7, 8}},
      {"ia1", [](P p, N n) { return p.setUniform1iv(n, 2, kIntegers); }, "ia1[1]", true, {2}},
      {"ia2", [](P p, N n) { return p.setUniform2iv(n, 2, kIntegers); }, "ia2[1]", true, {3, 4}},
      {"ia3", [](P p, N n) { return p.setUniform3iv(n, 2, kIntegers); }, "ia3[1]", true, {4, 5, 6}},
      {"ia4", [](P p, N n) { return p.setUniform4iv(n, 2, kIntegers); }, "ia4[1]", true, {5, 6, 7, 8}},
      {"m2", [](P p, N n) { return p.setUniformMatrix2fv(n, 1, true, kFloats); }, "m2", false, {1, 3, 2, 4}},
      {"m3",
       [](P p, N n) { return p.setUniformMatrix3fv(n, 1, false, kFloats); },
       "m3",
       false,
       {1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"m4",
       [](P p, N n) { return p.setUniformMatrix4fv(n, 1, true, kFloats); },
       "m4",
       false,
       {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}},
  };
}

std::vector<GLfloat> readBack(glShader& program, const SetterCase& setter) {
  GLfloat floats[16] = {};
  GLint ints[16] = {};
  if (setter.integer) {
    program.getUniformiv(setter.readBack, ints);
    return std::vector<GLfloat>(ints, ints + setter.expected.size());
  }
  program.getUniformfv(setter.readBack, floats);
  return std::vector<GLfloat>(floats, floats + setter.expected.size());
}

class Programs : public ::testing::Test {
protected:
  Programs() {
    useHiddenContext();
    glUseProgram(0);
    clearGLErrors();
  }
  ~Programs() override {
    for (glShader* program : std::vector<glShader*>(manager_.programs)) manager_.freeProgram(program);
  }
  void TearDown() override {
    glUseProgram(0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  glShader* build(const char* vertex, const char* fragment) {
    LogCapture quiet;
    glShader* program = manager_.loadFromMemory(vertex, fragment);
    EXPECT_NE(program, nullptr) << quiet.text();
    return program;
  }

  glShaderManager manager_;
};

using Uniforms = Programs;

TEST_F(Uniforms, EverySetterReachesItsUniformSilently) {
  glShader* program = build(kEveryUniformVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  program->bind();
  for (const SetterCase& setter : everySetter()) {
    LogCapture log;
    EXPECT_TRUE(setter.set(*program, setter.uniform)) << setter.uniform;
    EXPECT_EQ(readBack(*program, setter), setter.expected) << setter.uniform;
    EXPECT_EQ(log.text(), "") << setter.uniform;
  }
}

TEST_F(Uniforms, EverySetterReportsAMissingNameAndSetsNothing) {
  glShader* program = build(kEveryUniformVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  program->bind();
  for (const SetterCase& setter : everySetter()) {
    LogCapture log;
    EXPECT_FALSE(setter.set(*program, "missingValue")) << setter.uniform;
    EXPECT_EQ(log.withFlushes(), "Error: can't find uniform variable \"missingValue\"\n") << setter.uniform;
    EXPECT_EQ(readBack(*program, setter), std::vector<GLfloat>(setter.expected.size(), 0.0f)) << setter.uniform;
  }
}

// Streaming a null name would silence the log for good, and a read-back that
// reached the GL with location -1 would leave a GL error for the teardown.
TEST_F(Uniforms, ANullNameIsANameNotFoundAndNeverReachesTheGL) {
  glShader* program = build(kEveryUniformVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  program->bind();
  const std::string notFound = "Error: can't find uniform variable \"\"\n";
  GLfloat floats[1] = {};
  GLint ints[1] = {};
  LogCapture log;
  std::string expected;
  for (const SetterCase& setter : everySetter()) {
    EXPECT_FALSE(setter.set(*program, nullptr)) << setter.uniform;
    expected += notFound;
  }
  EXPECT_EQ(program->getUniformLocation(nullptr), -1);
  program->getUniformfv(nullptr, floats);
  program->getUniformiv(nullptr, ints);
  EXPECT_EQ(log.text(), expected + notFound + notFound + notFound);
}

TEST_F(Uniforms, LocationLookupsReportOnlyMisses) {
  glShader* program = build(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  LogCapture log;
  EXPECT_GE(program->getUniformLocation("brightness"), 0);
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(program->getUniformLocation("dimness"), -1);
  EXPECT_EQ(log.text(), "Error: can't find uniform variable \"dimness\"\n");
  EXPECT_TRUE(program->hasUniform("brightness"));
  EXPECT_FALSE(program->hasUniform("dimness"));
  EXPECT_FALSE(program->hasUniform(nullptr));
  EXPECT_EQ(log.text(), "Error: can't find uniform variable \"dimness\"\n");
}

TEST_F(Uniforms, ReadingAMissingNameReportsItAndLeavesTheValues) {
  glShader* program = build(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  GLfloat floats[1] = {42};
  GLint ints[1] = {42};
  LogCapture log;
  program->getUniformfv("dimness", floats);
  program->getUniformiv("dimness", ints);
  EXPECT_EQ(log.text(),
            "Error: can't find uniform variable \"dimness\"\n"
            "Error: can't find uniform variable \"dimness\"\n");
  EXPECT_EQ(floats[0], 42);
  EXPECT_EQ(ints[0], 42);
  // The read-back hands location -1 to the GL as it is; the GL refuses it.
  clearGLErrors();
}

TEST_F(Uniforms, ADisabledProgramIgnoresSettersWithoutComplaint) {
  glShader* program = build(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  program->bind();
  glVertexAttrib1f(3, 0.25f);
  program->enabled = false;
  LogCapture log;
  EXPECT_TRUE(program->setUniform1f("brightness", 0.5f));
  EXPECT_TRUE(program->setUniform1f("dimness", 0.5f));
  EXPECT_TRUE(program->setVertexAttrib1f(3, 0.5f));
  EXPECT_EQ(log.text(), "");
  GLfloat value = -1;
  program->getUniformfv("brightness", &value);
  EXPECT_EQ(value, 0.0f);
  GLfloat attribute[4] = {};
  glGetVertexAttribfv(3, GL_CURRENT_VERTEX_ATTRIB, attribute);
  EXPECT_EQ(attribute[0], 0.25f);
  program->enabled = true;
}

using Binding = Programs;

TEST_F(Binding, ALinkedProgramBecomesCurrent) {
  glShader* program = build(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  LogCapture log;
  program->bind();
  EXPECT_EQ(currentProgram(), program->handle);
  program->unbind();
  EXPECT_EQ(currentProgram(), 0u);
  EXPECT_EQ(log.text(), "");
}

TEST_F(Binding, AnUnlinkedProgramNeverBindsButAlwaysUnbinds) {
  glShader* current = build(kGoodVertex, kGoodFragment);
  ASSERT_NE(current, nullptr);
  current->bind();
  glShader unlinked;
  // Using an unlinked program is a GL error, which would reach the log.
  LogCapture log;
  unlinked.bind();
  EXPECT_EQ(currentProgram(), current->handle);
  unlinked.unbind();
  EXPECT_EQ(currentProgram(), 0u);
  EXPECT_EQ(log.text(), "");
}

TEST_F(Binding, ADisabledProgramNeitherBindsNorUnbinds) {
  glShader* current = build(kGoodVertex, kGoodFragment);
  glShader* disabled = build(kGoodVertex, kGoodFragment);
  ASSERT_TRUE(current && disabled);
  current->bind();
  disabled->enabled = false;
  disabled->bind();
  EXPECT_EQ(currentProgram(), current->handle);
  disabled->unbind();
  EXPECT_EQ(currentProgram(), current->handle);
  disabled->enabled = true;
}

using Stages = Programs;

TEST_F(Stages, ACompiledStageIsAddedSilentlyAndAttachedOnlyAtLink) {
  aVertexShader vertex;
  vertex.setSource(kGoodVertex);
  ASSERT_TRUE(vertex.compile());
  glShader program;
  LogCapture log;
  program.addObject(&vertex);
  EXPECT_EQ(program.objects, std::vector<glShaderObject*>{&vertex});
  EXPECT_TRUE(attachedShaders(program.handle).empty());
  EXPECT_EQ(log.text(), "");
}

TEST_F(Stages, AnUncompiledStageIsCompiledOnTheWayIn) {
  aVertexShader vertex;
  vertex.setSource(kGoodVertex);
  glShader program;
  LogCapture log;
  program.addObject(&vertex);
  EXPECT_TRUE(vertex.compiled);
  EXPECT_EQ(program.objects, std::vector<glShaderObject*>{&vertex});
  EXPECT_EQ(log.withFlushes(), std::string(kCompileFirst) + "...ok!\n");
}

TEST_F(Stages, AStageThatWillNotCompileIsLeftOut) {
  aVertexShader vertex;
  vertex.setSource(kBrokenVertex);
  glShader program;
  LogCapture log;
  program.addObject(&vertex);
  program.addObject(nullptr);
  EXPECT_TRUE(program.objects.empty());
  EXPECT_EQ(log.withFlushes(), std::string(kCompileFirst) + "...compile ERROR!\n");
  glDeleteShader(vertex.handle);
}

TEST_F(Stages, LinkingAgainWarnsAndReattachesEveryStageOnce) {
  glShader* program = build(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  LogCapture log;
  EXPECT_TRUE(program->link());
  // Attaching a stage that is still attached is a GL error, which the
  // library would have written into the log.
  EXPECT_EQ(log.withFlushes(), std::string(kAlreadyLinked) + LogCapture::kFlush);
  EXPECT_EQ(attachedShaders(program->handle),
            (std::vector<GLuint>{program->objects[0]->handle, program->objects[1]->handle}));
  EXPECT_TRUE(program->linked);
}

TEST_F(Stages, AFailedRelinkKeepsTheProgramLinked) {
  glShader* program = build(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  // A second vertex stage with its own main cannot link with the first.
  aVertexShader second;
  second.setSource(kGoodVertex);
  ASSERT_TRUE(second.compile());
  program->addObject(&second);
  LogCapture log;
  EXPECT_FALSE(program->link());
  EXPECT_TRUE(program->linked);
  // The stage added since the first link was never attached, so detaching it
  // is a GL error: written, and passed over.
  EXPECT_TRUE(std::regex_match(log.withFlushes(),
                               std::regex(R"(\*\*warning\*\* Object is already linked, trying to link again\n<flush>)"
                                          R"(GL Error #1282\(invalid operation\)  in File glsl at line: \d+\n<flush>)"
                                          R"(\*\*linker error\*\*\n)")))
      << log.withFlushes();
  // The program would destroy the borrowed stage with its own.
  program->objects.pop_back();
  glDetachShader(program->handle, second.handle);
}

TEST(VertexAttributes, EachSetterFillsTheRestWithTheDefaults) {
  useHiddenContext();
  glShader program;
  const std::vector<std::vector<GLfloat>> expected = {
      {0.5f, 0, 0, 1}, {0.5f, 1.5f, 0, 1}, {0.5f, 1.5f, 2.5f, 1}, {0.5f, 1.5f, 2.5f, 3.5f}};
  EXPECT_TRUE(program.setVertexAttrib1f(1, 0.5f));
  EXPECT_TRUE(program.setVertexAttrib2f(2, 0.5f, 1.5f));
  EXPECT_TRUE(program.setVertexAttrib3f(3, 0.5f, 1.5f, 2.5f));
  EXPECT_TRUE(program.setVertexAttrib4f(4, 0.5f, 1.5f, 2.5f, 3.5f));
  for (GLuint index = 1; index <= 4; ++index) {
    std::vector<GLfloat> value(4);
    glGetVertexAttribfv(index, GL_CURRENT_VERTEX_ATTRIB, value.data());
    EXPECT_EQ(value, expected[index - 1]) << "attribute " << index;
  }
}

}  // namespace
