// A pair's stages are files of their own, so each defines the constants that
// both need, and the vertex stage those of the scene's slices: these tests
// fail where the copies differ, in the shipped pair and in the starter pair.
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

// A pair's folder, and how many constants its stages share: a parse that
// missed them would pass.
struct Pair {
  const char* name;
  const char* folder;
  size_t shared;
};
const Pair kPairs[] = {{"shipped", QUORVEL_SHADER_DIR, 10}, {"starter", QUORVEL_STARTER_DIR, 7}};

// Names the pair in test listings instead of dumping its bytes.
void PrintTo(const Pair& pair, std::ostream* out) { *out << pair.name; }

class PairConstants : public ::testing::TestWithParam<Pair> {};

INSTANTIATE_TEST_SUITE_P(Pairs, PairConstants, ::testing::ValuesIn(kPairs),
                         [](const auto& info) { return std::string(info.param.name); });

// Each `const <type> NAME = <value>;` that starts a line, a stage's own and
// not a function's: NAME to the value as written, without spaces.
std::map<std::string, std::string> stageConstants(const Pair& pair, const char* stage) {
  std::istringstream text(readFile(std::string(pair.folder) + "/" + stage));
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

TEST_P(PairConstants, BothStagesGiveEveryConstantTheyShareOneValue) {
  std::map<std::string, std::string> vertex = stageConstants(GetParam(), "Quorvel.vert");
  size_t shared = 0;
  for (const auto& [name, value] : stageConstants(GetParam(), "Quorvel.frag")) {
    if (!vertex.count(name)) continue;
    ++shared;
    if (kDifferByDesign.count(name)) continue;
    EXPECT_EQ(value, vertex[name]) << name;
  }
  EXPECT_GE(shared, GetParam().shared);
}

TEST_P(PairConstants, TheVertexStageSlicesTheScenesVolume) {
  std::map<std::string, std::string> vertex = stageConstants(GetParam(), "Quorvel.vert");
  EXPECT_FLOAT_EQ(valueOf(vertex["SLICE_STEP"]), kVolumeExtent / static_cast<float>(kSliceCount - 1));
  EXPECT_FLOAT_EQ(valueOf(vertex["CELL"]), kVolumeExtent / static_cast<float>(kGridSize - 1));
  EXPECT_FLOAT_EQ(valueOf(vertex["HALF_EXTENT"]), kVolumeExtent * 0.5f);
}

}  // namespace
