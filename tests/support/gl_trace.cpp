#include "gl_trace.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "process.h"

namespace {

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Appends the string literal that opens at `quote` to *arg, escapes and all;
// returns where its closing quote is.
size_t copyQuoted(const std::string& line, size_t quote, std::string* arg) {
  *arg += '"';
  size_t at = quote + 1;
  for (; at < line.size() && line[at] != '"'; ++at) {
    if (line[at] == '\\' && at + 1 < line.size()) *arg += line[at++];
    *arg += line[at];
  }
  *arg += '"';
  return at;
}

// Collects the arguments that follow the opening bracket at `open`, split at
// the commas outside braces, brackets and strings; returns where the closing
// bracket is.
size_t splitArgs(const std::string& line, size_t open, std::vector<std::string>* args) {
  int depth = 0;
  std::string arg;
  size_t at = open + 1;
  for (; at < line.size(); ++at) {
    char c = line[at];
    if (c == '"') {
      at = copyQuoted(line, at, &arg);
      continue;
    }
    if (depth == 0 && c == ')') break;
    if (depth == 0 && c == ',') {
      args->push_back(trimmed(arg));
      arg.clear();
      continue;
    }
    if (c == '(' || c == '{' || c == '[') ++depth;
    if (c == ')' || c == '}' || c == ']') --depth;
    arg += c;
  }
  if (!trimmed(arg).empty()) args->push_back(trimmed(arg));
  return at;
}

// Splits "name(a, {b, c}, \"d, e\") = result // note" into its parts; false
// for lines that are no call (the recorder's comments and messages).
bool parseCall(const std::string& line, GLCall* call) {
  size_t open = line.find('(');
  if (line.compare(0, 2, "gl") != 0 || open == std::string::npos) return false;
  call->name = line.substr(0, open);
  size_t close = splitArgs(line, open, &call->args);
  std::string rest = close < line.size() ? line.substr(close + 1) : "";
  if (rest.compare(0, 3, " = ") == 0) call->result = trimmed(rest.substr(3, rest.find(" //") - 3));
  return true;
}

std::vector<GLCall> parseDump(const std::string& dump) {
  std::vector<GLCall> calls;
  std::istringstream lines(dump);
  std::string line;
  while (std::getline(lines, line)) {
    GLCall call;
    if (parseCall(line, &call)) calls.push_back(std::move(call));
  }
  return calls;
}

// The recorder preloads itself, which a program built with the address
// checker refuses unless told that the library order is fine; and the
// checker's slow unwinding of every allocation deadlocks inside the recorder,
// so the recorded run unwinds the fast way.
ProcessOptions recorderOptions() {
  const char* asanOptions = std::getenv("ASAN_OPTIONS");
  ProcessOptions options;
  options.timeoutSeconds = 60;
  options.setEnv["ASAN_OPTIONS"] =
      std::string(asanOptions ? asanOptions : "") + ":verify_asan_link_order=0:fast_unwind_on_malloc=1";
  return options;
}

}  // namespace

std::vector<GLCall> recordGLCalls(const std::vector<std::string>& argv, std::string* failure) {
  std::string directory = makeTempDir();
  std::string tracePath = directory + "/run.trace";
  std::vector<std::string> traceArgv{"apitrace", "trace", "-o", tracePath};
  traceArgv.insert(traceArgv.end(), argv.begin(), argv.end());
  ProcessResult traced = runProcess(traceArgv, recorderOptions());
  ProcessResult dumped;
  if (traced.status == 0) {
    dumped = runProcess({"apitrace", "dump", "--arg-names=no", "--multiline=no", "--call-nos=no", tracePath});
  }
  unlink(tracePath.c_str());
  rmdir(directory.c_str());
  if (traced.status != 0) {
    *failure = "recording failed with status " + std::to_string(traced.status) + ":\n" + traced.output;
    return {};
  }
  if (dumped.status != 0) {
    *failure = "reading the recording failed:\n" + dumped.output;
    return {};
  }
  return parseDump(dumped.output);
}

std::vector<std::vector<GLCall>> splitAtSwaps(const std::vector<GLCall>& calls) {
  std::vector<std::vector<GLCall>> parts(1);
  for (const GLCall& call : calls) {
    parts.back().push_back(call);
    if (call.name == "glXSwapBuffers") parts.emplace_back();
  }
  return parts;
}

std::string printedFloat(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
  return text;
}
