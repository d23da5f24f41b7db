// The picture key: each press of F12 saves what the window shows as the next
// free quorvel-N.png in the working directory and says so on the console;
// the log stays that of any run.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_session.h"
#include "expected_log.h"
#include "picture.h"

namespace {

TEST(PictureKey, EachPressSavesTheWindowsPictureUnderTheNextFreeName) {
  AppSession app;
  const std::string theirs = "a file of the user's";
  writeFile(app.path("quorvel-1.png"), theirs);
  ASSERT_TRUE(app.startRunning()) << app.endReport();
  app.pressKey("F12");
  app.pressKey("F12");
  // The second file is made once the first is written.
  for (int wait = 0; wait < 100 && !std::filesystem::exists(app.path("quorvel-3.png")); ++wait) app.letFramesPass(100);
  std::string failure;
  Picture window = takeScreenshot(app.windowId(), &failure);
  app.pressEscape();
  ProcessResult result = app.waitForEnd();
  expectEndedWith(result, 0);

  EXPECT_EQ(result.output,
            "quorvel: saved the picture as quorvel-2.png (400 x 300)\n"
            "quorvel: saved the picture as quorvel-3.png (400 x 300)\n");
  EXPECT_TRUE(readFile(app.path("quorvel-1.png")) == theirs) << "the user's quorvel-1.png was written over";
  for (const char* name : {"quorvel-2.png", "quorvel-3.png"}) {
    Picture saved = readPicture(app.path(name), &failure);
    EXPECT_LE(compare(saved, window).largest, 2) << name << failure;
    // The sky's alpha in the GL is 0: a picture that kept it would be see-through.
    EXPECT_EQ(runProcess({"identify", "-format", "%[opaque]", app.path(name)}).output, "true") << name;
  }
  EXPECT_EQ(app.log(), normalLog());
}

}  // namespace
