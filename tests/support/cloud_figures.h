// Figures of how a picture of a cloud reads to a viewer, in 8-bit luma
// steps: grainy or smooth, lit from the upper left or flat, a darker base, a
// bright or a dark rim.
#ifndef QUORVEL_TEST_CLOUD_FIGURES_H
#define QUORVEL_TEST_CLOUD_FIGURES_H

#include <string>

#include "picture.h"

// Channel gaps from the clear colour up to this are rounding, not cloud.
constexpr int kSkyTolerance = 12;

struct CloudFigures {
  // Share of the picture that differs from the sky.
  double cover = 0;
  // Median gap between a pixel and the mean of its 5 x 5 box, over the
  // cloud's core: pixel-scale static.
  double grain = 0;
  // Mean of the half of the cloud toward the light (the upper left, for the
  // fixed one) minus the mean of the other half; the halves meet in a line
  // through the cloud's centre, across the light's direction.
  double litSide = 0;
  // Mean of the top third of the cloud's rows minus that of the bottom third.
  double topMinusBase = 0;
  // Mean of the cloud's outer 2 pixels minus that of its core: a silver
  // lining lifts it, a rim of thin grey vapour lowers it.
  double edgeMinusCore = 0;
  // Flakes floating free of the body: 8-connected pieces of 4 pixels or
  // more other than the largest, where a pixel is cloud when a channel
  // differs from the sky by more than 40 levels (a faint haze joins
  // nothing).
  int detachedPieces = 0;
};

// How the picture was drawn: the clear colour behind the cloud, and where
// the light lies in the picture, as a direction from the cloud's centre
// (x to the right, y down): the fixed light is up and to the left.
struct CloudView {
  Pixel sky{51, 51, 204};
  double towardLightX = -1;
  double towardLightY = -1;
};

// The clear colour (0.2, 0.2, 0.8), give or take `tolerance` levels in every
// channel.
bool isSky(const Pixel& p, int tolerance = kSkyTolerance);

CloudFigures measureCloud(const Picture& picture, const CloudView& view = {});
std::string describe(const CloudFigures& figures);

#endif
