import { serve, launch, read, instrument } from './browser.mjs';
const server = await serve(process.argv[2]);
const browser = await launch();
const page = await browser.newPage();
page.on('console', (m) => console.log(`console.${m.type()}: ${m.text()}`));
page.on('pageerror', (e) => console.log(`pageerror: ${e.message}`));
page.on('requestfailed', (r) => console.log(`requestfailed: ${r.url()}`));
page.on('response', (r) => { if (r.status() >= 400) console.log(`HTTP ${r.status()} ${r.url()}`); });
await instrument(page);
await page.goto(server.url);
for (let i = 0; i < Number(process.argv[3] || 8); ++i) {
  await new Promise((r) => setTimeout(r, 1000));
  console.log(await read(page, `JSON.stringify({state: document.body.dataset.state, op: document.getElementById('intro').style.cssText, audio: self.Module && Module.introAudio, first: window.__firstPresentMs, taps: window.__audioTap.taps, frames: window.__audioTap.frames})`));
}
await page.screenshot({path: '/tmp/wdbg/shot.png'});
await page.keyboard.press('Escape');
await new Promise((r) => setTimeout(r, 3000));
console.log(await read(page, 'document.body.dataset.state'));
await browser.close(); server.stop();
