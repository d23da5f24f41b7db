#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Where each started child writes its output, until it is waited for.
std::map<int, std::string>& outputFiles() {
  static std::map<int, std::string> files;
  return files;
}

[[noreturn]] void execChild(const std::vector<std::string>& argv, const ProcessOptions& options, int outputFd) {
  dup2(outputFd, STDOUT_FILENO);
  dup2(outputFd, STDERR_FILENO);
  int nullInput = open("/dev/null", O_RDONLY);
  dup2(nullInput, STDIN_FILENO);
  // A process group of its own, so a time-out kills what it started too.
  setpgid(0, 0);
  // As a terminal starts a program, even where the tests run as a script's
  // background job, which ignores Ctrl+C.
  signal(SIGINT, SIG_DFL);
  if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) _exit(126);
  for (const auto& name : options.unsetEnv) unsetenv(name.c_str());
  for (const auto& [name, value] : options.setEnv) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

}  // namespace

int startProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  char path[] = "/tmp/glsl-test-output-XXXXXX";
  int outputFd = mkstemp(path);
  std::fflush(nullptr);
  int pid = fork();
  if (pid == 0) execChild(argv, options, outputFd);
  close(outputFd);
  outputFiles()[pid] = path;
  return pid;
}

ProcessResult waitProcess(int pid, int timeoutSeconds) {
  ProcessResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::string path = outputFiles()[pid];
  outputFiles().erase(pid);
  result.output = readFile(path);
  unlink(path.c_str());
  return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  return waitProcess(startProcess(argv, options), options.timeoutSeconds);
}
