// The canvas's input as the program's GLFW port needs it: a drag held on
// the canvas until it is let go, a drag let go elsewhere ended, and one
// finger on a touch screen dragging as the left mouse button does. Loaded
// by each run's frame after the program's script.

(() => {
  const canvas = document.getElementById('canvas');
  const mouse = (type, at = {}) =>
    canvas.dispatchEvent(
      new MouseEvent(type, {
        bubbles: true,
        cancelable: true,
        button: 0,
        buttons: type === 'mouseup' ? 0 : 1,
        clientX: at.clientX,
        clientY: at.clientY,
        screenX: at.screenX,
        screenY: at.screenY,
      }),
    );

  // The port hears a mouse button's release only over the canvas; the
  // capture keeps a drag's release and motion there when the pointer leaves.
  // The keys go where the focus is, so a press on the canvas takes it.
  canvas.addEventListener('pointerdown', (event) => {
    canvas.focus();
    if (event.pointerType === 'mouse') canvas.setPointerCapture(event.pointerId);
  });

  // A button let go in another tab or window is never heard: losing the
  // focus or being hidden ends the drag, as letting go would.
  // The release comes where the pointer was last seen, so that the turn
  // stays the one the drag made.
  let lastSeen = {};
  canvas.addEventListener('pointermove', (event) => {
    lastSeen = event;
  });
  const release = () => mouse('mouseup', lastSeen);
  window.addEventListener('blur', release);
  document.addEventListener('visibilitychange', () => {
    if (document.hidden) release();
  });

  // One finger drags as the left mouse button does: the port sees mouse
  // events only. A second finger ends the drag and is left to the browser.
  function touchAsMouse(event) {
    const touch = event.changedTouches[0];
    if (event.type === 'touchstart' && event.touches.length === 1) {
      mouse('mousemove', touch);
      mouse('mousedown', touch);
    } else if (event.type === 'touchmove' && event.touches.length === 1) {
      mouse('mousemove', touch);
    } else if (event.type === 'touchend' || event.type === 'touchcancel' || event.touches.length > 1) {
      mouse('mouseup', touch);
      if (event.touches.length > 1) return;
    }
    event.preventDefault();
    event.stopPropagation();
  }
  for (const type of ['touchstart', 'touchmove', 'touchend', 'touchcancel']) {
    canvas.addEventListener(type, touchAsMouse, { capture: true, passive: false });
  }
})();
