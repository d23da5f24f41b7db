#include "cloud_figures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
// Cloud pixels this close to the sky (chessboard distance) form the rim;
// those at least kCoreDepth away, the core, where a 5 x 5 box lies wholly in
// the cloud and clear of the rim.
constexpr int kRimDepth = 2;
constexpr int kCoreDepth = 4;
// A flake is cloud that differs from the sky by more than kSolidGap levels
// in some channel; smaller pieces than kSmallestFlake are specks.
constexpr int kSolidGap = 40;
constexpr int kSmallestFlake = 4;

bool isSkyOf(const Pixel& p, const Pixel& sky, int tolerance = kSkyTolerance) {
  return std::abs(p.r - sky.r) <= tolerance && std::abs(p.g - sky.g) <= tolerance && std::abs(p.b - sky.b) <= tolerance;
}

// Chessboard distance of every pixel to the nearest sky pixel, the world
// outside the picture counting as sky; 0 on the sky.
std::vector<int> depthInCloud(const Picture& picture, const Pixel& sky) {
  int w = picture.width;
  int h = picture.height;
  std::vector<int> depth(picture.pixels.size());
  auto at = [&](int x, int y) { return (x < 0 || y < 0 || x >= w || y >= h) ? 0 : depth[y * w + x]; };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (isSkyOf(picture.pixels[y * w + x], sky)) continue;
      depth[y * w + x] = 1 + std::min({at(x - 1, y), at(x - 1, y - 1), at(x, y - 1), at(x + 1, y - 1)});
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    for (int x = w - 1; x >= 0; --x) {
      int& d = depth[y * w + x];
      if (d > 0) d = std::min({d, 1 + at(x + 1, y), 1 + at(x + 1, y + 1), 1 + at(x, y + 1), 1 + at(x - 1, y + 1)});
    }
  }
  return depth;
}

bool isSolid(const Pixel& p, const Pixel& sky) { return !isSkyOf(p, sky, kSolidGap); }

// Sizes of the 8-connected pieces of solid cloud, by flood fill.
std::vector<int> pieceSizes(const Picture& picture, const Pixel& sky) {
  int w = picture.width;
  int h = picture.height;
  std::vector<char> seen(picture.pixels.size(), 0);
  std::vector<int> sizes;
  std::vector<int> stack;
  for (size_t start = 0; start < seen.size(); ++start) {
    if (seen[start] || !isSolid(picture.pixels[start], sky)) continue;
    seen[start] = 1;
    stack.push_back(static_cast<int>(start));
    int size = 0;
    while (!stack.empty()) {
      int i = stack.back();
      stack.pop_back();
      ++size;
      int x = i % w;
      int y = i / w;
      for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, h - 1); ++ny) {
        for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, w - 1); ++nx) {
          int n = ny * w + nx;
          if (seen[n] || !isSolid(picture.pixels[n], sky)) continue;
          seen[n] = 1;
          stack.push_back(n);
        }
      }
    }
    sizes.push_back(size);
  }
  return sizes;
}

int detachedPieces(const Picture& picture, const Pixel& sky) {
  std::vector<int> sizes = pieceSizes(picture, sky);
  if (sizes.empty()) return 0;
  std::sort(sizes.begin(), sizes.end());
  sizes.pop_back();
  return static_cast<int>(std::count_if(sizes.begin(), sizes.end(), [](int size) { return size >= kSmallestFlake; }));
}

double mean(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v;
  return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

double boxMean(const std::vector<double>& lumas, int width, int x, int y) {
  double sum = 0;
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) sum += lumas[(y + dy) * width + x + dx];
  }
  return sum / 25.0;
}

// Where the cloud's pixels lie: how many, their centre, their first and last
// rows.
struct Extent {
  int pixels = 0;
  double centreX = 0;
  double centreY = 0;
  int top = 0;
  int bottom = -1;
};

Extent cloudExtent(const std::vector<int>& depth, int width) {
  Extent extent;
  extent.top = static_cast<int>(depth.size()) / width;
  for (size_t i = 0; i < depth.size(); ++i) {
    if (depth[i] == 0) continue;
    int x = static_cast<int>(i) % width;
    int y = static_cast<int>(i) / width;
    extent.centreX += x;
    extent.centreY += y;
    ++extent.pixels;
    extent.top = std::min(extent.top, y);
    extent.bottom = std::max(extent.bottom, y);
  }
  if (extent.pixels > 0) {
    extent.centreX /= extent.pixels;
    extent.centreY /= extent.pixels;
  }
  return extent;
}

}  // namespace

bool isSky(const Pixel& p, int tolerance) { return isSkyOf(p, CloudView().sky, tolerance); }

CloudFigures measureCloud(const Picture& picture, const CloudView& view) {
  CloudFigures figures;
  int w = picture.width;
  std::vector<int> depth = depthInCloud(picture, view.sky);
  Extent extent = cloudExtent(depth, w);
  if (extent.pixels == 0) return figures;
  figures.cover = static_cast<double>(extent.pixels) / static_cast<double>(depth.size());
  std::vector<double> lumas(picture.pixels.size());
  for (size_t i = 0; i < lumas.size(); ++i) lumas[i] = luma(picture.pixels[i]);

  double third = (extent.bottom - extent.top + 1) / 3.0;
  std::vector<double> gaps;
  std::vector<double> lit;
  std::vector<double> unlit;
  std::vector<double> upper;
  std::vector<double> lower;
  std::vector<double> rim;
  std::vector<double> core;
  for (size_t i = 0; i < lumas.size(); ++i) {
    if (depth[i] == 0) continue;
    int x = static_cast<int>(i) % w;
    int y = static_cast<int>(i) / w;
    bool towardLight = (x - extent.centreX) * view.towardLightX + (y - extent.centreY) * view.towardLightY > 0;
    (towardLight ? lit : unlit).push_back(lumas[i]);
    if (y < extent.top + third) upper.push_back(lumas[i]);
    if (y >= extent.bottom + 1 - third) lower.push_back(lumas[i]);
    if (depth[i] <= kRimDepth) rim.push_back(lumas[i]);
    if (depth[i] >= kCoreDepth) {
      core.push_back(lumas[i]);
      gaps.push_back(std::fabs(lumas[i] - boxMean(lumas, w, x, y)));
    }
  }
  figures.grain = median(gaps);
  figures.litSide = mean(lit) - mean(unlit);
  figures.topMinusBase = mean(upper) - mean(lower);
  figures.edgeMinusCore = mean(rim) - mean(core);
  figures.detachedPieces = detachedPieces(picture, view.sky);
  return figures;
}

std::string describe(const CloudFigures& figures) {
  char text[200];
  std::snprintf(text, sizeof text,
                "cover %.3f, grain %.1f, lit side %.1f, top minus base %.1f, edge minus core %.1f, detached pieces %d",
                figures.cover, figures.grain, figures.litSide, figures.topMinusBase, figures.edgeMinusCore,
                figures.detachedPieces);
  return text;
}
