# Emscripten's GL over WebGL, with its emulation of the fixed-function
# pipeline (immediate mode, the matrix stacks, gluPerspective), which the
# program's axes and camera use; its GLU comes with it.
if(NOT TARGET OpenGL::GL)
  add_library(OpenGL::GL INTERFACE IMPORTED)
  target_link_options(OpenGL::GL INTERFACE -sLEGACY_GL_EMULATION)
  add_library(OpenGL::GLU INTERFACE IMPORTED)
endif()
set(OpenGL_FOUND TRUE)
set(OPENGL_FOUND TRUE)
