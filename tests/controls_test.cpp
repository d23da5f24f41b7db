// Turning the volume with the mouse and the frame-rate title, driven through
// the window library's real cursor, button state and clock.
#include "controls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "app_session.h"
#include "process.h"
#include "state.h"
#include "window.h"

// After the state header, which brings in the window library's own header.
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The pointer and the buttons belong to the whole display, and the window
// library moves the cursor only for a focused window: these tests use a shown
// window of their own in the screen's corner instead of the hidden context.
void useShownWindow() {
  if (window) return;
  ASSERT_TRUE(holdDisplay()) << "the controls tests need a display";
  window = glfwCreateWindow(400, 300, "Quorvel controls test", nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  glfwMakeContextCurrent(window);
  glfwSetWindowPos(window, 0, 0);
  glfwFocusWindow(window);
  for (int i = 0; i < 200 && !glfwGetWindowAttrib(window, GLFW_FOCUSED); ++i) {
    glfwWaitEventsTimeout(0.01);
  }
  ASSERT_TRUE(glfwGetWindowAttrib(window, GLFW_FOCUSED));
}

void resetControls() {
  std::memcpy(rotationMatrix, kIdentity, sizeof rotationMatrix);
  angleX = 0.0f;
  angleY = 0.0f;
  lastMouseX = 0;
  lastMouseY = 0;
  dragging = false;
  frameCount = 0;
  lastFpsTime = 0.0;
  titleBuffer[0] = '\0';
}

std::string shownTitle() {
  std::string id = std::to_string(glfwGetX11Window(window));
  std::string title = runProcess({"xdotool", "getwindowname", id}).output;
  if (!title.empty() && title.back() == '\n') title.pop_back();
  return title;
}

void moveCursor(int x, int y) {
  glfwSetCursorPos(window, x, y);
  int shownX = -1;
  int shownY = -1;
  glfwPollEvents();
  getMousePos(&shownX, &shownY);
  ASSERT_EQ(shownX, x);
  ASSERT_EQ(shownY, y);
}

void expectColumn(int column, float x, float y, float z, float w) {
  const float expected[4] = {x, y, z, w};
  for (int row = 0; row < 4; ++row) {
    EXPECT_NEAR(rotationMatrix[4 * column + row], expected[row], 1e-6) << "column " << column << ", row " << row;
  }
}

void expectMatrix(const float (&expected)[16], float tolerance) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(rotationMatrix[i], expected[i], tolerance) << "element " << i;
}

class Controls : public ::testing::Test {
protected:
  void SetUp() override {
    useShownWindow();
    resetControls();
    moveCursor(100, 100);
  }

  void TearDown() override {
    if (buttonHeld_) setButton(false);
  }

  // A real press or release of the left button, as the next frame sees it.
  void setButton(bool down) {
    runProcess({"xdotool", down ? "mousedown" : "mouseup", "1"});
    buttonHeld_ = down;
    int wanted = down ? GLFW_PRESS : GLFW_RELEASE;
    for (int i = 0; i < 200 && glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) != wanted; ++i) {
      glfwWaitEventsTimeout(0.01);
    }
    ASSERT_EQ(glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT), wanted);
  }

  // Press at the cursor, one frame, move by (dx, dy), one frame, release.
  void dragBy(int dx, int dy) {
    int x = 0;
    int y = 0;
    getMousePos(&x, &y);
    setButton(true);
    readMouse();
    moveCursor(x + dx, y + dy);
    readMouse();
    setButton(false);
    readMouse();
  }

private:
  bool buttonHeld_ = false;
};

TEST_F(Controls, DraggingTenPixelsRightTurnsAboutTheVerticalAxis) {
  dragBy(10, 0);
  EXPECT_NEAR(angleY, 2.0f, 1e-6);
  EXPECT_EQ(angleX, 0.0f);
  expectColumn(0, 0.9993908f, 0, 0.0348995f, 0);
  expectColumn(1, 0, 1, 0, 0);
  expectColumn(2, -0.0348995f, 0, 0.9993908f, 0);
  expectColumn(3, 0, 0, 0, 1);
}

TEST_F(Controls, DraggingTenPixelsDownTurnsAboutTheHorizontalAxis) {
  dragBy(0, 10);
  EXPECT_NEAR(angleX, 2.0f, 1e-6);
  EXPECT_EQ(angleY, 0.0f);
  expectColumn(0, 1, 0, 0, 0);
  expectColumn(1, 0, 0.9993908f, -0.0348995f, 0);
  expectColumn(2, 0, 0.0348995f, 0.9993908f, 0);
  expectColumn(3, 0, 0, 0, 1);
}

TEST_F(Controls, EighteenHundredPixelsInOneDirectionComeFullCircle) {
  dragBy(10, 10);
  float before[16];
  std::memcpy(before, rotationMatrix, sizeof before);
  // The screen is narrower than 1800 pixels: three strokes, lifting the
  // button in between as a user would.
  for (int stroke = 0; stroke < 3; ++stroke) {
    moveCursor(100, 100);
    dragBy(600, 0);
  }
  for (int stroke = 0; stroke < 3; ++stroke) {
    moveCursor(100, 100);
    dragBy(0, 600);
  }
  EXPECT_NEAR(angleY, 362.0f, 1e-3);
  EXPECT_NEAR(angleX, 362.0f, 1e-3);
  expectMatrix(before, 1e-5f);
}

