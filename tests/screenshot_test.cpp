// What the user sees of the real program with the shipped shader pair: a
// pair that fits the program, clouds at rest, the three axes while dragging
// and a turned volume after the release. The look of the clouds belongs to
// the pair, so these tests ask only for properties any cloud pair has.
#include "screenshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "app_session.h"
#include "expected_log.h"

namespace {

// The clear colour (0.2, 0.2, 0.8) as the window shows it.
const Pixel kSky{51, 51, 204};
// Channel differences up to this are rounding, not drawing.
constexpr int kTolerance = 12;
// At rest the clouds must cover at least this share of the window...
constexpr double kCloudCover = 0.1;
// ...and the 5th and 95th percentiles of their brightness must lie this far
// apart (in 0..255 luma): shaded clouds, not a flat blot.
constexpr double kBrightnessSpread = 40.0;
// Each axis is a line across much of the window: hundreds of pixels.
constexpr int kAxisPixels = 40;
// The release leaves the volume turned: at least this share of the window
// changes from the picture before the drag.
constexpr double kTurnedShare = 0.02;

bool differs(const Pixel& a, const Pixel& b) {
  return std::abs(a.r - b.r) > kTolerance || std::abs(a.g - b.g) > kTolerance || std::abs(a.b - b.b) > kTolerance;
}

double shareDiffering(const Picture& picture, const Picture& other) {
  size_t count = 0;
  for (size_t i = 0; i < picture.pixels.size(); ++i) count += differs(picture.pixels[i], other.pixels[i]);
  return static_cast<double>(count) / static_cast<double>(picture.pixels.size());
}

double shareDifferingFromSky(const Picture& picture) {
  Picture sky = picture;
  std::fill(sky.pixels.begin(), sky.pixels.end(), kSky);
  return shareDiffering(picture, sky);
}

// Over the pixels that show something other than the sky.
double cloudBrightnessSpread(const Picture& picture) {
  std::vector<double> luma;
  for (const Pixel& p : picture.pixels) {
    if (differs(p, kSky)) luma.push_back(0.299 * p.r + 0.587 * p.g + 0.114 * p.b);
  }
  if (luma.empty()) return 0.0;
  std::sort(luma.begin(), luma.end());
  return luma[luma.size() * 95 / 100] - luma[luma.size() * 5 / 100];
}

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

TEST_F(Screenshots, AtRestCloudsCoverMuchOfTheWindowWithShading) {
  Picture rest = shot();
  ASSERT_FALSE(rest.pixels.empty());
  EXPECT_GE(shareDifferingFromSky(rest), kCloudCover);
  EXPECT_GE(cloudBrightnessSpread(rest), kBrightnessSpread);
  AxisPixels axes = axisPixels(rest);
  EXPECT_LT(axes.green, kAxisPixels);
  EXPECT_LT(axes.red, kAxisPixels);
  EXPECT_LT(axes.blue, kAxisPixels);
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
  EXPECT_GE(shareDiffering(released, rest), kTurnedShare);
}

// A GL older than 2.0 that offers the shading language through the
// shader-object extension alone.
const std::map<std::string, std::string> kVersionOnePointFive{{"MESA_GL_VERSION_OVERRIDE", "1.5"}};

class OlderGLScreenshots : public Screenshots {
protected:
  OlderGLScreenshots() { session.options.setEnv = kVersionOnePointFive; }
};

TEST_F(OlderGLScreenshots, AVersionOnePointFiveGLDrawsTheCloudsAndLogsAsAVersionTwoGL) {
  Picture rest = shot();
  ASSERT_FALSE(rest.pixels.empty());
  EXPECT_GE(shareDifferingFromSky(rest), kCloudCover);
  EXPECT_GE(cloudBrightnessSpread(rest), kBrightnessSpread);
  session.pressEscape();
  expectEndedWith(session.waitForEnd(), 0);
  EXPECT_EQ(session.log(), startupReport(kVersionOnePointFive) +
                               buildSections(shippedShader("Quorvel.vert"), shippedShader("Quorvel.frag")));
}

}  // namespace
