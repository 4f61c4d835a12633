// tests/web/intro_test.mjs: the intro's web page in headless Chromium (WebGL 2 on SwiftShader).
//
//   node --test tests/web/intro_test.mjs      with WEB_BUILD (the built page), MODRENDER (the
//                                             module renderer) and INTRO_MODULE set
//
// One page plays the intro as a visitor sees it; the other cases are the page without WebGL 2,
// served without the isolation headers, and in a browser that wants a gesture for sound.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { serve, launch, read, state, waitFor, instrument, canvasRect, escape, SCREEN } from './browser.mjs';
import { decodePng } from './png.mjs';

const build = process.env.WEB_BUILD;
const artifacts = process.env.WEB_ARTIFACTS || path.join(build, 'artifacts');
const RED = [153, 51, 51];
const nonblack = (p) => p[0] > 16 || p[1] > 16 || p[2] > 16;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

let server, browser;
before(async () => {
  server = await serve(build);
  browser = await launch();
  mkdirSync(artifacts, {recursive: true});
});
after(async () => {
  await browser?.close();
  server?.stop();
});

async function open(options = {}, b = browser, url = server.url) {
  const page = await b.newPage();
  await instrument(page, options);
  await page.goto(url);
  return page;
}

async function shot(page, name) {
  const r = await canvasRect(page);
  const png = await page.screenshot({clip: {x: r.x, y: r.y, width: r.w, height: r.h}});
  writeFileSync(path.join(artifacts, name), png);
  return decodePng(png);
}

const ended = (page) => waitFor(page, `(document.body.dataset.state || '').startsWith('ended:') &&
                                       document.body.dataset.state`, 10000, 'the end');

test('the page plays the intro: picture, frame rate, drag, sound, Escape', async (t) => {
  const page = await open();
  const opened = Date.now();
  await waitFor(page, `document.body.dataset.state === 'running'`, 30000, 'running');

  await t.test('the canvas is 800 x 600, centred, and fades in', async () => {
    const seen = [];
    const deadline = Date.now() + 15000;
    while (Date.now() < deadline) {
      const o = Number(await read(page, `getComputedStyle(document.getElementById('intro')).opacity`));
      seen.push(o);
      if (o >= 1) break;
      await sleep(20);
    }
    assert.ok(Math.min(...seen) < 0.5, `opacity never low during the fade: ${seen}`);
    assert.equal(Math.max(...seen), 1, `the fade never ended: ${seen}`);
    assert.deepEqual(seen, [...seen].sort((a, b) => a - b), 'the opacity went down during the fade-in');
    const r = await canvasRect(page);
    assert.deepEqual(r, {x: (SCREEN.width - 800) / 2, y: (SCREEN.height - 600) / 2, w: 800, h: 600});
    const first = await read(page, 'window.__firstPresentMs');
    console.log(`# start-up: first frame presented ${first.toFixed(0)} ms after navigation ` +
                `(the 800 ms fade-in included)`);
  });

  await t.test('the picture shows the scene', async () => {
    await sleep(Math.max(0, 6500 - (Date.now() - opened)));
    let pic = await shot(page, 'web_6s.png');
    const deadline = Date.now() + 30000;  // a slow renderer brings the scroller in later
    while (pic.count(0, 368, 800, 548, nonblack) < 500 && Date.now() < deadline) {
      await sleep(2000);
      pic = await shot(page, 'web_6s.png');
    }
    assert.deepEqual([pic.w, pic.h], [800, 600]);
    for (const row of [50, 51, 550, 551]) {
      const bad = [];
      for (let x = 0; x < 800 && bad.length < 5; ++x) {
        if (pic.at(x, row).join() !== RED.join()) bad.push(x);
      }
      assert.deepEqual(bad, [], `bar row ${row} not red 153/51/51 everywhere`);
    }
    for (const row of [49, 52, 549, 552])
      assert.notDeepEqual(pic.at(400, row), RED, `row ${row} is part of a bar`);
    assert.ok(pic.count(239, 260, 561, 356, (p) => p[0] > 200) > 200, 'no information panel');
    assert.ok(pic.count(600, 65, 759, 79, nonblack) > 50, 'no caption');
    assert.ok(pic.count(0, 368, 800, 548, nonblack) > 500, 'no scroller');
    assert.ok(pic.count(88, 100, 711, 220, nonblack) > 2000, 'no logo');
    assert.equal(pic.count(0, 0, 590, 50, nonblack), 0, 'top left not black');
    assert.equal(pic.count(0, 240, 230, 258, nonblack), 0, 'gap left of the panel not black');
    assert.equal(pic.count(0, 560, 800, 600, nonblack), 0, 'bottom not black');
  });

  await t.test('frame rate (requestAnimationFrame, a figure)', async () => {
    const fps = await read(page, `new Promise((resolve) => {
      let n = 0; const t0 = performance.now();
      const tick = () => { ++n; if (performance.now() - t0 < 3000) requestAnimationFrame(tick);
                           else resolve(n * 1000 / (performance.now() - t0)); };
      requestAnimationFrame(tick); })`);
    console.log(`# frame rate: ${fps.toFixed(1)} animation frames per second`);
  });

  await t.test('a left-button drag moves the canvas and the scene goes on', async () => {
    const before = await canvasRect(page);
    const a = await shot(page, 'web_drag_before.png');
    const x = before.x + 400, y = before.y + 300;
    await page.mouse.move(x, y);
    await page.mouse.down();
    await sleep(300);  // the press reaches the program at its next frame
    for (let i = 1; i <= 10; ++i) {
      await page.mouse.move(x + 10 * i, y + 5 * i);
      await sleep(30);
    }
    await sleep(200);
    await page.mouse.up();
    await sleep(200);
    const moved = await canvasRect(page);
    assert.deepEqual([moved.x - before.x, moved.y - before.y], [100, 50]);
    const b = await shot(page, 'web_drag_after.png');
    assert.ok(!a.equals(b), 'the scene stopped after the drag');
  });

  await t.test('the sound is the module as the library renders it', async () => {
    const recorded = Buffer.from(await read(page, 'window.__audioTapBase64()'), 'base64');
    const stats = await read(page, 'Module.introAudio');
    const dir = mkdtempSync(path.join(tmpdir(), 'web-audio-'));
    const wav = path.join(dir, 'reference.wav');
    const seconds = Math.ceil(recorded.length / 4 / 44100) + 1;
    execFileSync(process.env.MODRENDER, ['--seconds', String(seconds), process.env.INTRO_MODULE, wav]);
    const reference = readFileSync(wav).subarray(44);
    const firstSound = (b) => {
      for (let i = 0; i + 3 < b.length; i += 4) if (b.readUInt32LE(i) !== 0) return i;
      return -1;
    };
    const first = firstSound(recorded), refFirst = firstSound(reference);
    assert.notEqual(first, -1, 'the page played only silence');
    const n = Math.min(recorded.length - first, reference.length - refFirst);
    assert.ok(n > 44100 * 4 * 4, `less than four seconds of music recorded (${n / 4} frames)`);
    const got = recorded.subarray(first, first + n), want = reference.subarray(refFirst, refFirst + n);
    if (!got.equals(want)) {
      let i = 0;
      while (i < n && got[i] === want[i]) ++i;
      assert.fail(`the recording departs from the module at frame ${Math.floor(i / 4)} of ${n / 4}`);
    }
    console.log(`# sound: ${n / 4} frames equal to the module's rendering; ` +
                `${stats.underrun} frames missing of ${stats.played} played`);
  });

  await t.test('Escape fades the canvas out and ends the page with ended:0', async () => {
    const t0 = Date.now();
    await escape(page);
    let lowest = 1;
    while (!(await state(page)).startsWith('ended:') && Date.now() - t0 < 10000) {
      lowest = Math.min(lowest, Number(await read(page,
        `getComputedStyle(document.getElementById('intro')).opacity`)));
      await sleep(20);
    }
    assert.equal(await state(page), 'ended:0');
    assert.ok(Date.now() - t0 > 750, 'ended without the fade-out');
    assert.ok(lowest < 0.5, `the canvas never faded (lowest opacity ${lowest})`);
  });
  await page.close();
});

