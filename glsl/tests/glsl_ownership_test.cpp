// Who destroys what: the manager's programs, the programs' stage objects and
// the GL objects behind them.
#include <gtest/gtest.h>

#include "glsl_support.h"
#include "hidden_context.h"

namespace {

glShaderObject* compiled(glShaderObject* stage, const char* source) {
  stage->setSource(source);
  EXPECT_TRUE(stage->compile());
  return stage;
}

class Ownership : public ::testing::Test {
protected:
  Ownership() {
    useHiddenContext();
    clearGLErrors();
  }
  void TearDown() override { EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)); }
};

TEST_F(Ownership, FreeingAProgramTakesItsGLObjectsWithIt) {
  glShaderManager manager;
  glShader* program = manager.loadFromMemory(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  GLuint programName = program->handle;
  GLuint vertexName = program->objects.at(0)->handle;
  GLuint fragmentName = program->objects.at(1)->handle;
  ASSERT_TRUE(glIsProgram(programName));

  LogCapture log;
  EXPECT_TRUE(manager.freeProgram(program));
  EXPECT_TRUE(manager.programs.empty());
  EXPECT_FALSE(glIsProgram(programName));
  EXPECT_FALSE(glIsShader(vertexName));
  EXPECT_FALSE(glIsShader(fragmentName));
  EXPECT_FALSE(manager.freeProgram(program));
  EXPECT_EQ(log.text(), "");
}

TEST_F(Ownership, FreeingOneProgramKeepsTheOthersInOrder) {
  glShaderManager manager;
  glShader* first = manager.loadFromMemory(kGoodVertex, nullptr);
  glShader* second = manager.loadFromMemory(nullptr, kGoodFragment);
  glShader* third = manager.loadFromMemory(kGoodVertex, kGoodFragment);
  ASSERT_TRUE(first && second && third);
  EXPECT_TRUE(manager.freeProgram(second));
  EXPECT_EQ(manager.programs, (std::vector<glShader*>{first, third}));
  EXPECT_TRUE(manager.freeProgram(first));
  EXPECT_TRUE(manager.freeProgram(third));
}

TEST_F(Ownership, AProgramTheManagerDidNotBuildIsNotFreed) {
  glShaderManager manager;
  glShader stranger;
  EXPECT_FALSE(manager.freeProgram(&stranger));
  EXPECT_FALSE(manager.freeProgram(nullptr));
  EXPECT_TRUE(glIsProgram(stranger.handle));
}

TEST_F(Ownership, AManagerGoingAwayLeavesItsProgramsAlone) {
  auto* manager = new glShaderManager;
  glShader* program = manager->loadFromMemory(kGoodVertex, kGoodFragment);
  ASSERT_NE(program, nullptr);
  LogCapture log;
  delete manager;
  EXPECT_EQ(log.text(), "");
  EXPECT_TRUE(glIsProgram(program->handle));
  EXPECT_TRUE(program->linked);
  delete program;
}

TEST_F(Ownership, AProgramThatDoesNotOwnItsStagesOnlyDetachesThem) {
  bool destroyed = false;
  glShaderObject* vertex = compiled(new TrackedVertex(destroyed), kGoodVertex);
  auto* program = new glShader;
  program->addObject(vertex);
  ASSERT_TRUE(program->link());
  GLuint programName = program->handle;
  delete program;

  EXPECT_FALSE(destroyed);
  EXPECT_FALSE(glIsProgram(programName));
  EXPECT_TRUE(glIsShader(vertex->handle));
  delete vertex;
  EXPECT_TRUE(destroyed);
}

TEST_F(Ownership, AProgramThatOwnsItsStagesDestroysThem) {
  bool destroyed = false;
  glShaderObject* vertex = compiled(new TrackedVertex(destroyed), kGoodVertex);
  GLuint vertexName = vertex->handle;
  auto* program = new glShader;
  program->addObject(vertex);
  ASSERT_TRUE(program->link());
  program->owns_objects = true;
  delete program;
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(glIsShader(vertexName));
}

TEST_F(Ownership, AStageTakesItsGLObjectWithItWhetherItCompiledFailedOrNeverRan) {
  glShaderObject* stages[] = {compiled(new aVertexShader, kGoodVertex), new aVertexShader, new aFragmentShader};
  stages[1]->setSource(kBrokenVertex);
  ASSERT_FALSE(stages[1]->compile());
  for (int i = 0; i < 3; ++i) {
    GLuint name = stages[i]->handle;
    ASSERT_TRUE(glIsShader(name));
    delete stages[i];
    EXPECT_FALSE(glIsShader(name)) << "stage " << i;
  }
}

TEST_F(Ownership, AOneStageProgramHoldsOnlyThatStage) {
  glShaderManager manager;
  glShader* program = manager.loadFromMemory(nullptr, kGoodFragment);
  ASSERT_NE(program, nullptr);
  ASSERT_EQ(program->objects.size(), 1u);
  EXPECT_EQ(program->objects[0]->stage, 2);
  EXPECT_EQ(attachedShaders(program->handle), std::vector<GLuint>{program->objects[0]->handle});
  GLuint fragmentName = program->objects[0]->handle;
  EXPECT_TRUE(manager.freeProgram(program));
  EXPECT_FALSE(glIsShader(fragmentName));
}

}  // namespace
