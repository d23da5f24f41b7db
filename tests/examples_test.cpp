// The example programs as a newcomer runs them: a few frames in a directory
// of their own, then the exit status, the console and the library's log.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

// /dev/full fails every write with ENOSPC, as a full filesystem does.
TEST(TriangleExample, ALogOnAFullDiskIsReportedInsteadOfNamed) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to stand for a full disk";
  ASSERT_TRUE(holdDisplay());
  ProcessOptions options;
  options.workingDirectory = makeTempDir();
  options.timeoutSeconds = 90;
  std::filesystem::create_symlink("/dev/full", options.workingDirectory + "/triangle.log");
  ProcessResult run = runProcess({TRIANGLE_BINARY, "3"}, options);
  std::filesystem::remove_all(options.workingDirectory);

  expectEndedWith(run, 0);
  EXPECT_EQ(run.output, "triangle: cannot write triangle.log: No space left on device\n");
}

TEST(TriangleExample, AnythingButOnePositiveFrameCountGetsTheUsageLineAndStatusTwo) {
  const std::vector<std::vector<std::string>> refused = {
      {"0"},     {"-5"}, {"+5"}, {" 5"}, {"abc"}, {"0x10"}, {"10abc"}, {"--help"}, {""}, {"99999999999999999999"},
      {"3", "4"}};
  for (std::vector<std::string> args : refused) {
    args.insert(args.begin(), TRIANGLE_BINARY);
    ProcessOptions options;
    options.workingDirectory = makeTempDir();
    ProcessResult run = runProcess(args, options);
    bool logMade = std::filesystem::exists(options.workingDirectory + "/triangle.log");
    std::filesystem::remove_all(options.workingDirectory);

    EXPECT_EQ(run.status, 2) << "\"" << args[1] << "\"";
    EXPECT_EQ(run.output.rfind("usage: triangle [FRAMES]", 0), 0u) << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
    EXPECT_FALSE(logMade) << "\"" << args[1] << "\"";
  }
}

}  // namespace
