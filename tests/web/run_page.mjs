// tests/web/run_page.mjs BUILD-DIR OUT-PNG [SECONDS]: what `make run-web` does without a
// display: serves the page, opens it in headless Chromium for a few seconds, saves a
// screenshot of the page, presses Escape and reports how the page ended.
import { writeFileSync, mkdirSync } from 'node:fs';
import path from 'node:path';
import { serve, launch, state, waitFor, escape } from './browser.mjs';

const [dir, out, seconds = '8'] = process.argv.slice(2);
const server = await serve(dir);
console.log(`run-web: serving ${server.url}`);
const browser = await launch();
let code = 1;
try {
  const page = await browser.newPage();
  page.on('console', (m) => { if (m.type() === 'error') console.log(`page: ${m.text()}`); });
  await page.goto(server.url);
  await waitFor(page, `document.body.dataset.state !== 'loading' || document.body.dataset.error`,
                30000, 'the page to start');
  await new Promise((r) => setTimeout(r, Number(seconds) * 1000));
  mkdirSync(path.dirname(out), {recursive: true});
  writeFileSync(out, await page.screenshot());
  console.log(`run-web: saved ${out} after ${seconds} s (state ${await state(page)})`);
  await escape(page);
  const ended = await waitFor(page, `(document.body.dataset.state || '').startsWith('ended:') &&
                                     document.body.dataset.state`, 10000, 'the page to end');
  console.log(`run-web: the page ended with state ${ended}`);
  code = ended === 'ended:0' ? 0 : 1;
} catch (e) {
  console.error(`run-web: ${e.message}`);
} finally {
  await browser.close();
  server.stop();
}
process.exit(code);
