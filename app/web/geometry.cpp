// The scene's geometry as WebGL draws it: it has no immediate mode, so the
// slices come from buffers on the card, and no smooth lines, so the axes
// are the bands that such lines cover.
#include "scene.h"
#include "web/axes.h"

void drawAxisLines() { drawAxisBands(); }

void drawCloudSlices() { drawSliceBuffers(kSliceCount, kGridSize, kVolumeExtent); }
