// The two noise lookup textures as the cloud shaders read them back from the
// GL: their texels, their rows of permuted indices and where they stay bound.
#include "textures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "gl_context.h"

namespace {

constexpr int kSize = 256;
constexpr size_t kBytes = size_t{kSize} * kSize * 4;
using Texel = std::array<int, 4>;

// The twelve cube edges, then rows 5, 7, 2 and 0 again.
const int kCubeEdges[16][3] = {{0, 1, 1},  {0, 1, -1},  {0, -1, 1}, {0, -1, -1}, {1, 0, 1},  {1, 0, -1},
                               {-1, 0, 1}, {-1, 0, -1}, {1, 1, 0},  {1, -1, 0},  {-1, 1, 0}, {-1, -1, 0},
                               {1, 0, -1}, {-1, 0, -1}, {0, -1, 1}, {0, 1, 1}};

int encoded(int component) { return component * 64 + 64; }

// Edge `row` of the four-dimensional cube: component row / 8 is zero and the
// other three run through the sign patterns +++, ++-, ..., --- in order.
std::array<int, 4> hypercubeEdge(int row) {
  int zero = row / 8;
  int signs = row % 8;
  std::array<int, 4> edge{};
  int bit = 2;
  for (int component = 0; component < 4; ++component) {
    if (component == zero) continue;
    edge[component] = ((signs >> bit) & 1) ? -1 : 1;
    --bit;
  }
  return edge;
}

// Both textures made once for the binary, on unit 0 as the program makes
// them, with the GL state seen right after the two calls.
struct NoiseTextures {
  GLuint perm = 0;
  GLuint grad = 0;
  GLint activeUnit = 0;
  GLint boundOnUnit0 = 0;
  GLint boundOnUnit1 = 0;
  GLenum error = GL_NO_ERROR;
  std::vector<uint8_t> permTexels;
  std::vector<uint8_t> gradTexels;

