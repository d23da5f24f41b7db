#version 120
// The first cloud pair that looked right, kept as the baseline of the
// benchmark (--pair bench/first-pair): all the work is per fragment.
uniform float zPosition;
varying vec3 slicePoint;
void main() {
  slicePoint = vec3(gl_Vertex.xy, zPosition);
  gl_Position = ftransform();
}
