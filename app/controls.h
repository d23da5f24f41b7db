// Mouse rotation of the volume and the frame-rate title.
#ifndef QUORVEL_CONTROLS_H
#define QUORVEL_CONTROLS_H

// Follows the left button: a press starts a drag at the cursor, a held button
// turns the volume, a release ends the drag.
void readMouse();
// Turns the angles by the cursor's motion since the last call, through
// setTurn; called once a frame while the left button is held.
void updateRotation();
// Sets the turn outright, in degrees about the horizontal (angleX) and the
// vertical (angleY) axis, and rebuilds rotationMatrix from it: a drag ends in
// the same turn as this call with the angles that the drag reached.
void setTurn(float degreesX, float degreesY);
// Counts the frame and, about once a second, shows the rate in the title.
void updateFrameRate();

#endif
