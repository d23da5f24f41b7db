#include "picture.h"

#include <GL/glew.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "process.h"

namespace {

// A binary PPM ("P6", width, height, 255, one blank, then RGB bytes).
bool parsePPM(const std::string& data, Picture* picture) {
  std::istringstream header(data);
  std::string magic;
  int maxValue = 0;
  header >> magic >> picture->width >> picture->height >> maxValue;
  if (!header || magic != "P6" || maxValue != 255 || picture->width <= 0 || picture->height <= 0) return false;
  size_t start = static_cast<size_t>(header.tellg()) + 1;
  size_t count = static_cast<size_t>(picture->width) * static_cast<size_t>(picture->height);
  if (data.size() != start + count * 3) return false;
  picture->pixels.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const auto* rgb = reinterpret_cast<const unsigned char*>(data.data() + start + i * 3);
    picture->pixels[i] = {rgb[0], rgb[1], rgb[2]};
  }
  return true;
}

// Runs an ImageMagick command whose last argument is the PPM file it
// writes, and reads that picture back.
Picture runToPicture(std::vector<std::string> command, std::string* failure) {
  std::string directory = makeTempDir();
  std::string path = directory + "/picture.ppm";
  // ImageMagick keeps 16 bits a channel unless told otherwise.
  command.insert(command.end(), {"-depth", "8", "ppm:" + path});
  ProcessResult run = runProcess(command);
  std::string data = readFile(path);
  unlink(path.c_str());
  rmdir(directory.c_str());
  Picture picture;
  if (run.status != 0) {
    *failure = command[0] + " failed with status " + std::to_string(run.status) + ":\n" + run.output;
  } else if (!parsePPM(data, &picture)) {
    *failure = command[0] + " wrote no 8-bit PPM picture";
    picture = Picture();
  }
  return picture;
}

}  // namespace

Picture takeScreenshot(const std::string& windowId, std::string* failure) {
  return runToPicture({"import", "-window", windowId}, failure);
}

Picture readPicture(const std::string& imagePath, std::string* failure) {
  return runToPicture({"convert", imagePath}, failure);
}

double luma(const Pixel& p) { return 0.299 * p.r + 0.587 * p.g + 0.114 * p.b; }

Picture readFramebuffer(int width, int height) {
  glFinish();
  Picture picture;
  picture.width = width;
  picture.height = height;
  std::vector<unsigned char> bottomUp(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  // The GL's rows run from the bottom up.
  for (int y = height - 1; y >= 0; --y) {
    const unsigned char* rgb = &bottomUp[static_cast<size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x, rgb += 3) picture.pixels.push_back({rgb[0], rgb[1], rgb[2]});
  }
  return picture;
}

PictureDifference compare(const Picture& a, const Picture& b, int tolerance) {
  if (a.width != b.width || a.height != b.height) return {256, 1.0};
  PictureDifference difference;
  size_t beyond = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const Pixel& p = a.pixels[i];
    const Pixel& q = b.pixels[i];
    int largest = std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    difference.largest = std::max(difference.largest, largest);
    beyond += largest > tolerance;
  }
  if (!a.pixels.empty()) difference.share = static_cast<double>(beyond) / static_cast<double>(a.pixels.size());
  return difference;
}