  Texel permTexel(int row, int column) const { return texel(permTexels, row, column); }
  Texel gradTexel(int row, int column) const { return texel(gradTexels, row, column); }

private:
  static Texel texel(const std::vector<uint8_t>& texels, int row, int column) {
    const uint8_t* t = &texels[static_cast<size_t>(row * kSize + column) * 4];
    return {t[0], t[1], t[2], t[3]};
  }
};

// The image of the texture bound on `unit`, rows in upload order.
std::vector<uint8_t> readBack(GLenum unit) {
  std::vector<uint8_t> texels(kBytes);
  glActiveTexture(unit);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glActiveTexture(GL_TEXTURE0);
  return texels;
}

GLint boundOn(GLenum unit) {
  GLint name = 0;
  glActiveTexture(unit);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  return name;
}

const NoiseTextures& noiseTextures() {
  static NoiseTextures textures = [] {
    useGLContext();
    while (glGetError() != GL_NO_ERROR) {
    }
    glActiveTexture(GL_TEXTURE0);
    NoiseTextures made;
    createPermTexture(&made.perm);
    createGradTexture(&made.grad);
    made.error = glGetError();
    glGetIntegerv(GL_ACTIVE_TEXTURE, &made.activeUnit);
    made.boundOnUnit0 = boundOn(GL_TEXTURE0);
    made.boundOnUnit1 = boundOn(GL_TEXTURE1);
    glActiveTexture(GL_TEXTURE0);
    made.permTexels = readBack(GL_TEXTURE0);
    made.gradTexels = readBack(GL_TEXTURE1);
    return made;
  }();
  return textures;
}

// The permutation as row 0 of the index channel shows it: row 0 is the
// permutation shifted left by its first entry, 151 in the reference table.
// A table that starts otherwise comes back scrambled and fails the checks.
std::vector<int> permutationFromRowZero(const NoiseTextures& textures) {
  constexpr int kFirstEntry = 151;
  std::vector<int> perm(kSize);
  for (int index = 0; index < kSize; ++index) {
    perm[index] = textures.permTexel(0, (index - kFirstEntry + kSize) % kSize)[3];
  }
  return perm;
}

TEST(NoiseTextureTexels, KnownTexelsHoldTheirGradientsAndIndex) {
  const NoiseTextures& textures = noiseTextures();
  struct Case {
    int row, column;
    Texel perm, grad;
  };
  const Case cases[] = {
      {0, 0, {64, 128, 0, 17}, {128, 128, 64, 0}},
      {0, 1, {0, 64, 128, 182}, {0, 0, 64, 128}},
      {1, 0, {0, 64, 0, 119}, {0, 0, 64, 0}},
      {255, 255, {0, 64, 0, 253}, {0, 128, 0, 64}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(textures.permTexel(c.row, c.column), c.perm) << "row " << c.row << " column " << c.column;
    EXPECT_EQ(textures.gradTexel(c.row, c.column), c.grad) << "row " << c.row << " column " << c.column;
  }
}

TEST(NoiseTextureTexels, EveryByteIsAnEncodedGradientComponent) {
  const NoiseTextures& textures = noiseTextures();
  auto isComponent = [](int byte) { return byte == 0 || byte == 64 || byte == 128; };
  for (size_t i = 0; i < textures.gradTexels.size(); ++i) {
    ASSERT_TRUE(isComponent(textures.gradTexels[i])) << "gradient byte " << i;
    if (i % 4 != 3) {
      ASSERT_TRUE(isComponent(textures.permTexels[i])) << "permutation byte " << i;
    }
  }
}

TEST(NoiseTextureTexels, GradientsAreTheEdgesPickedByTheIndex) {
  const NoiseTextures& textures = noiseTextures();
  for (int row = 0; row < kSize; ++row) {
    for (int column = 0; column < kSize; ++column) {
      Texel perm = textures.permTexel(row, column);
      int v = perm[3];
      const int* edge3 = kCubeEdges[v % 16];
      ASSERT_EQ(perm, (Texel{encoded(edge3[0]), encoded(edge3[1]), encoded(edge3[2]), v}))
          << "permutation texel at row " << row << " column " << column;
      std::array<int, 4> edge4 = hypercubeEdge(v % 32);
      ASSERT_EQ(textures.gradTexel(row, column),
                (Texel{encoded(edge4[0]), encoded(edge4[1]), encoded(edge4[2]), encoded(edge4[3])}))
          << "gradient texel at row " << row << " column " << column;
    }
  }
}

TEST(NoiseTextureIndices, RowZeroHoldsTheReferencePermutation) {
  std::vector<int> perm = permutationFromRowZero(noiseTextures());
  EXPECT_EQ(std::vector<int>(perm.begin(), perm.begin() + 8), (std::vector<int>{151, 160, 137, 91, 90, 15, 131, 13}));
  EXPECT_EQ(std::vector<int>(perm.end() - 4, perm.end()), (std::vector<int>{215, 61, 156, 180}));
}

TEST(NoiseTextureIndices, EveryRowHoldsEachIndexOnce) {
  const NoiseTextures& textures = noiseTextures();
  for (int row = 0; row < kSize; ++row) {
    std::vector<int> indices(kSize);
    for (int column = 0; column < kSize; ++column) indices[column] = textures.permTexel(row, column)[3];
    std::sort(indices.begin(), indices.end());
    for (int value = 0; value < kSize; ++value) ASSERT_EQ(indices[value], value) << "row " << row;
  }
}

TEST(NoiseTextureIndices, EachRowIsThePermutationShiftedByItsOwnEntry) {
  const NoiseTextures& textures = noiseTextures();
  std::vector<int> perm = permutationFromRowZero(textures);
  for (int row = 0; row < kSize; ++row) {
    for (int column = 0; column < kSize; ++column) {
      ASSERT_EQ(textures.permTexel(row, column)[3], perm[(perm[row] + column) % kSize])
          << "row " << row << " column " << column;
    }
  }
}

TEST(NoiseTextureState, EachStaysBoundOnItsUnitAndUnitZeroIsActive) {
  const NoiseTextures& textures = noiseTextures();
  EXPECT_EQ(textures.error, static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_NE(textures.perm, 0u);
  EXPECT_NE(textures.grad, 0u);
  EXPECT_NE(textures.perm, textures.grad);
  EXPECT_EQ(textures.activeUnit, GL_TEXTURE0);
  EXPECT_EQ(textures.boundOnUnit0, static_cast<GLint>(textures.perm));
  EXPECT_EQ(textures.boundOnUnit1, static_cast<GLint>(textures.grad));
}

TEST(NoiseTextureState, LookupsLandOnWholeTexelsOfA256Square) {
  noiseTextures();
  for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1}) {
    glActiveTexture(unit);
    GLint width = 0;
    GLint height = 0;
    GLint minFilter = 0;
    GLint magFilter = 0;
    GLint wrapS = 0;
    GLint wrapT = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(width, kSize) << "unit " << unit - GL_TEXTURE0;
    EXPECT_EQ(height, kSize) << "unit " << unit - GL_TEXTURE0;
    EXPECT_EQ(minFilter, GL_NEAREST) << "unit " << unit - GL_TEXTURE0;
    EXPECT_EQ(magFilter, GL_NEAREST) << "unit " << unit - GL_TEXTURE0;
    // Indices past the table's end wrap around to its start.
    EXPECT_EQ(wrapS, GL_REPEAT) << "unit " << unit - GL_TEXTURE0;
    EXPECT_EQ(wrapT, GL_REPEAT) << "unit " << unit - GL_TEXTURE0;
  }
}

}  // namespace