TEST_F(Controls, PressingWithoutMovingKeepsTheAngles) {
  dragBy(10, -5);
  float before[16];
  std::memcpy(before, rotationMatrix, sizeof before);
  setButton(true);
  for (int frame = 0; frame < 3; ++frame) readMouse();
  EXPECT_TRUE(dragging);
  EXPECT_NEAR(angleY, 2.0f, 1e-6);
  EXPECT_NEAR(angleX, -1.0f, 1e-6);
  expectMatrix(before, 0.0f);
}

TEST_F(Controls, MovingWithTheButtonUpDoesNotTurnTheNextDrag) {
  dragBy(10, 0);
  EXPECT_FALSE(dragging);
  moveCursor(300, 200);
  readMouse();
  setButton(true);
  readMouse();
  EXPECT_TRUE(dragging);
  EXPECT_NEAR(angleY, 2.0f, 1e-6);
  EXPECT_EQ(angleX, 0.0f);
  EXPECT_EQ(lastMouseX, 300);
  EXPECT_EQ(lastMouseY, 200);
  // The drag goes on from where it started.
  moveCursor(305, 200);
  readMouse();
  EXPECT_NEAR(angleY, 3.0f, 1e-6);
}

// The page and the tests set a turn outright: it must be the very turn that a
// drag to the same angles leaves, whatever turn came before.
TEST_F(Controls, ATurnSetOutrightIsTheTurnADragLeaves) {
  for (auto [dx, dy] : {std::pair{10, 0}, std::pair{0, -10}, std::pair{37, 23}, std::pair{-250, 140}}) {
    resetControls();
    moveCursor(300, 200);
    dragBy(dx, dy);
    float dragged[16];
    std::memcpy(dragged, rotationMatrix, sizeof dragged);
    float draggedX = angleX;
    float draggedY = angleY;
    setTurn(-75.0f, 160.0f);
    setTurn(draggedX, draggedY);
    SCOPED_TRACE(testing::Message() << "a drag by " << dx << ", " << dy);
    EXPECT_EQ(angleX, draggedX);
    EXPECT_EQ(angleY, draggedY);
    expectMatrix(dragged, 0.0f);
  }
  setTurn(0.0f, 0.0f);
  expectMatrix(kIdentity, 0.0f);
}

TEST_F(Controls, ReleasingTheButtonEndsTheDrag) {
  setButton(true);
  readMouse();
  EXPECT_TRUE(dragging);
  setButton(false);
  readMouse();
  EXPECT_FALSE(dragging);
}

// The title step at a clock that stands still: far from its start the clock
// moves in steps of microseconds, so a few tries find one in which the step
// reads the same time as the test. lastFpsTime is set `sinceUpdate` seconds
// before that time.
bool frameAtStillClock(int framesSoFar, double sinceUpdate) {
  glfwSetTime(1.7e10);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    frameCount = framesSoFar;
    titleBuffer[0] = '\0';
    double now = glfwGetTime();
    lastFpsTime = now - sinceUpdate;
    updateFrameRate();
    // The step read `now` if it stamped its update with it, or if the clock
    // still reads `now` after it.
    if (lastFpsTime == now || glfwGetTime() == now) return true;
  }
  return false;
}

TEST_F(Controls, TheFirstFrameShowsZeroFramesPerSecond) {
  glfwSetTime(0.25);
  updateFrameRate();
  EXPECT_STREQ(titleBuffer, "Quorvel 0.1 (0.0 FPS)");
  EXPECT_EQ(shownTitle(), "Quorvel 0.1 (0.0 FPS)");
  EXPECT_EQ(frameCount, 1);
  EXPECT_NEAR(lastFpsTime, 0.25, 0.1);
}

TEST_F(Controls, TheFirstFrameShowsZeroAlsoWhenTheClockHasNotMoved) {
  ASSERT_TRUE(frameAtStillClock(0, 0.0));
  EXPECT_STREQ(titleBuffer, "Quorvel 0.1 (0.0 FPS)");
  EXPECT_EQ(shownTitle(), "Quorvel 0.1 (0.0 FPS)");
}

TEST_F(Controls, TheTitleWaitsForMoreThanOneSecond) {
  glfwSetTime(0.0);
  updateFrameRate();
  for (double t : {0.3, 0.6, 0.999}) {
    glfwSetTime(t);
    updateFrameRate();
  }
  EXPECT_STREQ(titleBuffer, "Quorvel 0.1 (0.0 FPS)");
  EXPECT_EQ(frameCount, 4);
  EXPECT_LT(lastFpsTime, 0.1);
}

TEST_F(Controls, ExactlyOneSecondIsNotYetMoreThanOne) {
  ASSERT_TRUE(frameAtStillClock(5, 1.0));
  EXPECT_STREQ(titleBuffer, "");
  EXPECT_EQ(frameCount, 6);
}

TEST_F(Controls, TheRateIsTheFramesBegunOverTheInterval) {
  glfwSetTime(0.0);
  updateFrameRate();
  for (double t : {0.3, 0.6, 0.9, 1.25}) {
    glfwSetTime(t);
    updateFrameRate();
  }
  // Four frames began in the 1.25 seconds before the update.
  EXPECT_STREQ(titleBuffer, "Quorvel 0.1 (3.2 FPS)");
  EXPECT_EQ(shownTitle(), "Quorvel 0.1 (3.2 FPS)");
  EXPECT_NEAR(lastFpsTime, 1.25, 0.1);
  // The frame that changed the title counts towards the next interval.
  for (double t : {1.5, 2.0, 2.75}) {
    glfwSetTime(t);
    updateFrameRate();
  }
  EXPECT_STREQ(titleBuffer, "Quorvel 0.1 (2.0 FPS)");
  EXPECT_EQ(frameCount, 1);
}

}  // namespace