test('without WebGL 2 the page says so instead of the canvas and Escape still ends it', async () => {
  const page = await open({noWebGl2: true});
  await waitFor(page, `document.body.dataset.state === 'running'`, 30000, 'running');
  assert.equal(await read(page, `document.getElementById('intro').hidden`), true);
  const text = await read(page, `document.getElementById('message').hidden ? '' :
                                 document.getElementById('message').textContent`);
  assert.match(text, /WebGL 2 is not available/);
  await sleep(2500);  // the fade-in of the window that has no device
  await escape(page);
  assert.equal(await ended(page), 'ended:0');
  await page.close();
});

test('served without the isolation headers, the page names the missing ones', async () => {
  const bare = await serve(build, {isolation: false});
  try {
    const page = await open({}, browser, bare.url);
    await waitFor(page, `document.body.dataset.error`, 15000, 'the error');
    assert.equal(await read(page, 'document.body.dataset.error'), 'no-shared-memory');
    const text = await read(page, `document.getElementById('message').textContent`);
    assert.match(text, /Cross-Origin-Opener-Policy: same-origin/);
    assert.match(text, /Cross-Origin-Embedder-Policy: require-corp/);
    assert.equal(await state(page), 'loading');
    await page.close();
  } finally {
    bare.stop();
  }
});

test('where the browser holds sound back, the page waits for a click', async () => {
  const strict = await launch({autoplay: false});
  try {
    const page = await open({}, strict);
    await waitFor(page, `document.body.dataset.state === 'waiting'`, 15000, 'waiting');
    assert.equal(await read(page, `document.getElementById('message').textContent`), 'click to start');
    await page.mouse.click(640, 512);
    await waitFor(page, `document.body.dataset.state === 'running'`, 30000, 'running');
    await sleep(1500);
    await escape(page);
    assert.equal(await ended(page), 'ended:0');
  } finally {
    await strict.close();
  }
});
