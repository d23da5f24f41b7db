#include "web/axes.h"

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Axis {
  GLfloat colour[3];
  GLfloat from[3];
  GLfloat to[3];
};

const Axis kAxes[] = {{{0, 1, 0}, {0, 100, 0}, {0, -100, 0}},
                      {{1, 0, 0}, {-100, 0, 0}, {100, 0, 0}},
                      {{0, 0, 1}, {0, 0, -100}, {0, 0, 100}}};

// A point of an axis in clip coordinates, x, y, z and w.
using ClipPoint = std::array<float, 4>;

// The frame's way from the volume's coordinates to the window's.
struct Projection {
  GLfloat modelview[16] = {};
  GLfloat projection[16] = {};
  GLint viewport[4] = {};

  Projection() {
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
  }
  ClipPoint clip(const GLfloat* p) const {
    ClipPoint eye{};
    ClipPoint clipped{};
    for (int row = 0; row < 4; ++row) {
      eye[row] = modelview[row] * p[0] + modelview[4 + row] * p[1] + modelview[8 + row] * p[2] + modelview[12 + row];
    }
    for (int row = 0; row < 4; ++row) {
      clipped[row] = projection[row] * eye[0] + projection[4 + row] * eye[1] + projection[8 + row] * eye[2] +
                     projection[12 + row] * eye[3];
    }
    return clipped;
  }
};

// Cuts the segment to the side of the plane where distance(p) >= 0, as the
// GL's clipper does; false when nothing is left.
template <typename Distance>
bool clipTo(ClipPoint* a, ClipPoint* b, Distance distance) {
  float da = distance(*a);
  float db = distance(*b);
  if (da < 0 && db < 0) return false;
  if (da < 0 || db < 0) {
    ClipPoint* outside = da < 0 ? a : b;
    float t = da / (da - db);
    for (int i = 0; i < 4; ++i) (*outside)[i] = (*a)[i] + t * ((*b)[i] - (*a)[i]);
  }
  return true;
}

struct AxisVertex {
  ClipPoint position;
  // Across the line from -1 to 1, half the width, along it, half the length.
  std::array<float, 4> band;
};

// The band that Mesa draws for a smooth line one pixel wide: the line
// lengthened by half a pixel at each end and widened by a pixel to each
// side, in window pixels, each corner keeping the w of its end; the
// fragment's coverage is the product of how far it lies inside the band
// across and along, in pixels, up to 1, interpolated in perspective over
// the same two triangles as Mesa's, so a line fades toward an end near the
// eye as it does there. Drawn through the desktop's GL, band and smooth
// line agree within a level.
std::array<AxisVertex, 6> smoothLineBand(const GLint* viewport, const ClipPoint& a, const ClipPoint& b) {
  auto window = [viewport](const ClipPoint& p, int i) {
    return static_cast<float>(viewport[i]) + (p[i] / p[3] + 1.0f) * 0.5f * static_cast<float>(viewport[2 + i]);
  };
  float dx = window(b, 0) - window(a, 0);
  float dy = window(b, 1) - window(a, 1);
  float angle = std::atan2(dy, dx);
  float along = std::cos(angle);
  float up = std::sin(angle);
  float halfLength = 0.5f * std::sqrt(dx * dx + dy * dy);
  // A line shorter than a pixel fades with its length.
  halfLength = halfLength < 0.5f ? 2.0f * halfLength : halfLength + 0.5f;
  auto corner = [&](const ClipPoint& end, float lengthwise, float sideways) {
    ClipPoint p = end;
    for (int i = 0; i < 2; ++i) {
      float offset = i == 0 ? lengthwise * 0.5f * along - sideways * up : lengthwise * 0.5f * up + sideways * along;
      p[i] = ((window(end, i) + offset - static_cast<float>(viewport[i])) / static_cast<float>(viewport[2 + i]) * 2.0f -
              1.0f) *
             end[3];
    }
    return AxisVertex{p, {-sideways, 1.0f, lengthwise * halfLength, halfLength}};
  };
  AxisVertex v0 = corner(a, -1, 1);
  AxisVertex v1 = corner(a, -1, -1);
  AxisVertex v2 = corner(b, 1, 1);
  AxisVertex v3 = corner(b, 1, -1);
  return {v0, v1, v3, v0, v3, v2};
}

const char* const kBandVertexShader =
    "attribute vec4 position;\n"
    "attribute vec4 band;\n"
    "varying vec4 inside;\n"
    "void main() { inside = band; gl_Position = position; }\n";
