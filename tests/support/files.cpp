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
    std::filesystem::path path = base / ("quorvel-test-" + std::to_string(random()));
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

void copyShaderPair(const std::string& directory) {
  for (const char* name : {"Quorvel.vert", "Quorvel.frag"}) {
    writeFile(directory + "/" + name, readFile(std::string(QUORVEL_SHADER_DIR) + "/" + name));
  }
}
