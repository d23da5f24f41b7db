#include "screenshot.h"

#include <unistd.h>

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