// Without GL_ES the desktop's GL compiles it too, for a test against its
// smooth lines.
const char* const kBandFragmentShader =
    "#ifdef GL_ES\n"
    "precision highp float;\n"
    "#endif\n"
    "uniform vec3 colour;\n"
    "varying vec4 inside;\n"
    "void main() {\n"
    "  float coverage = clamp(inside.y - abs(inside.x), 0.0, 1.0) * clamp(inside.w - abs(inside.z), 0.0, 1.0);\n"
    "  gl_FragColor = vec4(colour, coverage);\n"
    "}\n";

// Said in the log, with the GL's own words, when the bands' program cannot
// be made: a drag then shows no axes, and nothing else changes.
const char* const kAxesNotBuilt = "The axes are not drawn: their band shaders do not build.";

void reportAxesNotBuilt(const std::string& glLog) { std::cout << kAxesNotBuilt << '\n' << glLog << std::endl; }

// A stage's or a program's info log, through the GL's two calls for one.
template <typename GetParameter, typename GetLog>
std::string infoLog(GLuint object, GetParameter getParameter, GetLog getLog) {
  GLint length = 0;
  getParameter(object, GL_INFO_LOG_LENGTH, &length);
  std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
  GLsizei written = 0;
  getLog(object, length, &written, log.data());
  log.resize(static_cast<size_t>(written));
  return log;
}

// A compiled stage, or 0 once its failure is said.
GLuint compiledStage(GLenum stage, const char* source) {
  GLuint shader = glCreateShader(stage);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled) return shader;
  reportAxesNotBuilt(infoLog(shader, glGetShaderiv, glGetShaderInfoLog));
  glDeleteShader(shader);
  return 0;
}

GLuint linkedProgram(GLuint vertex, GLuint fragment) {
  GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glBindAttribLocation(program, 0, "position");
  glBindAttribLocation(program, 1, "band");
  glLinkProgram(program);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked) return program;
  reportAxesNotBuilt(infoLog(program, glGetProgramiv, glGetProgramInfoLog));
  glDeleteProgram(program);
  return 0;
}

// Made on first use, outside the shader library, whose log is the
// program's: its build is no part of what the log reports unless it fails.
// 0 when it cannot be made; it is tried once.
GLuint bandProgram() {
  static bool tried = false;
  static GLuint program = 0;
  if (tried) return program;
  tried = true;
  GLuint vertex = compiledStage(GL_VERTEX_SHADER, kBandVertexShader);
  GLuint fragment = vertex ? compiledStage(GL_FRAGMENT_SHADER, kBandFragmentShader) : 0;
  if (fragment) program = linkedProgram(vertex, fragment);
  // A built program keeps its stages: the GL emulation reads a bound
  // program's stages.
  if (!program) {
    glDeleteShader(vertex);
    glDeleteShader(fragment);
  }
  return program;
}

}  // namespace

// WebGL draws no smooth lines, and its software rasteriser drops a line
// with an end behind the eye, where the desktop GL clips it. So each axis
// is clipped to the view here, then drawn as the band of a smooth line.
void drawAxisBands() {
  GLuint program = bandProgram();
  if (!program) return;
  Projection view;
  std::vector<AxisVertex> vertices;
  std::vector<const GLfloat*> colours;
  for (const Axis& axis : kAxes) {
    ClipPoint a = view.clip(axis.from);
    ClipPoint b = view.clip(axis.to);
    bool inside = true;
    for (int i = 0; i < 3 && inside; ++i) {
      inside = clipTo(&a, &b, [i](const ClipPoint& p) { return p[3] + p[i]; }) &&
               clipTo(&a, &b, [i](const ClipPoint& p) { return p[3] - p[i]; });
    }
    if (!inside) continue;
    std::array<AxisVertex, 6> band = smoothLineBand(view.viewport, a, b);
    vertices.insert(vertices.end(), band.begin(), band.end());
    colours.push_back(axis.colour);
  }
  static GLuint buffer = 0;
  if (!buffer) glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(AxisVertex)), vertices.data(),
               GL_STREAM_DRAW);
  glUseProgram(program);
  glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(AxisVertex), nullptr);
  // GL takes an offset into the bound buffer as a pointer.
  const auto* bandOffset =
      reinterpret_cast<const void*>(offsetof(AxisVertex, band));  // NOLINT(performance-no-int-to-ptr)
  glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(AxisVertex), bandOffset);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  // The band's triangles face either way, and lines know no culling.
  glDisable(GL_CULL_FACE);
  GLint colourLocation = glGetUniformLocation(program, "colour");
  for (size_t line = 0; line < colours.size(); ++line) {
    glUniform3fv(colourLocation, 1, colours[line]);
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(line * 6), 6);
  }
  glEnable(GL_CULL_FACE);
  glDisableVertexAttribArray(0);
  glDisableVertexAttribArray(1);
  glUseProgram(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}
