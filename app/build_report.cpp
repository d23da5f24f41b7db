#include "build_report.h"

#include <cctype>
#include <sstream>

#include "scene.h"
#include "state.h"

namespace {

// Reads a number of at most nine digits at `*at`, moving past it.
bool readNumber(const std::string& text, size_t* at, int* value) {
  size_t start = *at;
  *value = 0;
  while (*at < text.size() && *at - start < 9 && std::isdigit(static_cast<unsigned char>(text[*at]))) {
    *value = *value * 10 + (text[(*at)++] - '0');
  }
  return *at > start;
}

bool readText(const std::string& text, size_t* at, const char* expected) {
  if (text.compare(*at, std::char_traits<char>::length(expected), expected) != 0) return false;
  *at += std::char_traits<char>::length(expected);
  return true;
}

// The place at the start of a message line, `0:LINE`, `0:?` or `0(LINE)`
// after an optional severity, with Mesa's `(COLUMN)` after it and the colon
// that ends it: where the text begins, or npos.
size_t readPlace(const std::string& text, int* line, std::string* severity) {
  size_t at = text.find_first_not_of(" \t");
  if (at == std::string::npos) return at;
  if (readText(text, &at, "ERROR: ")) {
    *severity = "error";
  } else if (readText(text, &at, "WARNING: ")) {
    *severity = "warning";
  }
  int source = 0;
  int column = 0;
  if (!readNumber(text, &at, &source)) return std::string::npos;
  bool placed = false;
  if (readText(text, &at, ":?")) {
    *line = 0;
    placed = true;
  } else if (readText(text, &at, ":")) {
    placed = readNumber(text, &at, line);
  } else {
    placed = readText(text, &at, "(") && readNumber(text, &at, line) && readText(text, &at, ")");
  }
  if (!placed) return std::string::npos;
  if (readText(text, &at, "(") && !(readNumber(text, &at, &column) && readText(text, &at, ")"))) {
    return std::string::npos;
  }
  at = text.find_first_not_of(' ', at);
  if (at == std::string::npos || !readText(text, &at, ":")) return std::string::npos;
  if (at < text.size() && text[at] == ' ') ++at;
  return at;
}

// Mesa and NVIDIA name the severity after the place: `error: ...`,
// `warning: ...`, `error C0000: ...`.
void readSeverity(const std::string& text, size_t* at, std::string* severity) {
  for (const char* word : {"error", "warning"}) {
    size_t after = *at;
    if (!readText(text, &after, word) || after >= text.size() || (text[after] != ':' && text[after] != ' ')) continue;
    *severity = word;
    *at = text.find_first_not_of(": ", after);
    if (*at == std::string::npos) *at = text.size();
    return;
  }
}

}  // namespace

std::string failedStep(glLoadFailure failure) {
  // Without the shading language every stage fails to compile; that is not
  // the pair's fault.
  if (!glslAvailable) return "this GL offers no shading language";
  switch (failure) {
    case glLoadFailure::vertexFile:
      return std::string(kVertexFile) + " cannot be read";
    case glLoadFailure::fragmentFile:
      return std::string(kFragmentFile) + " cannot be read";
    case glLoadFailure::vertexCompile:
      return "the vertex shader does not compile";
    case glLoadFailure::fragmentCompile:
      return "the fragment shader does not compile";
    case glLoadFailure::link:
      return "the pair does not link";
    case glLoadFailure::none:
      break;
  }
  return "nothing failed";
}

const char* failedFile(glLoadFailure failure) {
  if (failure == glLoadFailure::vertexFile || failure == glLoadFailure::vertexCompile) return kVertexFile;
  if (failure == glLoadFailure::fragmentFile || failure == glLoadFailure::fragmentCompile) return kFragmentFile;
  return nullptr;
}

BuildReport lastBuild(bool edit, glShader* built) {
  BuildReport report;
  report.edit = edit;
  report.failure = shaderManager.last_failure;
  report.log = shaderManager.last_log;
  if (report.failure == glLoadFailure::vertexCompile || report.failure == glLoadFailure::fragmentCompile) {
    report.messages = compilerMessages(report.log);
  }
  if (built) {
    for (const char* name : kSceneUniforms) {
      if (!built->hasUniform(name)) report.missingUniforms.emplace_back(name);
    }
  }
  return report;
}

std::vector<CompilerMessage> compilerMessages(const std::string& log) {
  std::vector<CompilerMessage> messages;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    CompilerMessage message;
    size_t text = readPlace(line, &message.line, &message.severity);
    if (text == std::string::npos) continue;
    readSeverity(line, &text, &message.severity);
    message.text = line.substr(text);
    messages.push_back(message);
  }
  return messages;
}

std::vector<CompilerMessage> onAuthorsLines(std::vector<CompilerMessage> messages, int linesAhead) {
  for (CompilerMessage& message : messages) message.line = message.line > linesAhead ? message.line - linesAhead : 0;
  return messages;
}
