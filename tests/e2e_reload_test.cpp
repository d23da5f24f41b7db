// The shader pair edited while the program runs, as an editor saves it: each
// save shows in the window a moment later, a broken one leaves the last good
// pair drawing, and the run goes on to a normal end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app_session.h"
#include "expected_log.h"
#include "files.h"
#include "picture.h"

namespace {

// The floor's vertex stage keeps every uniform the program sets active, so
// the log takes no line per frame; the slices come out in one opaque colour.
const std::string kFlatVertex = readFile(QUORVEL_FLOOR_DIR "/Quorvel.vert");
// The same length, so only the write time tells the second save from the first.
const std::string kRedFragment = "#version 120\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n";
const std::string kGreenFragment = "#version 120\nvoid main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n";
const std::string kBrokenFragment = "#version 120\nvoid main() { gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0) }\n";

// The same size, every channel of every pixel within rounding.
bool samePicture(const Picture& a, const Picture& b) { return compare(a, b).largest <= 2; }

class EditedPair : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(app.startRunning()) << app.endReport(); }

  Picture picture() {
    std::string failure;
    Picture shot = takeScreenshot(app.windowId(), &failure);
    EXPECT_EQ(failure, "");
    return shot;
  }
  // The picture once it is the wanted one, or the last one taken after
  // seconds of waiting.
  template <typename Wanted>
  Picture pictureOnce(Wanted wanted) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    Picture shot = picture();
    while (!wanted(shot) && std::chrono::steady_clock::now() < deadline) {
      app.letFramesPass(100);
      shot = picture();
    }
    return shot;
  }
  Picture solidPictureOnce(const Pixel& colour) {
    return pictureOnce([&](const Picture& shot) { return isSolid(shot, colour); });
  }
  static bool isSolid(const Picture& shot, const Pixel& colour) {
    Picture solid{shot.width, shot.height, std::vector<Pixel>(shot.pixels.size(), colour)};
    return !shot.pixels.empty() && samePicture(shot, solid);
  }
  // An editor that writes a copy and renames it over the file.
  void saveByRename(const char* name, const std::string& text) {
    writeFile(app.path(".edit"), text);
    ASSERT_EQ(std::rename(app.path(".edit").c_str(), app.path(name).c_str()), 0);
  }
  // An editor that truncates the file and writes it again.
  void saveInPlace(const char* name, const std::string& text) { writeFile(app.path(name), text); }

  AppSession app;
};

TEST_F(EditedPair, EachSaveShowsABrokenOneKeepsTheLastGoodPairAndTheRunGoesOn) {
  const Pixel red{255, 0, 0};
  const Pixel green{0, 255, 0};
  app.letFramesPass(600);
  Picture clouds = picture();
  ASSERT_FALSE(isSolid(clouds, clouds.pixels.at(0))) << "no cloud to tell from a flat pair";

  saveByRename("Quorvel.vert", kFlatVertex);
  saveByRename("Quorvel.frag", kRedFragment);
  EXPECT_TRUE(isSolid(solidPictureOnce(red), red)) << "the pair saved by renaming never showed";

  saveInPlace("Quorvel.frag", kGreenFragment);
  EXPECT_TRUE(isSolid(solidPictureOnce(green), green)) << "the pair saved in place never showed";

  saveInPlace("Quorvel.frag", kBrokenFragment);
  app.letFramesPass(1500);
  EXPECT_TRUE(isSolid(picture(), green)) << "a broken edit changed the picture";

  copyShaderPair(app.path(""));
  Picture back = pictureOnce([&](const Picture& shot) { return samePicture(shot, clouds); });
  EXPECT_TRUE(samePicture(back, clouds)) << "the shipped pair did not draw as at start-up";

  EXPECT_EQ(app.title().rfind("Quorvel 0.1 (", 0), 0u) << app.title();
  app.pressEscape();
  ProcessResult result = app.waitForEnd();
  expectEndedWith(result, 0);
  // The compiler's message follows, where editors jump to it.
  EXPECT_EQ(result.output.rfind("quorvel: the edited shader pair is not loaded: the fragment shader does not compile "
                                "(logfile.txt says why); the last good pair still draws\nQuorvel.frag:2: error: ",
                                0),
            0u)
      << result.output;
  std::string shippedVertex = shippedShader("Quorvel.vert");
  std::string shippedFragment = shippedShader("Quorvel.frag");
  EXPECT_EQ(app.log(), normalLog() + buildSections(kFlatVertex, kRedFragment) +
                           buildSections(kFlatVertex, kGreenFragment) + compilerSection(GL_VERTEX_SHADER, kFlatVertex) +
                           compilerErrorSection(GL_FRAGMENT_SHADER, kBrokenFragment) +
                           buildSections(shippedVertex, shippedFragment));
}

}  // namespace
