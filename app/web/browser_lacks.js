// What the browser lacks for WebGL or for the shipped pair, in words: { all }
// where it offers no WebGL, { shipped } where the shipped pair cannot run,
// {} otherwise. The probe's context is given back at once: browsers keep
// only so many.
export function browserLacks() {
  const gl = document.createElement('canvas').getContext('webgl');
  if (!gl) return { all: 'This browser offers no WebGL (or has it turned off), and Quorvel draws with it.' };
  const lacks = [];
  if (!gl.getExtension('EXT_frag_depth')) lacks.push('the EXT_frag_depth extension');
  if (gl.getParameter(gl.MAX_VERTEX_TEXTURE_IMAGE_UNITS) < 1) lacks.push('a texture unit in the vertex stage');
  if (gl.getShaderPrecisionFormat(gl.FRAGMENT_SHADER, gl.HIGH_FLOAT).precision === 0) {
    lacks.push('high precision in the fragment stage');
  }
  gl.getExtension('WEBGL_lose_context')?.loseContext();
  if (lacks.length === 0) return {};
  return {
    shipped:
      `This browser's WebGL lacks ${lacks.join(' and ')}, which the shipped shader pair needs; ` +
      'a pair of your own that does without may still run.',
  };
}
