// The two noise lookup textures read by the cloud shaders.
#ifndef QUORVEL_TEXTURES_H
#define QUORVEL_TEXTURES_H

#include <GL/glew.h>

// 256 x 256 RGBA: 3-component gradients and the permuted index, built on
// the active texture unit and left bound there.
void createPermTexture(GLuint* textureId);
// 256 x 256 RGBA: 4-component gradients, built and left bound on unit 1;
// unit 0 is active afterwards. False, with a log line and nothing made, on a
// GL that cannot switch texture units.
bool createGradTexture(GLuint* textureId);

#endif
