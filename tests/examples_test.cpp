// The example programs as a newcomer runs them: a few frames in a directory
// of their own, then the exit status, the console and the library's log.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_session.h"
#include "expected_log.h"

namespace {

TEST(TriangleExample, RunsTheGivenFramesAndLeavesTheBuildInTheLogItNames) {
  ASSERT_TRUE(holdDisplay());
  ProcessOptions options;
  options.workingDirectory = makeTempDir();
  // A sanitizer build on a busy machine takes tens of seconds to start.
  options.timeoutSeconds = 90;
  ProcessResult run = runProcess({TRIANGLE_BINARY, "3"}, options);
  std::string log = readFile(options.workingDirectory + "/triangle.log");
  std::filesystem::remove_all(options.workingDirectory);

  expectEndedWith(run, 0);
  EXPECT_NE(run.output.find("The shader library's log is in triangle.log\n"), std::string::npos) << run.output;
  std::string report = startupReport();
  EXPECT_EQ(log.substr(0, report.size()), report);
  EXPECT_NE(log.find("***GLSL Linker Log:\n"), std::string::npos) << log;
  // The uniform set every frame is found, and no GL call fails.
  EXPECT_EQ(log.find("Error"), std::string::npos) << log;
}

}  // namespace
