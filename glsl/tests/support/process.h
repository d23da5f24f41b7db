// Runs a program as a child process, the way a user or a script would.
#ifndef GLSL_TEST_PROCESS_H
#define GLSL_TEST_PROCESS_H

#include <map>
#include <string>
#include <vector>

#include "files.h"

struct ProcessResult {
  int status = -1;        // exit status, or 128 + signal number
  bool timedOut = false;  // killed after the time limit
  std::string output;     // standard output and standard error together
};

struct ProcessOptions {
  std::string workingDirectory;               // empty: the test's own
  std::map<std::string, std::string> setEnv;  // added or replaced
  std::vector<std::string> unsetEnv;          // removed
  int timeoutSeconds = 30;
};

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Starts a program and returns at once; wait with waitProcess.
int startProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
ProcessResult waitProcess(int pid, int timeoutSeconds);

#endif
