// tests/web/browser.mjs: what the web tests and `make run-web` share: the page's server,
// headless Chromium on SwiftShader, reading the page without a user gesture, and a recorder
// of everything the page plays.
import { spawn } from 'node:child_process';
import { createInterface } from 'node:readline';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import puppeteer from 'puppeteer-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const SCREEN = {width: 1280, height: 1024};

// Serves "dir" (scripts/serve-web.py); resolves to {url, stop()}.
export function serve(dir, {isolation = true} = {}) {
  const args = [path.join(root, 'scripts/serve-web.py'), dir];
  if (!isolation) args.push('--no-isolation');
  const child = spawn('python3', args, {stdio: ['ignore', 'pipe', 'inherit']});
  return new Promise((resolve, reject) => {
    child.on('error', reject);
    child.on('exit', (code) => reject(new Error(`the page's server exited (${code})`)));
    createInterface({input: child.stdout}).once('line', (url) => {
      resolve({url, stop: () => child.kill()});
    });
  });
}

// Headless Chromium with WebGL 2 on SwiftShader; "autoplay" lets audio start without a gesture.
export function launch({autoplay = true} = {}) {
  const args = ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
                `--window-size=${SCREEN.width},${SCREEN.height}`];
  if (autoplay) args.push('--autoplay-policy=no-user-gesture-required');
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args,
    defaultViewport: SCREEN,
  });
}

// Evaluates "expression" in the page through the DevTools protocol without a user gesture
// (puppeteer's own evaluate counts as one, and would unlock the page's audio).
export async function read(page, expression) {
  const client = page.__cdp || (page.__cdp = await page.createCDPSession());
  const r = await client.send('Runtime.evaluate', {
    expression, returnByValue: true, awaitPromise: true, userGesture: false,
  });
  if (r.exceptionDetails) throw new Error(`${expression}: ${r.exceptionDetails.text}`);
  return r.result.value;
}

export const state = (page) => read(page, 'document.body.dataset.state');

export async function waitFor(page, expression, timeoutMs, what) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await read(page, expression);
    if (value) return value;
    if (Date.now() > deadline) {
      throw new Error(`timed out after ${timeoutMs} ms waiting for ${what || expression}` +
                      ` (state ${await state(page)})`);
    }
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Runs before any script of the page: every connection to an AudioContext's destination also
// feeds a recording worklet, whose blocks (16-bit interleaved stereo) collect in
// window.__audioTap; the first present of a frame (a blit into the canvas) is timed in
// window.__firstPresentMs. "noWebGl2" makes the page's browser lack WebGL 2.
export function instrument(page, {noWebGl2 = false} = {}) {
  return page.evaluateOnNewDocument((noWebGl2) => {
    const tapSource = `
      class Tap extends AudioWorkletProcessor {
        process(inputs) {
          const input = inputs[0];
          const n = input.length ? input[0].length : 128;
          const block = new Int16Array(n * 2);
          for (let c = 0; c < 2 && input.length; ++c) {
            const s = input[Math.min(c, input.length - 1)];
            for (let i = 0; i < n; ++i)
              block[i * 2 + c] = Math.max(-32768, Math.min(32767, Math.round(s[i] * 32768)));
          }
          this.port.postMessage(block, [block.buffer]);
          return true;
        }
      }
      registerProcessor('test-tap', Tap);`;
    const tapUrl = URL.createObjectURL(new Blob([tapSource], {type: 'text/javascript'}));
    const tap = window.__audioTap = {blocks: [], frames: 0, taps: 0};
    const Native = window.AudioContext;
    window.AudioContext = class extends Native {
      constructor(...args) {
        super(...args);
        this.__tapReady = this.audioWorklet.addModule(tapUrl).then(() => { this.__tapLoaded = true; });
      }
    };
    const connect = AudioNode.prototype.connect;
    AudioNode.prototype.connect = function (target, ...rest) {
      const result = connect.call(this, target, ...rest);
      if (target instanceof AudioDestinationNode && target.context.__tapReady) {
        const context = target.context, source = this;
        const attach = () => {
          const node = new AudioWorkletNode(context, 'test-tap', {
            numberOfInputs: 1, numberOfOutputs: 1, channelCount: 2,
            channelCountMode: 'explicit', outputChannelCount: [2]});
          node.port.onmessage = (e) => { tap.blocks.push(e.data); tap.frames += e.data.length / 2; };
          connect.call(source, node);
          const mute = context.createGain();
          mute.gain.value = 0;
          connect.call(node, mute);
          connect.call(mute, context.destination);
          ++tap.taps;
        };
        if (context.__tapLoaded) attach(); else context.__tapReady.then(attach);
      }
      return result;
    };
    // The recording as base64 of little-endian 16-bit samples.
    window.__audioTapBase64 = () => {
      const all = new Uint8Array(tap.frames * 4);
      let at = 0;
      for (const b of tap.blocks) { all.set(new Uint8Array(b.buffer), at); at += b.byteLength; }
      let s = '';
      for (let i = 0; i < all.length; i += 0x8000)
        s += String.fromCharCode.apply(null, all.subarray(i, i + 0x8000));
      return btoa(s);
    };
    const blit = WebGL2RenderingContext.prototype.blitFramebuffer;
    WebGL2RenderingContext.prototype.blitFramebuffer = function (...args) {
      if (window.__firstPresentMs === undefined &&
          this.getParameter(this.DRAW_FRAMEBUFFER_BINDING) === null) {
        window.__firstPresentMs = performance.now();
      }
      return blit.apply(this, args);
    };
    if (noWebGl2) {
      const getContext = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
        return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
      };
    }
  }, noWebGl2);
}

// The page's canvas as it shows now, from a screenshot of its rectangle.
export async function canvasRect(page) {
  return read(page, `(() => { const r = document.getElementById('intro').getBoundingClientRect();
                       return {x: r.x, y: r.y, w: r.width, h: r.height}; })()`);
}

// Escape held long enough for a program that reads the key state once a frame.
export async function escape(page) {
  await page.keyboard.down('Escape');
  await new Promise((r) => setTimeout(r, 250));
  await page.keyboard.up('Escape');
}
