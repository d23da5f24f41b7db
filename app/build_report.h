// What one build of the cloud shader pair gave, so that the platform can
// tell the user at once, where they look; the log keeps the whole story.
#ifndef QUORVEL_BUILD_REPORT_H
#define QUORVEL_BUILD_REPORT_H

#include <string>
#include <vector>

#include "glsl.h"

// One compiler message: its line in the stage's text (0 when the GL names
// none), "error" or "warning", and what the GL says after them.
struct CompilerMessage {
  int line = 0;
  std::string severity = "error";
  std::string text;

  bool operator==(const CompilerMessage& other) const {
    return line == other.line && severity == other.severity && text == other.text;
  }
};

struct BuildReport {
  // An edit of the running pair; false for the build at start-up.
  bool edit = false;
  glLoadFailure failure = glLoadFailure::none;
  // The GL's messages for the step that failed, as the log has them.
  std::string log;
  // The compiler's messages, for a stage that did not compile.
  std::vector<CompilerMessage> messages;
  // The uniforms that the scene sets and the built program lacks: each set
  // of one writes a line to the log.
  std::vector<std::string> missingUniforms;
};

// The shader manager's last load as a report; `built` is the program that
// it gave, or null.
BuildReport lastBuild(bool edit, glShader* built);
// The step that stopped a build, in words: "the pair does not link".
std::string failedStep(glLoadFailure failure);
// The stage file that a failed step names: kVertexFile, kFragmentFile, or
// null for a link.
const char* failedFile(glLoadFailure failure);
// The messages in the GL's own forms: `0:12(5): error: ...` (Mesa),
// `ERROR: 0:12: ...` (ANGLE and others), `0(12) : error C0000: ...`
// (NVIDIA); a line in none of them is not a message.
std::vector<CompilerMessage> compilerMessages(const std::string& log);
// The messages on the lines of the stage as its author wrote it, where
// `linesAhead` lines went before its text on the way to the GL (the
// browser's GL emulation declares there what the stage uses): a line among
// those names none of the author's, and becomes 0.
std::vector<CompilerMessage> onAuthorsLines(std::vector<CompilerMessage> messages, int linesAhead);

#endif
