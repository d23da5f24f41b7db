// Prints the cloud figures of picture files, for judging a shader pair by
// hand and for the pictures in the documentation.
// Usage: cloud_figures PICTURE...
#include <cstdio>

#include "cloud_figures.h"

int main(int argc, char** argv) {
  int status = argc > 1 ? 0 : 2;
  for (int i = 1; i < argc; ++i) {
    std::string failure;
    Picture picture = readPicture(argv[i], &failure);
    if (picture.pixels.empty()) {
      std::fprintf(stderr, "%s: %s\n", argv[i], failure.c_str());
      status = 1;
      continue;
    }
    std::printf("%s: %s\n", argv[i], describe(measureCloud(picture)).c_str());
  }
  if (argc < 2) std::fprintf(stderr, "usage: %s PICTURE...\n", argv[0]);
  return status;
}
