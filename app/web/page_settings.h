// What the page sets in the running program between its frames, through the
// module's functions: the turn, the sun, the sky and the pair's clock.
#ifndef QUORVEL_WEB_PAGE_SETTINGS_H
#define QUORVEL_WEB_PAGE_SETTINGS_H

// Gives a pair that declares `uniform float time` the page's seconds, once a
// frame, with the pair's program bound; a pair without it gets no GL call.
void setPageUniforms();
// A build of the pair was tried: the next frame looks for `time` in whichever
// program then draws.
void notePairBuilt();

#endif
