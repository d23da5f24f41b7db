# Emscripten's GLEW is a header of its own over its GL: nothing to link.
if(NOT TARGET GLEW::GLEW)
  add_library(GLEW::GLEW INTERFACE IMPORTED)
endif()
set(GLEW_FOUND TRUE)
