// The shipped pair's stages are files of their own, so each defines the
// constants that both need, and the vertex stage those of the scene's
// slices: these tests fail where the copies differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "files.h"
#include "scene.h"

namespace {

// The sunlight that the vertex stage follows through the cloud meets less
// extinction than the view ray that the fragment stage shades.
const std::set<std::string> kDifferByDesign = {"EXTINCTION"};

// Each `const <type> NAME = <value>;` that starts a line, a stage's own and
// not a function's: NAME to the value as written, without spaces.
std::map<std::string, std::string> stageConstants(const char* stage) {
  std::istringstream text(readFile(std::string(QUORVEL_SHADER_DIR) + "/" + stage));
  const std::regex definition(R"(const \w+ (\w+) = ([^;]+);.*)");
  std::map<std::string, std::string> constants;
  std::smatch match;
  for (std::string line; std::getline(text, line);) {
    if (!std::regex_match(line, match, definition)) continue;
    std::string value = match[2];
    value.erase(std::remove(value.begin(), value.end(), ' '), value.end());
    constants[match[1]] = value;
  }
  return constants;
}

// A value written as a number or as one number over another.
float valueOf(const std::string& text) {
  float value = std::strtof(text.c_str(), nullptr);
  size_t over = text.find('/');
  return over == std::string::npos ? value : value / std::strtof(text.c_str() + over + 1, nullptr);
}

TEST(PairConstants, BothStagesGiveEveryConstantTheyShareOneValue) {
  std::map<std::string, std::string> vertex = stageConstants("Quorvel.vert");
  size_t shared = 0;
  for (const auto& [name, value] : stageConstants("Quorvel.frag")) {
    if (!vertex.count(name)) continue;
    ++shared;
    if (kDifferByDesign.count(name)) continue;
    EXPECT_EQ(value, vertex[name]) << name;
  }
  // The ten that the stages share: a parse that missed them would pass.
  EXPECT_GE(shared, 10u);
}

TEST(PairConstants, TheVertexStageSlicesTheScenesVolume) {
  std::map<std::string, std::string> vertex = stageConstants("Quorvel.vert");
  EXPECT_FLOAT_EQ(valueOf(vertex["SLICE_STEP"]), kVolumeExtent / static_cast<float>(kSliceCount - 1));
  EXPECT_FLOAT_EQ(valueOf(vertex["CELL"]), kVolumeExtent / static_cast<float>(kGridSize - 1));
  EXPECT_FLOAT_EQ(valueOf(vertex["HALF_EXTENT"]), kVolumeExtent * 0.5f);
}

}  // namespace
