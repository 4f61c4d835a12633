// tests/web/measure.mjs SECONDS: figures of the web page in headless Chromium (SwiftShader),
// none of them pass or fail: the start-up to the first presented frame, the frame rate by
// requestAnimationFrame and by the program's presents, and over the whole run the frames the
// sound output found missing and whether what the page played equals the module's rendering.
// Environment as for the tests (scripts/test-web --measure SECONDS).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { serve, launch, read, waitFor, instrument, escape } from './browser.mjs';

const seconds = Number(process.argv[2] || 60);
const server = await serve(process.env.WEB_BUILD);
const browser = await launch();
try {
  const page = await browser.newPage();
  await instrument(page);
  await page.evaluateOnNewDocument(() => {
    // Presents of the program: blits into the canvas.
    window.__presents = 0;
    const blit = WebGL2RenderingContext.prototype.blitFramebuffer;
    WebGL2RenderingContext.prototype.blitFramebuffer = function (...args) {
      if (this.getParameter(this.DRAW_FRAMEBUFFER_BINDING) === null) ++window.__presents;
      return blit.apply(this, args);
    };
  });
  await page.goto(server.url);
  await waitFor(page, `document.body.dataset.state === 'running' && window.__firstPresentMs`, 60000);
  console.log(`start-up: first frame presented ${(await read(page, 'window.__firstPresentMs')).toFixed(0)}` +
              ' ms after navigation (800 ms of it the fade-in)');
  await new Promise((r) => setTimeout(r, 3000));
  const rate = await read(page, `new Promise((resolve) => {
    let n = 0; const p0 = window.__presents, t0 = performance.now();
    const tick = () => { ++n; if (performance.now() - t0 < 10000) requestAnimationFrame(tick);
      else { const s = (performance.now() - t0) / 1000;
             resolve({raf: n / s, presents: (window.__presents - p0) / s}); } };
    requestAnimationFrame(tick); })`);
  console.log(`frame rate over 10 s: ${rate.raf.toFixed(1)} animation frames, ` +
              `${rate.presents.toFixed(1)} presents per second`);
  await new Promise((r) => setTimeout(r, Math.max(0, seconds * 1000 - 13000)));
  const stats = await read(page, 'Module.introAudio');
  const recorded = Buffer.from(await read(page, 'window.__audioTapBase64()'), 'base64');
  await escape(page);
  const dir = mkdtempSync(path.join(tmpdir(), 'web-measure-'));
  const wav = path.join(dir, 'reference.wav');
  execFileSync(process.env.MODRENDER, ['--seconds', String(seconds + 5), process.env.INTRO_MODULE, wav]);
  const reference = readFileSync(wav).subarray(44);
  const first = (b) => { for (let i = 0; i + 3 < b.length; i += 4) if (b.readUInt32LE(i)) return i; return -1; };
  const a = first(recorded), b = first(reference);
  const n = Math.min(recorded.length - a, reference.length - b);
  let same = 0;
  while (same < n && recorded[a + same] === reference[b + same]) ++same;
  console.log(`sound over ${seconds} s: ${stats.played} frames played, ${stats.underrun} missing ` +
              `(gaps); ${Math.floor(same / 4)} of ${Math.floor(n / 4)} recorded frames equal the ` +
              `module's rendering from the first sound on`);
} finally {
  await browser.close();
  server.stop();
}
