// The page in headless Chromium against the native program: for every case
// of the table, the page's controls are set to the case's options, the file
// is converted, and what the page shows and offers must be what the command
// line gives for the command line that the page shows.
//
//   node --test-reporter=spec page_test.mjs  (run by web/tests/run.sh, which
//   passes VANTREL, PAGE, DATA and SCREENSHOT in the environment)
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { createRequire } from 'node:module';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const vantrel = path.resolve(process.env.VANTREL);
const pageDir = path.resolve(process.env.PAGE);
const dataDir = path.resolve(process.env.DATA);
const screenshot = process.env.SCREENSHOT;
const example = fileURLToPath(new URL('../../examples/demo.mid', import.meta.url));

// ---- the files

const read = (name) => fs.readFileSync(path.join(dataDir, name));
const generated = JSON.parse(fs.readFileSync(path.join(dataDir, 'cases.json'), 'utf8'));

// A file whose tempo event has the wrong length: the MML of the notes before
// it is kept.
const badTempo = Buffer.from([
  0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
  0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 19,
  0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00,
  0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xFF, 0x2F, 0x00,
]);
const cutShort = read('gen_5.mid').subarray(0, Math.floor(read('gen_5.mid').length * 0.7));
const notMidi = Buffer.concat([Buffer.from('RIFF'), read('gen_6.mid').subarray(4)]);
const format2 = Buffer.from(read('gen_7.mid'));
format2[9] = 2;

// The table: a file under a name, and the options to set on the page.
const cases = [
  { name: 'demo.mid', bytes: fs.readFileSync(example), args: [], via: 'file' },
  ...[[], ['/J'], ['/A480', '/C2'], ['/B-', '/Mx', '/Mm']].map((args) =>
    ({ name: 'デモ 曲.mid', bytes: fs.readFileSync(example), args })),
  ...generated.map(({ file, args }) => ({ name: file, bytes: read(file), args })),
  { name: '-dash.mid', bytes: read('gen_2.mid'), args: ['/J'] },
  { name: 'cut.mid', bytes: cutShort, args: [] },
  { name: 'riff.mid', bytes: notMidi, args: [] },
  { name: 'format2.mid', bytes: format2, args: [] },
  { name: 'tempo.mid', bytes: badTempo, args: ['/C0'] },
];

// ---- the command line

