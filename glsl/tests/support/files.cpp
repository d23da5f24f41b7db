#include "files.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

std::string makeTempDir() {
  std::random_device seed;
  std::mt19937 random(seed());
  std::filesystem::path base = std::filesystem::temp_directory_path();
  // create_directory is false for a name that exists: then another is drawn.
  for (;;) {
    std::filesystem::path path = base / ("glsl-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(path)) return path.string();
  }
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
}
