// What the user sees of the real program with the shipped shader pair: a
// pair that fits the program, a cloud that reads as vapour lit from behind
// at rest and turned (also on GLs that offer the shading language only
// through its extensions), the three axes while dragging and a turned
// volume after the release.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app_session.h"
#include "cloud_figures.h"
#include "expected_log.h"
#include "picture.h"

namespace {

// Channel differences up to this are rounding, not drawing.
constexpr int kTolerance = 12;
// The cloud must cover at least this share of the window.
constexpr double kCloudCover = 0.1;
// Each axis is a line across much of the window: hundreds of pixels.
constexpr int kAxisPixels = 40;
// The release leaves the volume turned: at least this share of the window
// changes from the picture before the drag.
constexpr double kTurnedShare = 0.02;

// Pixels of each axis colour. The lines are smoothed and blended, so a line
// pixel is the axis colour mixed with what lies behind it: a clear lead of
// green or red over both other channels, or blue with red and green darker
// than the sky's.
struct AxisPixels {
  int green = 0;
  int red = 0;
  int blue = 0;
};

AxisPixels axisPixels(const Picture& picture) {
  AxisPixels found;
  for (const Pixel& p : picture.pixels) {
    if (p.g >= 120 && p.g >= p.r + 60 && p.g >= p.b + 40) ++found.green;
    if (p.r >= 120 && p.r >= p.g + 60 && p.r >= p.b + 40) ++found.red;
    if (p.b >= 180 && p.r <= 35 && p.g <= 35) ++found.blue;
  }
  return found;
}

class Screenshots : public ::testing::Test {
protected:
  // Starts the program and lets the clouds settle for a few seconds.
  void SetUp() override {
    ASSERT_TRUE(session.startRunning()) << session.log();
    session.letFramesPass(3000);
  }

  Picture shot() {
    std::string failure;
    Picture picture = takeScreenshot(session.windowId(), &failure);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(picture.width, 400);
    EXPECT_EQ(picture.height, 300);
    return picture;
  }

  // A quarter turn about the vertical axis, in drags short enough to stay
  // in the window: 0.2 degrees per pixel.
  void turnAQuarter() {
    for (int drag = 0; drag < 5; ++drag) {
      session.moveMouse(100, 150);
      session.setLeftButton(true);
      session.letFramesPass(300);
      session.moveMouse(190, 150);
      session.letFramesPass(300);
      session.setLeftButton(false);
    }
    session.letFramesPass(1000);
  }

  // A drag down and to the right from the centre. The program reads the
  // cursor once a frame and a drag starts where the first frame with the
  // button down finds it, so the motion waits for a frame or two. The
  // vertical part tilts the blue axis off the red one.
  void dragFromCentre() {
    session.moveMouse(200, 150);
    session.setLeftButton(true);
    session.letFramesPass(1000);
    session.moveMouse(260, 200);
    session.letFramesPass(1500);
  }

  AppSession session;
};

TEST_F(Screenshots, TheShippedPairFeedsOnEveryUniformWithoutGLErrors) {
  dragFromCentre();
  session.setLeftButton(false);
  session.letFramesPass();
  session.pressEscape();
  expectEndedWith(session.waitForEnd(), 0);
  std::string log = session.log();
  EXPECT_NE(log.find("[OK] OpenGL Shading Language is available!"), std::string::npos) << log;
  EXPECT_EQ(log.find("Error: can't find uniform variable"), std::string::npos) << log;
  EXPECT_EQ(log.find("GL Error"), std::string::npos) << log;
}

// What tells vapour lit from behind from cotton wool: no pixel-scale
// static, the side toward the light brighter, a darker base, and a rim that
// the light through its thin vapour keeps from going grey.
void expectVapourLitFromBehind(const Picture& picture) {
  CloudFigures figures = measureCloud(picture);
  EXPECT_GE(figures.cover, kCloudCover) << describe(figures);
  EXPECT_LE(figures.grain, 2.5) << describe(figures);
  EXPECT_GE(figures.litSide, 50.0) << describe(figures);
  EXPECT_GE(figures.topMinusBase, 40.0) << describe(figures);
  EXPECT_GE(figures.edgeMinusCore, -50.0) << describe(figures);
}

TEST_F(Screenshots, AtRestAndAfterAQuarterTurnTheCloudReadsAsVapourLitFromBehind) {
  Picture rest = shot();
  ASSERT_FALSE(rest.pixels.empty());
  expectVapourLitFromBehind(rest);
  AxisPixels axes = axisPixels(rest);
  EXPECT_LT(axes.green, kAxisPixels);
  EXPECT_LT(axes.red, kAxisPixels);
  EXPECT_LT(axes.blue, kAxisPixels);
  turnAQuarter();
  Picture turned = shot();
  ASSERT_FALSE(turned.pixels.empty());
  expectVapourLitFromBehind(turned);
  EXPECT_GE(compare(turned, rest, kTolerance).share, kTurnedShare);
}

TEST_F(Screenshots, DraggingShowsTheAxesAndTheReleaseLeavesTheVolumeTurned) {
  Picture rest = shot();
  dragFromCentre();
  Picture dragged = shot();
  session.setLeftButton(false);
  session.letFramesPass(1500);
  Picture released = shot();
  ASSERT_FALSE(rest.pixels.empty() || dragged.pixels.empty() || released.pixels.empty());

  AxisPixels during = axisPixels(dragged);
  EXPECT_GE(during.green, kAxisPixels);
  EXPECT_GE(during.red, kAxisPixels);
  EXPECT_GE(during.blue, kAxisPixels);
  AxisPixels after = axisPixels(released);
  EXPECT_LT(after.green, kAxisPixels);
  EXPECT_LT(after.red, kAxisPixels);
  EXPECT_LT(after.blue, kAxisPixels);
  EXPECT_GE(compare(released, rest, kTolerance).share, kTurnedShare);
}

// A window of this width and three quarters as high. Frames take longer in
// larger windows and under load, so each step of a drag waits until a
// picture shows that the program has taken it: the axes drawn while the
// button is held, gone once it is released.
struct TurnedWindow {
  AppSession& session;
  int width;

