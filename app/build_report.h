// What one build of the cloud shader pair gave, so that the platform can
// tell the user at once, where they look; the log keeps the whole story.
#ifndef QUORVEL_BUILD_REPORT_H
#define QUORVEL_BUILD_REPORT_H

#include <string>
#include <vector>

#include "glsl.h"

// One compiler message: its line in the stage's text (0 when the GL names
// none) and what the GL says after the place.
struct CompilerMessage {
  int line = 0;
  std::string text;

  bool operator==(const CompilerMessage& other) const { return line == other.line && text == other.text; }
};

struct BuildReport {
  // An edit of the running pair; false for the build at start-up.
  bool edit = false;
  glLoadFailure failure = glLoadFailure::none;
  // The GL's messages for the step that failed, as the log has them.
  std::string log;
  // The compiler's messages, for a stage that did not compile.
  std::vector<CompilerMessage> messages;
};

// The shader manager's last load as a report.
BuildReport lastBuild(bool edit);
// The step that stopped a build, in words: "the pair does not link".
std::string failedStep(glLoadFailure failure);
// The messages in the GL's own forms: `0:12(5): error: ...` (Mesa),
// `ERROR: 0:12: ...` (ANGLE and others), `0(12) : error ...` (NVIDIA); a
// line in none of them is not a message.
std::vector<CompilerMessage> compilerMessages(const std::string& log);

#endif