// Runs the program with `args` in an empty folder holding `bytes` under
// `name`; the MML is whatever new file the folder then holds.
function runNative(name, bytes, args) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vantrel-web-'));
  try {
    fs.writeFileSync(path.join(folder, name), bytes);
    const start = performance.now();
    const run = spawnSync(vantrel, args, { cwd: folder, maxBuffer: 1 << 26 });
    const ms = performance.now() - start;
    const made = fs.readdirSync(folder).filter((f) => f !== name);
    return {
      status: run.status,
      stdout: run.stdout,
      stderr: run.stderr,
      mmlName: made.length === 1 ? made[0] : null,
      mml: made.length === 1 ? fs.readFileSync(path.join(folder, made[0])) : null,
      ms,
    };
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

const utf8 = new TextDecoder('utf-8');
const shiftJis = new TextDecoder('shift_jis');
const digest = (bytes) => (bytes === null ? null
  : `${bytes.length} bytes, sha256 ${createHash('sha256').update(bytes).digest('hex')}`);

// "vantrel /J "a b.mid"" -> ['/J', 'a b.mid']
function shownArguments(commandLine) {
  const words = [...commandLine.matchAll(/"([^"]*)"|(\S+)/g)].map((m) => m[1] ?? m[2]);
  assert.equal(words.shift(), 'vantrel');
  return words;
}
const optionsOf = (args, name) => args.filter((a) => a !== name && a !== '--').sort();

// ---- the page

async function setOptions(page, args) {
  await page.check(args.includes('/J') ? '#dialect-kana' : '#dialect-mml');
  await page.setChecked('#bar-lines', !args.includes('/B-'));
  const lineArg = args.find((a) => a.startsWith('/C'));
  const lineBars = lineArg ? Number(lineArg.slice(2)) : 4;
  await page.selectOption('#line-mode', lineBars === 0 ? 'note' : lineBars < 0 ? 'never' : 'bars');
  if (lineBars > 0) await page.fill('#line-bars', String(lineBars));
  const pickupArg = args.find((a) => a.startsWith('/A'));
  await page.fill('#pickup', pickupArg ? pickupArg.slice(2) : '0');
  await page.setChecked('#filter-all', false);
  for (const letter of 'abcpxm') await page.setChecked(`#filter-${letter}`, args.includes(`/M${letter}`));
  await page.setChecked('#filter-all', args.includes('/MA'));
}

async function setFile(page, name, bytes) {
  if (page.fileName === name) return;
  page.fileName = name;
  await page.setInputFiles('#smf-file', { name, mimeType: 'audio/midi', buffer: bytes });
  await page.waitForFunction((n) => document.getElementById('file-info').textContent.startsWith(n), name);
}

// Converts with the page's button and gathers what the page shows.
async function convertOnPage(page) {
  const count = Number(await page.getAttribute('body', 'data-conversions'));
  await page.click('#convert');
  await page.waitForFunction((n) => Number(document.body.dataset.conversions) > n, count);
  const shown = {
    console: await page.textContent('#console'),
    fault: await page.textContent('#fault-message'),
    english: await page.textContent('#fault-english'),
    download: null,
    downloadName: null,
  };
  if ((await page.getAttribute('#download', 'aria-disabled')) === 'false') {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    shown.download = fs.readFileSync(await download.path());
    shown.downloadName = download.suggestedFilename();
  }
  return shown;
}

// window.vantrel.convert on the file as the static server serves it.
async function convertByCall(page, url, args) {
  return page.evaluate(async ({ url, args }) => {
    const bytes = new Uint8Array(await (await fetch(url)).arrayBuffer());
    const r = await window.vantrel.convert(bytes, args);
    const text = (b) => (b === null ? null : Array.from(b, (c) => String.fromCharCode(c)).join(''));
    return { status: r.status, stdout: text(r.stdout), stderr: text(r.stderr), mml: text(r.mml) };
  }, { url, args });
}
const latin1 = (text) => (text === null ? null : Buffer.from(text, 'latin1'));

// The page's own worker text (the module and worker.js) run in Node.
async function moduleInNode() {
  const source = fs.readFileSync(path.join(pageDir, 'worker_source.js'), 'utf8');
  const text = new Function(`${source}\nreturn vantrelWorkerSource;`)();
  const module = { exports: {} };
  new Function('module', 'exports', 'require', '__dirname', '__filename',
    `${text}\nmodule.exports.createVantrelWasm = createVantrelWasm;`)(
    module, module.exports, createRequire(import.meta.url), pageDir, path.join(pageDir, 'worker.js'));
  const { vantrelCalls, startVantrelWasm, createVantrelWasm } = module.exports;
  return vantrelCalls(await startVantrelWasm(createVantrelWasm));
}

// ---- the run

let browser;
let server;
let origin;

function serve() {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
  server = http.createServer((request, response) => {
    const url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const [root, rest] = url.startsWith('/data/') ? [dataDir, url.slice(6)] : [pageDir, url.slice(1)];
    const file = path.join(root, rest || 'index.html');
    if (!file.startsWith(root) || !fs.existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => {
    origin = `http://127.0.0.1:${server.address().port}`;
    resolve();
  }));
}

async function openPage(url) {
  const page = await browser.newPage({ viewport: { width: 1000, height: 900 }, locale: 'en-US' });
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(String(error)));
  await page.goto(url);
  await page.selectOption('#language', 'en');
  return page;
}

before(async () => {
  await serve();
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  await browser?.close();
  server?.close();
});

describe('the page gives what the command line gives', () => {
  let served;
  let fromDisk;
  before(async () => {
    served = await openPage(`${origin}/`);
    fromDisk = await openPage(pathToFileURL(path.join(pageDir, 'index.html')).href);
  });

  for (const c of cases) {
    test(`${c.via === 'file' ? 'file:// ' : ''}${c.name} ${c.args.join(' ')}`, async () => {
      const page = c.via === 'file' ? fromDisk : served;
      await setFile(page, c.name, c.bytes);
      await setOptions(page, c.args);
      const shownArgs = shownArguments(await page.textContent('#command-line'));
      const native = runNative(c.name, c.bytes, shownArgs);
      const shown = await convertOnPage(page);
      fs.writeFileSync(path.join(dataDir, 'current.mid'), c.bytes);
      const called = c.via === 'file' ? null : await convertByCall(page, '/data/current.mid', shownArgs);
      const actual = {
        options: optionsOf(shownArgs, c.name),
        console: shown.console,
        fault: shown.fault,
        englishLines: shown.english.split('\n').filter((line) => line).length,
        download: digest(shown.download),
        downloadName: shown.downloadName,
        called: called && { ...called, stdout: digest(latin1(called.stdout)),
          stderr: digest(latin1(called.stderr)), mml: digest(latin1(called.mml)) },
        pageErrors: page.errors.splice(0),
      };
      const expected = {
        options: [...c.args].sort(),
        console: utf8.decode(native.stdout),
        fault: shiftJis.decode(native.stderr),
        englishLines: shiftJis.decode(native.stderr).split('\n').filter((line) => line).length,
        download: digest(native.mml),
        downloadName: native.mmlName,
        called: called && { status: native.status, stdout: digest(native.stdout),
          stderr: digest(native.stderr), mml: digest(native.mml) },
        pageErrors: [],
      };
      assert.deepStrictEqual(actual, expected);
    });
  }

  test('the page, as the README shows it', { skip: !screenshot }, async () => {
    await setFile(served, 'demo.mid', fs.readFileSync(example));
    await setOptions(served, ['/J']);
    await convertOnPage(served);
    await served.waitForFunction(() => Number(document.body.dataset.previews) > 0);
    // Down to the first lines of the MML text.
    const textTop = await served.evaluate(() =>
      document.getElementById('mml').getBoundingClientRect().top + window.scrollY);
    await served.screenshot({ path: screenshot, fullPage: true,
      clip: { x: 0, y: 0, width: 1000, height: Math.round(textTop + 240) } });
  });
});

describe('a million notes', () => {
  const name = 'dense-1M.mid';
  const bytes = read(name);

  test('the page answers while the worker converts, and gives the same bytes', async () => {
    const page = await openPage(`${origin}/`);
    await setFile(page, name, bytes);
    const count = Number(await page.getAttribute('body', 'data-conversions'));
    const clicked = performance.now();
    await page.click('#convert');
    // While it converts, the page answers at once and its clock moves on:
    // a conversion on the page's own thread would let neither happen.
    const seen = [];
    let slowest = 0;
    let firstMs = 0;
    for (;;) {
      const asked = performance.now();
      const [state, elapsed, done] = await page.evaluate(() => [document.body.dataset.state,
        document.getElementById('elapsed').textContent, Number(document.body.dataset.conversions)]);
      if (done > count) {
        firstMs = performance.now() - clicked;
        break;
      }
      if (state === 'busy') {
        seen.push(elapsed);
        slowest = Math.max(slowest, performance.now() - asked);
      }
      await new Promise((resolve) => setTimeout(resolve, 40));
    }
    console.log(`# ${seen.length} looks while converting: ${seen.join(' ')}`);
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    const native = runNative(name, bytes, [name]);
    assert.deepStrictEqual(
      { clockMoved: new Set(seen).size > 1, answersWithin: slowest < 250,
        download: digest(fs.readFileSync(await download.path())), pageErrors: page.errors },
      { clockMoved: true, answersWithin: true, download: digest(native.mml), pageErrors: [] });

    // The figures: the page's call from start to result, the program's run.
    const pageTimes = await page.evaluate(async (url) => {
      const file = new Uint8Array(await (await fetch(url)).arrayBuffer());
      const times = [];
      for (let i = 0; i < 3; ++i) {
        const start = performance.now();
        await window.vantrel.convert(file, ['dense-1M.mid']);
        times.push(performance.now() - start);
      }
      return times;
    }, `/data/${name}`);
    const nativeTimes = [0, 1, 2].map(() => runNative(name, bytes, [name]).ms);
    const calls = await moduleInNode();
    const nodeTimes = [0, 1, 2].map(() => {
      const start = performance.now();
      calls.convert(bytes, [name]);
      return performance.now() - start;
    });
    const best = (times) => Math.min(...times).toFixed(0);
    console.log(`# a million notes, best of 3: command line ${best(nativeTimes)} ms, `
      + `page ${best(pageTimes)} ms, same module in Node ${best(nodeTimes)} ms; the first conversion `
      + `on a new page took ${firstMs.toFixed(0)} ms from the click to the result shown, during `
      + `which the page answered within ${slowest.toFixed(0)} ms`);
  });
});
