// web/page.js: starts the intro in the page and tells whoever watches how it goes.
//
// document.body.dataset.state is "loading", then "waiting" while the browser wants a click or
// a key before it plays sound, then "running", and "ended:CODE" with the program's exit code.
// The page checks what the program needs before starting it:
//   - memory shared with workers (the page must be served with two headers): without it the
//     page says which headers are missing, the program does not start and
//     document.body.dataset.error is "no-shared-memory";
//   - WebGL 2: without it the page shows the error text instead of the canvas and the program
//     runs on (its device cannot be made); Escape still ends it;
//   - Web Audio: without it the program runs silent.
'use strict';

(function () {
  const body = document.body;
  const canvas = document.getElementById('intro');
  const message = document.getElementById('message');
  const setState = (s) => { body.dataset.state = s; };
  const say = (text) => { message.textContent = text; message.hidden = false; };

  // What the server sent for the two headers that make the page cross-origin isolated.
  async function missingHeaders() {
    const wanted = [['Cross-Origin-Opener-Policy', 'same-origin'],
                    ['Cross-Origin-Embedder-Policy', 'require-corp']];
    let got = null;
    try {
      got = (await fetch(location.href, {method: 'HEAD', cache: 'no-store'})).headers;
    } catch (e) { /* unknown: name both */ }
    return wanted.filter(([name, value]) => !got || (got.get(name) || '').trim() !== value)
                 .map(([name, value]) => name + ': ' + value);
  }

  function hasWebGl2() {
    try {
      return !!document.createElement('canvas').getContext('webgl2');
    } catch (e) {
      return false;
    }
  }

  // Resolves once the context runs; shows the click line while the browser holds it back.
  function unlockAudio(context) {
    if (context.state === 'running') return Promise.resolve();
    return new Promise((resolve) => {
      let waiting = false;
      const started = () => {
        if (context.state !== 'running') return;
        window.removeEventListener('pointerdown', gesture, true);
        window.removeEventListener('keydown', gesture, true);
        message.hidden = true;
        resolve();
      };
      const gesture = () => { context.resume().then(started); };
      window.addEventListener('pointerdown', gesture, true);
      window.addEventListener('keydown', gesture, true);
      context.onstatechange = started;
      context.resume().then(started);
      // A browser that plays at once has resumed by now; the others want a gesture.
      setTimeout(() => {
        if (context.state === 'running' || waiting) return;
        waiting = true;
        setState('waiting');
        say('click to start');
      }, 150);
    });
  }

  async function start() {
    if (!self.crossOriginIsolated || typeof SharedArrayBuffer === 'undefined') {
      const missing = await missingHeaders();
      canvas.hidden = true;
      say('This page must be served with the headers\n' +
          (missing.length ? missing : ['Cross-Origin-Opener-Policy: same-origin',
                                       'Cross-Origin-Embedder-Policy: require-corp']).join('\n') +
          '\n(missing: ' + (missing.length ? missing.map((h) => h.split(':')[0]).join(', ')
                                           : 'the page is not cross-origin isolated') + ')');
      body.dataset.error = 'no-shared-memory';
      return;
    }
    if (!hasWebGl2()) {
      canvas.hidden = true;
      say('WebGL 2 is not available in this browser: the intro cannot draw.');
    }
    let audioContext = null;
    try {
      audioContext = new AudioContext({sampleRate: 44100, latencyHint: 'interactive'});
    } catch (e) { /* no Web Audio: silent */ }
    if (audioContext) await unlockAudio(audioContext);

    self.Module = {
      canvas: canvas,
      audioContext: audioContext,
      print: (text) => console.log(text),
      printErr: (text) => console.warn(text),
      onRuntimeInitialized: () => setState('running'),
      onExit: (code) => {
        setState('ended:' + code);
        if (audioContext) audioContext.close();
      },
    };
    canvas.focus();
    const script = document.createElement('script');
    script.src = 'intro.js';
    script.onerror = () => { say('intro.js could not be loaded'); body.dataset.error = 'no-program'; };
    document.body.appendChild(script);
  }

  start();
})();
