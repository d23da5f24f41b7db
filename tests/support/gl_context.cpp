#include "gl_context.h"

#include "window.h"

void useGLContext() { window = useHiddenContext(createWindow); }
