// The program's life as a user meets it: a run with its log and title,
// quitting, dragging and changing the window, and the console after each way
// out. Every run has a working directory of its own.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>

#include "app_session.h"
#include "exit_probe.h"
#include "expected_log.h"

namespace {

TEST(NormalRun, TheLogHoldsTheReportThenTheCompilerAndLinkerSections) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.pressEscape();
  expectEndedWith(app.waitForEnd(), 0);
  std::string log = app.log();
  EXPECT_EQ(log, normalLog());
  EXPECT_NE(log.find("[OK] OpenGL Shading Language is available!\n\n***GLSL Compiler Log (Vertex Shader):"),
            std::string::npos);
}

TEST(NormalRun, TheTitleShowsAFrameRateOnceASecond) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.letFramesPass(1600);
  std::smatch rate;
  std::string title = app.title();
  ASSERT_TRUE(std::regex_match(title, rate, std::regex(R"(Quorvel 0\.1 \((\d+\.\d) FPS\))"))) << title;
  // The title's text is fixed; the release takes its version from CMake's project().
  EXPECT_EQ(title.rfind("Quorvel " QUORVEL_VERSION " (", 0), 0u) << "CMake's project version is " QUORVEL_VERSION;
  EXPECT_GT(std::stod(rate[1]), 0.0) << title;
  app.pressEscape();
  expectEndedWith(app.waitForEnd(), 0);
}

TEST(Quitting, EscapeTappedBetweenTwoFramesEndsTheRun) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.tapEscapeBetweenPolls();
  expectEndedWith(app.waitForEnd(), 0);
}

TEST(Quitting, ACloseRequestEndsTheRun) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.requestClose();
  expectEndedWith(app.waitForEnd(), 0);
  EXPECT_EQ(app.log(), normalLog());
}

TEST(Quitting, EscapeDuringADragEndsTheRun) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.moveMouse(200, 150);
  app.setLeftButton(true);
  app.letFramesPass();
  app.moveMouse(260, 120);
  app.letFramesPass();
  app.pressEscape();
  expectEndedWith(app.waitForEnd(), 0);
  EXPECT_EQ(app.log(), normalLog());
}

TEST(Quitting, ACloseRequestDuringADragEndsTheRun) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.moveMouse(200, 150);
  app.setLeftButton(true);
  app.letFramesPass();
  app.moveMouse(120, 220);
  app.letFramesPass();
  app.requestClose();
  expectEndedWith(app.waitForEnd(), 0);
  EXPECT_EQ(app.log(), normalLog());
}

TEST(Quitting, CtrlCSigtermOrAClosedTerminalEndsTheRunAsEscapeDoes) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    AppSession app;
    ASSERT_TRUE(app.startRunning()) << app.endReport();
    app.sendSignal(signal);
    expectEndedWith(app.waitForEnd(), 0);
    EXPECT_EQ(app.log(), normalLog()) << "signal " << signal;
  }
}

// The GL takes a second or more to compile a vertex shader among 60 MB of
// comment lines: time for signals to arrive while the program starts.
class QuittingDuringStartUp : public ::testing::Test {
protected:
  void SetUp() override {
    writeFile(app.path("Quorvel.vert"), slowVertex);
    ASSERT_TRUE(app.startShowingWindow()) << app.endReport();
    // The first frame gives the window its frame-rate title.
    ASSERT_EQ(app.title(), "Quorvel") << "start-up was over before the signals";
  }

  std::string slowVertex = buriedInLineComments(shippedShader("Quorvel.vert"), size_t{60} << 20);
  AppSession app;
};

TEST_F(QuittingDuringStartUp, AQuitSignalLetsStartUpFinishAndEndsAfterTheFirstFrame) {
  app.sendSignal(SIGINT);
  expectEndedWith(app.waitForEnd(), 0);
  EXPECT_EQ(app.log(), startupReport() + buildSections(slowVertex, shippedShader("Quorvel.frag")));
}

// Two signals pending together arrive lowest number first, so SIGTERM is
// always the second here.
TEST_F(QuittingDuringStartUp, ASecondQuitSignalOfAnotherKindEndsTheProcessAtOnce) {
  app.sendSignal(SIGINT);
  app.sendSignal(SIGTERM);
  expectEndedWith(app.waitForEnd(), 128 + SIGTERM);
}

// A window manager minimises a window by unmapping it.
TEST(WindowChanges, AMinimisedWindowKeepsRunningAndComesBack) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.onWindow({"windowunmap", "--sync"});
  app.letFramesPass();
  app.onWindow({"windowmap", "--sync"});
  app.letFramesPass();
  app.pressEscape();
  expectEndedWith(app.waitForEnd(), 0);
  EXPECT_EQ(app.log(), normalLog());
}

// The X server refuses a window 0 pixels high; one pixel is as flat as a
// window gets here.
TEST(WindowChanges, AFlattenedWindowDrawsWithoutGLErrors) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.onWindow({"windowsize", "--sync"}, {"400", "1"});
  app.letFramesPass();
  EXPECT_NE(app.onWindow({"getwindowgeometry"}).output.find("Geometry: 400x1"), std::string::npos);
  app.pressEscape();
  expectEndedWith(app.waitForEnd(), 0);
  EXPECT_EQ(app.log(), normalLog());
}

TEST(WindowChanges, AResizedWindowGoesOnDrawing) {
  AppSession app;
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.onWindow({"windowsize", "--sync"}, {"800", "600"});
  app.letFramesPass();
  EXPECT_NE(app.onWindow({"getwindowgeometry"}).output.find("Geometry: 800x600"), std::string::npos);
  app.onWindow({"windowsize", "--sync"}, {"120", "500"});
  app.letFramesPass();
  app.pressEscape();
  expectEndedWith(app.waitForEnd(), 0);
  EXPECT_EQ(app.log(), normalLog());
}

// After every way out, what is written to the standard output stream at
// process exit reaches the console and not the closed log.
class ConsoleAfterExit : public ::testing::Test {
protected:
  AppSession app{std::string(QUORVEL_TOOL_DIR) + "/quorvel_exit_probe"};

  void expectProbeOnConsole(const ProcessResult& result) {
    EXPECT_NE(result.output.find(std::string(kExitProbeLine) + "\n"), std::string::npos) << result.output;
    EXPECT_EQ(app.log().find(kExitProbeLine), std::string::npos);
  }
};

TEST_F(ConsoleAfterExit, Escape) {
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.pressEscape();
  ProcessResult result = app.waitForEnd();
  expectEndedWith(result, 0);
  expectProbeOnConsole(result);
}

TEST_F(ConsoleAfterExit, NoWindow) {
  app.options.unsetEnv = {"DISPLAY"};
  ProcessResult result = app.runToEnd();
  expectEndedWith(result, 1);
  expectProbeOnConsole(result);
}

TEST_F(ConsoleAfterExit, NoShaderProgram) {
  std::filesystem::remove(app.path("Quorvel.vert"));
  ProcessResult result = app.runToEnd();
  expectEndedWith(result, 1);
  expectProbeOnConsole(result);
}

TEST_F(ConsoleAfterExit, ARunWithoutALog) {
  std::filesystem::create_symlink("missing/logfile.txt", app.path("logfile.txt"));
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.pressEscape();
  ProcessResult result = app.waitForEnd();
  expectEndedWith(result, 0);
  expectProbeOnConsole(result);
}

}  // namespace
