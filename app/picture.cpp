#include "picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "state.h"
#include "window.h"

// The encoder's functions stay private to this file; it hands the PNG over
// in memory, so its file functions are left out.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace {

// RGB: the sky is cleared with alpha 0, which a picture with an alpha
// channel would show as transparent.
const int kChannels = 3;

// Windows' C runtime opens a file as text unless told otherwise and takes
// only its own two permission bits. Exclusive creation everywhere: a file
// that appears under the name meanwhile is never written over.
#ifdef _WIN32
const int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
const int kCreateMode = S_IREAD | S_IWRITE;
#else
const int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL;
const int kCreateMode = 0666;
#endif

// The frame just drawn, bottom row first: the back buffer holds it until the
// swap, whereas the front buffer's pixels under another window belong to
// nobody.
std::vector<unsigned char> readFrame(int width, int height) {
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * kChannels);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void appendBytes(void* png, void* bytes, int count) {
  static_cast<std::string*>(png)->append(static_cast<const char*>(bytes), static_cast<size_t>(count));
}

// Empty when the encoder fails.
std::string encodePng(const std::vector<unsigned char>& pixels, int width, int height) {
  std::string png;
  // A PNG's rows run from the top down.
  stbi_flip_vertically_on_write(1);
  if (!stbi_write_png_to_func(appendBytes, &png, width, height, kChannels, pixels.data(), width * kChannels)) {
    png.clear();
  }
  return png;
}

// Creates the first quorvel-N.png that names nothing yet, leaving its name
// in *name; -1, with errno saying why, when it cannot.
int createPictureFile(std::string* name) {
  for (int number = 1;; ++number) {
    *name = "quorvel-" + std::to_string(number) + ".png";
    int file = open(name->c_str(), kCreateFlags, kCreateMode);
    if (file >= 0 || errno != EEXIST) return file;
  }
}

// 0 once every byte is in the file and the file is closed, else the errno
// that says why not.
int writeAndClose(int file, const std::string& bytes) {
  std::FILE* stream = fdopen(file, "wb");
  if (!stream) {
    int reason = errno;
    close(file);
    return reason;
  }
  int reason = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() ? 0 : errno;
  if (std::fclose(stream) != 0 && reason == 0) reason = errno;
  return reason;
}

// Writes the PNG to a new picture file, whose name it leaves in *name; 0, or
// the errno that says why no file of it stays.
int writeNewPicture(const std::string& png, std::string* name) {
  int file = createPictureFile(name);
  if (file < 0) return errno;
  int reason = writeAndClose(file, png);
  if (reason != 0) std::remove(name->c_str());
  return reason;
}

}  // namespace

void savePicture() {
  int width = 0;
  int height = 0;
  getWindowSize(&width, &height);
  std::string png = width > 0 && height > 0 ? encodePng(readFrame(width, height), width, height) : "";
  if (png.empty()) {
    std::cerr << "quorvel: cannot make a PNG of the window's picture (" << width << " x " << height << ")" << std::endl;
    return;
  }
  std::string name;
  int reason = writeNewPicture(png, &name);
  if (reason != 0) {
    std::cerr << "quorvel: cannot save the picture as " << name << ": " << std::strerror(reason) << std::endl;
  } else {
    std::cerr << "quorvel: saved the picture as " << name << " (" << width << " x " << height << ")" << std::endl;
  }
}
