// Compiler messages taken apart from each GL's own form.
#include "build_report.h"

#include <gtest/gtest.h>

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
