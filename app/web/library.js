// What the program calls and Emscripten's GL, GLU and GLFW leave out or get
// wrong, for the browser build (--js-library).
mergeInto(LibraryManager.library, {
  // The ARB shader-object calls are the GL 2.0 ones under older names. They
  // call through when called: the GL emulation replaces glCreateShader and
  // glShaderSource as it starts, to note each stage's type and to rewrite the
  // fixed-function names in its source.
  glCreateShaderObjectARB__deps: ['glCreateShader'],
  glCreateShaderObjectARB: function (type) {
    return _glCreateShader(type);
  },
  // The emulation declares what a stage uses of the fixed-function state in
  // lines put before the stage's own: the build report takes their count,
  // by stage type, off the line numbers of the compiler's messages.
  $linesAhead: {},
  glShaderSourceARB__deps: ['glShaderSource', '$linesAhead'],
  glShaderSourceARB: function (shader, count, string, length) {
    _glShaderSource(shader, count, string, length);
    var given = GL.getSource(shader, count, string, length).split('\n').length;
    var sent = GLctx.getShaderSource(GL.shaders[shader]).split('\n').length;
    linesAhead[GL.shaderInfos[shader].type] = sent - given;
  },
  quorvel_lines_ahead__deps: ['$linesAhead'],
  quorvel_lines_ahead: function (type) {
    return linesAhead[type] || 0;
  },
  glCompileShaderARB__deps: ['glCompileShader'],
  glCompileShaderARB: function (shader) {
    _glCompileShader(shader);
  },

  // GLU's texts for the GL's error codes, made once each; null for any other
  // code, as GLU gives.
  $gluErrorTexts: {},
  gluErrorString__deps: ['$gluErrorTexts', '$stringToNewUTF8'],
  gluErrorString: function (code) {
    var texts = {
      0x0000: 'no error',
      0x0500: 'invalid enumerant',
      0x0501: 'invalid value',
      0x0502: 'invalid operation',
      0x0503: 'stack overflow',
      0x0504: 'stack underflow',
      0x0505: 'out of memory',
      0x0506: 'invalid framebuffer operation',
      0x8031: 'table too large',
    };
    if (!(code in texts)) return 0;
    if (!(code in gluErrorTexts)) gluErrorTexts[code] = stringToNewUTF8(texts[code]);
    return gluErrorTexts[code];
  },

  // The emulation's own hands the current matrix to the matrix library as the
  // eye, and the view is lost. This one multiplies the current matrix by the
  // view, as GLU does.
  gluLookAt__deps: ['$GLImmediateSetup'],
  gluLookAt: function (eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ) {
    var mat4 = GLImmediate.matrixLib.mat4;
    var view = mat4.lookAt([eyeX, eyeY, eyeZ], [centreX, centreY, centreZ], [upX, upY, upZ]);
    mat4.multiply(GLImmediate.matrix[GLImmediate.currentMatrix], view);
    GLImmediate.matricesModified = true;
    GLImmediate.matrixVersion[GLImmediate.currentMatrix] =
      (GLImmediate.matrixVersion[GLImmediate.currentMatrix] + 1) | 0;
  },

  // WebGL's getError makes the page wait until the renderer has carried out
  // everything asked of it so far, and the shader library asks after every
  // uniform it sets, 40 times a frame: each slice would be drawn before the
  // next one is even sent. So the context is asked at the first check after
  // each buffer swap only, and an error that a frame's drawing raises is
  // written at that check, the next frame's first. Errors that the GL layer
  // finds by itself are given at once, as the desktop gives every error.
  $glErrorsAsked: { afterSwap: true },
  glGetError__deps: ['$glErrorsAsked'],
  glGetError: function () {
    // A lost context answers every call with an error; the page tells of
    // the loss itself and ends the run.
    if (GLctx.isContextLost()) return 0;
    var error = GL.lastError;
    GL.lastError = 0;
    if (!error && glErrorsAsked.afterSwap) {
      glErrorsAsked.afterSwap = false;
      error = GLctx.getError();
    }
    return error;
  },
  quorvel_frame_shown__deps: ['$glErrorsAsked'],
  quorvel_frame_shown: function () {
    glErrorsAsked.afterSwap = true;
    if (Module['onFrame']) Module['onFrame']();
  },

  quorvel_close_requested: function () {
    return Module['closeRequested'] ? 1 : 0;
  },
});
