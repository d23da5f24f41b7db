// A window's picture as the X server shows it, or a picture file, read
// through ImageMagick as 8-bit RGB.
#ifndef QUORVEL_TEST_SCREENSHOT_H
#define QUORVEL_TEST_SCREENSHOT_H

#include <string>
#include <vector>

struct Pixel {
  int r = 0;
  int g = 0;
  int b = 0;
};

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Pixel> pixels;  // row by row from the top left
};

// The picture of the X window with the given id; empty, with the reason in
// *failure, when none could be taken.
Picture takeScreenshot(const std::string& windowId, std::string* failure);
// A picture file of any format that ImageMagick reads, likewise.
Picture readPicture(const std::string& imagePath, std::string* failure);

#endif
