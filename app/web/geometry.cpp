// The scene's geometry as WebGL draws it: it has no immediate mode, so the
// slices come from buffers on the card, and no smooth lines, so the axes
// are the bands that such lines cover. The pair's program is bound for the
// slices, so the page's clock goes to it here.
#include "scene.h"
#include "web/axes.h"
#include "web/page_settings.h"

void drawAxisLines() { drawAxisBands(); }

void drawCloudSlices() {
  setPageUniforms();
  drawSliceBuffers(kSliceCount, kGridSize, kVolumeExtent);
}
