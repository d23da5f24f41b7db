#include "textures.h"

#include <cstdlib>
#include <iostream>

namespace {

constexpr int kSize = 256;
constexpr size_t kStagingBytes = size_t{kSize} * kSize * 4;

// Perlin's reference permutation from his improved noise.
const int perm[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,  69,  142,
    8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203,
    117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165,
    71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,
    55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,
    18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250,
    124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189,
    28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114,
    67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

// The twelve edge directions of a cube, then rows 5, 7, 2 and 0 again so
// that an index modulo 16 picks a direction.
const int grad3[16][3] = {{0, 1, 1},  {0, 1, -1},  {0, -1, 1}, {0, -1, -1}, {1, 0, 1},  {1, 0, -1},
                          {-1, 0, 1}, {-1, 0, -1}, {1, 1, 0},  {1, -1, 0},  {-1, 1, 0}, {-1, -1, 0},
                          {1, 0, -1}, {-1, 0, -1}, {0, -1, 1}, {0, 1, 1}};

// The 32 edge directions of a four-dimensional cube.
const int grad4[32][4] = {
    {0, 1, 1, 1},    {0, 1, 1, -1},   {0, 1, -1, 1},   {0, 1, -1, -1}, {0, -1, 1, 1},  {0, -1, 1, -1}, {0, -1, -1, 1},
    {0, -1, -1, -1}, {1, 0, 1, 1},    {1, 0, 1, -1},   {1, 0, -1, 1},  {1, 0, -1, -1}, {-1, 0, 1, 1},  {-1, 0, 1, -1},
    {-1, 0, -1, 1},  {-1, 0, -1, -1}, {1, 1, 0, 1},    {1, 1, 0, -1},  {1, -1, 0, 1},  {1, -1, 0, -1}, {-1, 1, 0, 1},
    {-1, 1, 0, -1},  {-1, -1, 0, 1},  {-1, -1, 0, -1}, {1, 1, 1, 0},   {1, 1, -1, 0},  {1, -1, 1, 0},  {1, -1, -1, 0},
    {-1, 1, 1, 0},   {-1, 1, -1, 0},  {-1, -1, 1, 0},  {-1, -1, -1, 0}};

// A gradient component in {-1, 0, 1} as a byte the shaders decode.
unsigned char encode(int component) { return static_cast<unsigned char>(component * 64 + 64); }

// The permuted index of a texel: row i is the permutation shifted by perm[i].
int permuted(int row, int column) { return perm[(perm[row] + column) % 256]; }

void fillPermTexels(unsigned char* texel) {
  for (int row = 0; row < kSize; ++row) {
    for (int column = 0; column < kSize; ++column, texel += 4) {
      int v = permuted(row, column);
      const int* g = grad3[v % 16];
      texel[0] = encode(g[0]);
      texel[1] = encode(g[1]);
      texel[2] = encode(g[2]);
      texel[3] = static_cast<unsigned char>(v);
    }
  }
}

void fillGradTexels(unsigned char* texel) {
  for (int row = 0; row < kSize; ++row) {
    for (int column = 0; column < kSize; ++column, texel += 4) {
      const int* g = grad4[permuted(row, column) % 32];
      for (int component = 0; component < 4; ++component) texel[component] = encode(g[component]);
    }
  }
}

// Creates a texture on the active unit, leaves it bound and uploads the
// texels that fill() writes. Lookups must land on exact texels: no filtering.
void createLookupTexture(GLuint* textureId, void (*fill)(unsigned char*), const char* name) {
  glGenTextures(1, textureId);
  glBindTexture(GL_TEXTURE_2D, *textureId);
  auto* texels = static_cast<unsigned char*>(std::malloc(kStagingBytes));
  if (!texels) {
    std::cout << "Error: no memory to build the " << name << " texture" << std::endl;
    return;
  }
  fill(texels);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSize, kSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  std::free(texels);
}

}  // namespace

void createPermTexture(GLuint* textureId) { createLookupTexture(textureId, fillPermTexels, "permutation"); }

bool createGradTexture(GLuint* textureId) {
  // The unit switch is core from GL 1.3 on; an older GL may offer it through
  // GL_ARB_multitexture, whose function the loader fills instead.
  PFNGLACTIVETEXTUREPROC activeTexture = glActiveTexture ? glActiveTexture : glActiveTextureARB;
  if (!activeTexture) {
    std::cout << "Error: this GL cannot switch texture units (no glActiveTexture or glActiveTextureARB), "
                 "and the clouds need two"
              << std::endl;
    return false;
  }
  activeTexture(GL_TEXTURE1);
  createLookupTexture(textureId, fillGradTexels, "gradient");
  activeTexture(GL_TEXTURE0);
  return true;
}
