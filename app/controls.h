// Mouse rotation of the volume and the frame-rate title.
#ifndef QUORVEL_CONTROLS_H
#define QUORVEL_CONTROLS_H

// Turns the angles by the cursor's motion since the last call and rebuilds
// rotationMatrix; called once a frame while the left button is held.
void updateRotation();
// Counts the frame and, about once a second, shows the rate in the title.
void updateFrameRate();

#endif
