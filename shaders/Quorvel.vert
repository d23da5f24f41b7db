#version 120
varying vec3 volumePoint;
void main() {
  volumePoint = gl_Vertex.xyz;
  gl_Position = ftransform();
}
