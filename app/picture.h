// The window's picture as a PNG file, for the desktop's picture key.
#ifndef QUORVEL_PICTURE_H
#define QUORVEL_PICTURE_H

// Saves the frame that the back buffer holds, at the framebuffer's size, as
// quorvel-N.png in the working directory, N the first number that names no
// file there, and says in one line on the console which file it became or
// why none could be written.
void savePicture();

#endif