  int height() const { return width * 3 / 4; }

  Picture shotWithAxes(bool shown, std::string* failure) {
    Picture picture;
    for (int attempt = 0; attempt < 50; ++attempt) {
      session.letFramesPass(50);
      picture = takeScreenshot(session.windowId(), failure);
      AxisPixels axes = axisPixels(picture);
      bool drawn = axes.green >= kAxisPixels || axes.red >= kAxisPixels || axes.blue >= kAxisPixels;
      if (!failure->empty() || drawn == shown) break;
    }
    return picture;
  }

  // A drag by (right, down) pixels through the middle of the window; the
  // program reads the pointer once a frame, and a preview frame is short.
  void drag(int right, int down) {
    std::string failure;
    session.moveMouse(width / 2 - right / 2, height() / 2 - down / 2);
    session.setLeftButton(true);
    shotWithAxes(true, &failure);
    session.moveMouse(width / 2 + right - right / 2, height() / 2 + down - down / 2);
    session.letFramesPass(100 * width / 400);
    session.setLeftButton(false);
  }

  // A line naming the turn where the picture at rest has any detached piece.
  std::string flakes(const std::string& turn) {
    std::string failure;
    CloudFigures figures = measureCloud(shotWithAxes(false, &failure));
    if (failure.empty() && figures.cover > 0 && figures.detachedPieces == 0) return "";
    return std::to_string(width) + " wide, " + turn + ": " + failure + describe(figures) + "\n";
  }
};

// The cloud turned by dragging through a full turn about the vertical axis
// and a half turn about the horizontal one, 12 degrees a step, stays one
// piece with no flake floating free of it; so it does in a window larger
// than the screen, at rest and after four larger turns. The screen shows
// only the middle of that window, where the cloud lies.
TEST(TurnedCloud, NoFlakeFloatsFreeOfItAtAnyTurnOrWindowSize) {
  std::string flakes;
  for (int width : {400, 800}) {
    AppSession session;
    ASSERT_TRUE(session.startRunning()) << session.endReport();
    TurnedWindow window{session, width};
    session.onWindow({"windowsize", "--sync"}, {std::to_string(width), std::to_string(window.height())});
    session.letFramesPass(1000);
    flakes += window.flakes("at rest");
    for (int step = 1; step <= 30; ++step) {
      window.drag(60, 0);
      flakes += window.flakes(std::to_string(12 * step) + " degrees about the vertical");
    }
    for (int step = 1; step <= 15; ++step) {
      window.drag(0, 60);
      flakes += window.flakes(std::to_string(12 * step) + " degrees about the horizontal");
    }
  }
  AppSession session;
  ASSERT_TRUE(session.startRunning()) << session.endReport();
  TurnedWindow window{session, 1600};
  session.onWindow({"windowsize", "--sync"}, {"1600", "1200"});
  session.onWindow({"windowmove", "--sync"}, {"-160", "-88"});
  session.letFramesPass(3000);
  flakes += window.flakes("at rest");
  for (int step = 1; step <= 4; ++step) {
    window.drag(400, 0);
    flakes += window.flakes(std::to_string(80 * step) + " degrees about the vertical");
  }
  EXPECT_EQ(flakes, "");
}

// GLs older than 2.0 that offer the shading language through the
// shader-object extension alone: 1.5, and 1.2, which switches texture units
// only through GL_ARB_multitexture.
class OlderGLScreenshots : public Screenshots, public ::testing::WithParamInterface<const char*> {
protected:
  OlderGLScreenshots() { session.options.setEnv = olderGL(); }

  static std::map<std::string, std::string> olderGL() { return {{"MESA_GL_VERSION_OVERRIDE", GetParam()}}; }
};

TEST_P(OlderGLScreenshots, DrawTheCloudsAndLogAsAVersionTwoGL) {
  Picture rest = shot();
  ASSERT_FALSE(rest.pixels.empty());
  expectVapourLitFromBehind(rest);
  session.pressEscape();
  expectEndedWith(session.waitForEnd(), 0);
  EXPECT_EQ(session.log(),
            startupReport(olderGL()) + buildSections(shippedShader("Quorvel.vert"), shippedShader("Quorvel.frag")));
}

INSTANTIATE_TEST_SUITE_P(Versions, OlderGLScreenshots, ::testing::Values("1.5", "1.2"),
                         [](const auto& info) { return std::string("Version") + info.param[0] + info.param[2]; });

}  // namespace
