// Mouse rotation of the volume and the frame-rate title.
#ifndef QUORVEL_CONTROLS_H
#define QUORVEL_CONTROLS_H

// Follows the left button: a press starts a drag at the cursor, a held button
// turns the volume, a release ends the drag.
void readMouse();
// Turns the angles by the cursor's motion since the last call and rebuilds
// rotationMatrix; called once a frame while the left button is held.
void updateRotation();
// Counts the frame and, about once a second, shows the rate in the title.
void updateFrameRate();

#endif
