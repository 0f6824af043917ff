// The package check's look at a packaged page: opens PAGE (vantrel.html
// where a package was unpacked or installed) from disk in headless Chromium,
// gives it SMF and checks that the MML on offer is EXPECTED byte for byte,
// under EXPECTED's name.
//
//   node web/tests/package_page.mjs PAGE SMF EXPECTED
//
// Needs `npm ci` done in web/tests and Chromium (CHROMIUM, default
// /usr/bin/chromium). Exits 0 when the download is right.
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const [page, smf, expected] = process.argv.slice(2).map((p) => path.resolve(p));
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking'],
});
let ok = false;
try {
  const tab = await browser.newPage();
  const errors = [];
  tab.on('pageerror', (error) => errors.push(String(error)));
  await tab.goto(pathToFileURL(page).href);
  await tab.setInputFiles('#smf-file', smf);
  await tab.waitForFunction(() => document.body.dataset.state === 'done'
    && document.getElementById('download').getAttribute('aria-disabled') === 'false', null, { timeout: 60000 });
  const [download] = await Promise.all([tab.waitForEvent('download'), tab.click('#download')]);
  const bytes = fs.readFileSync(await download.path());
  const name = download.suggestedFilename();
  ok = bytes.equals(fs.readFileSync(expected)) && name === path.basename(expected) && errors.length === 0;
  if (!ok) console.log(`     ${name}: ${bytes.length} bytes; page errors: ${errors.join('; ') || 'none'}`);
} finally {
  await browser.close();
}
process.exit(ok ? 0 : 1);
