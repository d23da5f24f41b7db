// One run of the real program as a user meets it: a working directory of its
// own holding the shader pair, the test's display, and that display's own
// pointer and keyboard (XTEST through xdotool, which the program cannot tell
// from a person).
#ifndef QUORVEL_TEST_APP_SESSION_H
#define QUORVEL_TEST_APP_SESSION_H

#include <string>
#include <vector>

#include "process.h"

class AppSession {
public:
  // Longest that any run may take before the test kills it.
  static constexpr int kTimeLimitSeconds = 25;

  explicit AppSession(std::string binary = QUORVEL_BINARY);
  // Kills a program still running, lets go of a held button and removes the
  // working directory.
  ~AppSession();
  AppSession(const AppSession&) = delete;
  AppSession& operator=(const AppSession&) = delete;

  // A path inside the working directory.
  std::string path(const std::string& name) const;
  std::string log() const { return readFile(path("logfile.txt")); }

  // Starts the program and waits for its window and its first frame (the
  // title with the frame rate); false when it ends or hangs before that.
  bool startRunning();
  // Starts the program and waits only for its window, which start-up opens
  // before it loads the shaders.
  bool startShowingWindow();
  // Starts the program and waits for it to end by itself.
  ProcessResult runToEnd();
  // Waits for the program to end; kills it when the time limit passes.
  ProcessResult waitForEnd();
  // Why a run did not go as planned: waits for its end and tells the status,
  // the output and the log.
  std::string endReport();

  // Escape pressed and released while the program does not poll, so both
  // reach it in one poll.
  void tapEscapeBetweenPolls();
  void pressEscape();
  // A key by its X name (xdotool's): "F12".
  void pressKey(const std::string& name);
  // What a window manager's close button sends.
  void requestClose();
  // As Ctrl+C (SIGINT) or kill (SIGTERM) sends it.
  void sendSignal(int number);
  // Moves the pointer to a point of the window.
  void moveMouse(int x, int y);
  void setLeftButton(bool down);
  // Runs an xdotool command with its options, the window id and the
  // arguments that follow it: onWindow({"windowsize", "--sync"}, {"800", "600"}).
  ProcessResult onWindow(std::vector<std::string> commandAndOptions, const std::vector<std::string>& after = {});
  std::string title();
  // The X id of the program's window, for tools that take it (import).
  const std::string& windowId() const { return windowId_; }
  // Gives the frame loop time for a few frames; returns early when the
  // program ends.
  void letFramesPass(int milliseconds = 400);

  ProcessOptions options;

private:
  bool waitForWindow();
  bool waitForFirstFrame();
  bool hasEnded() const;

  std::string binary_;
  std::string directory_;
  std::string windowId_;
  int pid_ = -1;
  bool buttonHeld_ = false;
};

// Connects the window library to the display, trying again while the X
// server finishes a reset (it resets whenever its last client leaves, as at
// the end of each test process), and keeps the connection so that no reset
// comes while a test runs. False when no display answers within seconds.
bool holdDisplay();

// Copies the shipped shader pair into a directory.
void copyShaderPair(const std::string& directory);

// The run ended with this status before the time limit; a run that a signal
// ended reads as 128 + its number.
void expectEndedWith(const ProcessResult& result, int status);

#endif
