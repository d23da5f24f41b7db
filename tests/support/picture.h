// Pictures as 8-bit RGB: a window as the X server shows it, a picture file
// (both read through ImageMagick), or what the current GL context drew.
#ifndef QUORVEL_TEST_PICTURE_H
#define QUORVEL_TEST_PICTURE_H

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

  const Pixel& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Brightness as a viewer sees it, in 8-bit steps (Rec. 601 weights).
double luma(const Pixel& p);

// The picture of the X window with the given id; empty, with the reason in
// *failure, when none could be taken.
Picture takeScreenshot(const std::string& windowId, std::string* failure);
// A picture file of any format that ImageMagick reads, likewise.
Picture readPicture(const std::string& imagePath, std::string* failure);
// The lower left width x height of the current context's framebuffer, once
// the GL has drawn everything it was given.
Picture readFramebuffer(int width, int height);

// How far apart two pictures lie: the largest difference in any channel of
// any pixel, and the share of pixels with a channel more than `tolerance`
// off. Pictures of different sizes differ everywhere, by more than any level.
struct PictureDifference {
  int largest = 0;
  double share = 0;
};
PictureDifference compare(const Picture& a, const Picture& b, int tolerance = 0);

#endif
