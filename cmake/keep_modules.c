/* Linked into every executable of a sanitizer build. The GL driver and the
 * libraries that GLFW opens at run time are unloaded again when GLFW ends;
 * LeakSanitizer, which looks at the process only at exit, then can neither
 * scan their globals (so what they still hold reads as leaked) nor name their
 * frames (so no suppression can match them). Keeping every module mapped
 * until exit lets it see them as they were. */
#include <dlfcn.h>

int dlclose(void* handle) {
  (void)handle;
  return 0;
}
