/* Linked into a helper program, this stands in for the GL's function lookup
 * that the extension loader uses, and hides the one function named in
 * GLSL_HIDDEN_GL_FUNCTION: a GL that names an extension but lacks one of
 * its functions. Every other name goes to the GL's lookup under its other
 * name, which the loader does not use. */
#include <GL/glx.h>
#include <stdlib.h>
#include <string.h>

__GLXextFuncPtr glXGetProcAddressARB(const GLubyte* name) {
  const char* hidden = getenv("GLSL_HIDDEN_GL_FUNCTION");
  if (hidden && strcmp(hidden, (const char*)name) == 0) return NULL;
  return glXGetProcAddress(name);
}
