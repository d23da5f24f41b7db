// The orientation axes as WebGL draws them: the band of a smooth line.
#ifndef QUORVEL_WEB_AXES_H
#define QUORVEL_WEB_AXES_H

// The three axes, green y, red x and blue z, each from -100 to 100, with the
// current matrices, as the desktop's smooth lines look.
void drawAxisBands();

#endif
