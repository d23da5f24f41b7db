// Camera, orientation axes and the sliced cloud volume.
#ifndef QUORVEL_SCENE_H
#define QUORVEL_SCENE_H

// The uniforms that the scene sets on the cloud program, by the names that a
// pair declares them with.
constexpr char kUseNoise[] = "useNoise";
constexpr char kPermTexture[] = "permTexture";
constexpr char kGradTexture[] = "gradTexture";
constexpr char kRotCol0[] = "rotCol0";
constexpr char kRotCol1[] = "rotCol1";
constexpr char kRotCol2[] = "rotCol2";
constexpr char kRotCol3[] = "rotCol3";
constexpr char kLightPos[] = "lightPos";
constexpr char kZPosition[] = "zPosition";
// All of them in the order of the sets: the others once a frame, then
// kZPosition once a slice.
constexpr const char* kSceneUniforms[] = {kUseNoise, kPermTexture, kGradTexture, kRotCol0,  kRotCol1,
                                          kRotCol2,  kRotCol3,     kLightPos,    kZPosition};
// The uniform that a pair declares to be given the page's clock, in
// seconds. The browser's platform layer sets it, never the scene: a pair
// without it is told nothing, and the desktop gives no clock.
constexpr char kTime[] = "time";

// The volume that drawScene slices: kSliceCount slices of kGridSize by
// kGridSize points, spread evenly over a cube of side kVolumeExtent. The
// pair's stages assume the same steps, which tests/pair_constants_test.cpp
// compares.
constexpr int kSliceCount = 32;
constexpr int kGridSize = 32;
constexpr float kVolumeExtent = 3.0f;

// The fixed GL state the scene is drawn with: blending back to front over a
// the sky (skyColour), depth test and back-face culling.
void initGLState();
// Viewport from the window size, 45-degree perspective, eye at (0, 0, 3).
void setupCamera();
// The platform's way with the scene's geometry (geometry.cpp, or
// web/geometry.cpp in the browser): the three axes, green y, red x and blue
// z, each from -100 to 100, with the current matrices, as smooth lines; and
// the kSliceCount slices of the volume with the cloud program bound.
void drawAxisLines();
void drawCloudSlices();
// Axes while dragging, then the slices through the cloud shader program.
void drawScene();
// sliceCount camera-facing slices of (gridSize - 1)^2 quads, back to front,
// through a cube of the given extent centred on the origin. Both counts must
// be at least 2.
void drawSlices(int sliceCount, int gridSize, float extent);
// The same slices, vertices, order and uniforms from buffers on the card: the
// grid is uploaded once and each slice is one indexed draw, split into the
// triangles that the desktop GL makes of the quad strips. WebGL has no
// immediate mode, and its emulation uploads and draws each strip anew.
void drawSliceBuffers(int sliceCount, int gridSize, float extent);

#endif
