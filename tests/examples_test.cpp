// The example programs as a newcomer runs them: a few frames in a directory
// of their own, then the exit status, the console and the library's log.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "app_session.h"
#include "expected_log.h"

namespace {

TEST(TriangleExample, RunsTheGivenFramesAndLeavesTheBuildInTheLogItNames) {
  ASSERT_TRUE(holdDisplay());
  ProcessOptions options;
  options.workingDirectory = makeTempDir();
  ProcessResult run = runProcess({TRIANGLE_BINARY, "3"}, options);
  std::string log = readFile(options.workingDirectory + "/triangle.log");
  std::filesystem::remove_all(options.workingDirectory);

  expectEndedWith(run, 0);
  EXPECT_EQ(run.output, "The shader library's log is in triangle.log\n");
  std::string report = startupReport();
  ASSERT_EQ(log.substr(0, report.size()), report);
  // The GL's own messages stand between the headers; the uniform set every
  // frame must be found, and no GL call may fail.
  EXPECT_TRUE(
      std::regex_match(log.substr(report.size()), std::regex(R"(\*\*\*GLSL Compiler Log \(Vertex Shader\):\n[^*]*)"
                                                             R"(\*\*\*GLSL Compiler Log \(Fragment Shader\):\n[^*]*)"
                                                             R"(\*\*\*GLSL Linker Log:\n[^*]*)")))
      << log;
  EXPECT_EQ(log.find("Error"), std::string::npos) << log;
}

}  // namespace
