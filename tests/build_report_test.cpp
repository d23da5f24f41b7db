// Compiler messages taken apart from each GL's own form, and placed where
// the author finds them.
#include "build_report.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CompilerMessages, EachGLsFormGivesTheLineTheSeverityAndTheText) {
  const std::string log =
      "0:12(5): error: `x' undeclared\n"             // Mesa
      "ERROR: 0:7: 'y' : undeclared identifier\r\n"  // ANGLE, with a Windows line end
      "0(31) : error C0000: syntax error\n"          // NVIDIA
      "ERROR: 0:?: '' : compilation terminated\n"    // no line at all
      "ERROR: 2 compilation errors.  No code generated.\n"
      "0:3(1): warning: `z' unused\n";
  EXPECT_EQ(compilerMessages(log), (std::vector<CompilerMessage>{{12, "error", "`x' undeclared"},
                                                                 {7, "error", "'y' : undeclared identifier"},
                                                                 {31, "error", "C0000: syntax error"},
                                                                 {0, "error", "'' : compilation terminated"},
                                                                 {3, "warning", "`z' unused"}}));
}

// The page marks a failed stage's messages on the author's own lines: the
// browser's GL sees lines of its own ahead of them.
TEST(CompilerMessages, LandOnTheAuthorsLines) {
  const std::vector<CompilerMessage> given{
      {12, "error", "a"}, {3, "error", "b"}, {2, "warning", "c"}, {0, "error", "d"}};
  EXPECT_EQ(
      onAuthorsLines(given, 2),
      (std::vector<CompilerMessage>{{10, "error", "a"}, {1, "error", "b"}, {0, "warning", "c"}, {0, "error", "d"}}));
  EXPECT_EQ(onAuthorsLines(given, 0), given);
}
