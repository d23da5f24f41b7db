#include "app_session.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "expected_log.h"

namespace {

const char* const kRunningTitlePrefix = "Quorvel 0.1 (";

ProcessResult xdotool(std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  ProcessOptions options;
  options.timeoutSeconds = 10;
  return runProcess(args, options);
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Polls `ready` every 50 ms until it holds, `gaveUp` holds or the limit passes.
template <typename Ready, typename GaveUp>
bool pollUntil(Ready ready, GaveUp gaveUp) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(AppSession::kTimeLimitSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ready()) return true;
    if (gaveUp()) return false;
    pause(50);
  }
  return false;
}

}  // namespace

AppSession::AppSession(std::string binary) : binary_(std::move(binary)), directory_(makeTempDir()) {
  EXPECT_TRUE(holdDisplay()) << "no display answers";
  copyShaderPair(directory_);
  options.workingDirectory = directory_;
  options.timeoutSeconds = kTimeLimitSeconds;
}

AppSession::~AppSession() {
  if (buttonHeld_) setLeftButton(false);
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    waitForEnd();
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::string AppSession::path(const std::string& name) const { return directory_ + "/" + name; }

bool AppSession::startRunning() { return startShowingWindow() && waitForFirstFrame(); }

bool AppSession::startShowingWindow() {
  pid_ = startProcess({binary_}, options);
  return waitForWindow();
}

ProcessResult AppSession::runToEnd() {
  pid_ = startProcess({binary_}, options);
  return waitForEnd();
}

ProcessResult AppSession::waitForEnd() {
  ProcessResult result = waitProcess(pid_, kTimeLimitSeconds);
  pid_ = -1;
  return result;
}

std::string AppSession::endReport() {
  ProcessResult result = waitForEnd();
  return "status " + std::to_string(result.status) + (result.timedOut ? " (killed)" : "") + ", output:\n" +
         result.output + "log:\n" + log();
}

bool AppSession::hasEnded() const {
  // Looks without reaping, so that waitForEnd still gets the status.
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
}

bool AppSession::waitForWindow() {
  auto found = [this] {
    windowId_ = firstLine(xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid_)}).output);
    return !windowId_.empty();
  };
  return pollUntil(found, [this] { return hasEnded(); });
}

bool AppSession::waitForFirstFrame() {
  auto titled = [this] { return title().rfind(kRunningTitlePrefix, 0) == 0; };
  return pollUntil(titled, [this] { return hasEnded(); });
}

void AppSession::tapEscapeBetweenPolls() {
  onWindow({"windowfocus", "--sync"});
  kill(pid_, SIGSTOP);
  xdotool({"key", "Escape"});
  // Lets the server hand both events to the stopped program's connection.
  pause(100);
  kill(pid_, SIGCONT);
}

void AppSession::pressEscape() { pressKey("Escape"); }

void AppSession::pressKey(const std::string& name) {
  onWindow({"windowfocus", "--sync"});
  xdotool({"key", name});
}

void AppSession::requestClose() { runProcess({std::string(QUORVEL_TOOL_DIR) + "/send_close_request", windowId_}); }

void AppSession::sendSignal(int number) { kill(pid_, number); }

void AppSession::moveMouse(int x, int y) {
  xdotool({"mousemove", "--window", windowId_, "--sync", std::to_string(x), std::to_string(y)});
}

void AppSession::setLeftButton(bool down) {
  xdotool({down ? "mousedown" : "mouseup", "1"});
  buttonHeld_ = down;
}

ProcessResult AppSession::onWindow(std::vector<std::string> commandAndOptions, const std::vector<std::string>& after) {
  commandAndOptions.push_back(windowId_);
  commandAndOptions.insert(commandAndOptions.end(), after.begin(), after.end());
  return xdotool(std::move(commandAndOptions));
}

std::string AppSession::title() { return firstLine(onWindow({"getwindowname"}).output); }

void AppSession::letFramesPass(int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end && !hasEnded()) pause(20);
}

bool holdDisplay() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (glfwInit()) return true;
    pause(50);
  }
  return false;
}

void expectEndedWith(const ProcessResult& result, int status) {
  EXPECT_FALSE(result.timedOut) << "still running after " << AppSession::kTimeLimitSeconds << " s";
  EXPECT_EQ(result.status, status) << result.output;
}

void copyShaderPair(const std::string& directory) {
  for (const char* name : {"Quorvel.vert", "Quorvel.frag"}) writeFile(directory + "/" + name, shippedShader(name));
}
