// The browser build end to end, in Debian's headless Chromium driven through the DevTools
// protocol: pages made from build-web's code (k3lvana.js.gz, k3lvana.wasm.gz) and index.html
// with data of their own (test images, modules from make_sync_module, packed as the build packs
// its data), served on 127.0.0.1 as plain files.
//   node web_test.js BUILD_WEB MAKE_SYNC_MODULE [--whole-show | --first-cut]
//        [--only=cuts|suspended|silent|keys|missing|points|loading|failures|graphics|hidden]
// The test images tell the scenes apart: scene 1's backdrop is red, scene 2's blue, the
// closing card green, every other image transparent, so scene 0 is dark.
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const [webDir, makeModule] = process.argv.slice(2);
const wholeShow = process.argv.includes('--whole-show');
const firstCutOnly = process.argv.includes('--first-cut');  // the page as it is, to its start screen and first cut
const only = (process.argv.find(arg => arg.startsWith('--only=')) || '').slice('--only='.length);  // the one test page to run, or all
const ROW_MS = 120;  // milliseconds per row of make_sync_module's songs
const TICK_MS = 55;  // milliseconds per tick of the show
const CHROMIUM = '/usr/lib/chromium/chromium';
// The show's image files, from its table of them.
const IMAGES = Array.from(fs.readFileSync(path.join(__dirname, '../../src/assets/image_table.h'), 'utf8')
  .matchAll(/^K3L_IMAGE\(\w+, "(\w+)\.tga"\)/gm), match => match[1]);
const COLOURS = {afraid512: [255, 0, 0], confidence512: [0, 0, 255], creditifinali: [0, 255, 0]};
const LOADED = '[LOADING' + '..'.repeat(9) + ']\nLoaded.' + '\n'.repeat(25);
const NOT_LOADED = '[LOADING' + '..'.repeat(7) + '\nImpossibile caricare il file\n';
// The cuts page's events and their rows: scenes 1, 0, 2, 1, 6, the closing fade twice, the quit.
const CUT_CODES = [1, 0, 2, 1, 6, 0x11, 0x11, 0x1B];
const CUT_ROWS = [0, 6, 12, 18, 24, 28, 88, 128];
// The suspension page's events and their rows: a cut every 8 rows (960 ms) between scenes 1 and 2
// (red and blue: scene 2 leaves a white clear colour, so scene 0 would not look dark after it), then the quit.
const SUSPEND_CODES = [1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 0x1B];
const SUSPEND_ROWS = SUSPEND_CODES.map((code, i) => 8 * i);
const SCENE_OF = {1: 'red', 2: 'blue'};
// When the test suspends the page's audio context (ms after the first event's row), for how long (ms),
// and the gesture that asks it back: 3 s from between rows 16 and 24, then 1 s from between rows 64 and 72.
// The page is on a touch screen: a tap on the picture, then a key.
const SUSPENSIONS = [{at: 2300, ms: 3000, by: 'tap'}, {at: 8000, ms: 1000, by: 'key'}];
const STOP_SEEN_MS = 300;      // ms: the player takes a stopped context for silent within this (it looks every 50 ms; a loaded page stalls)
const AHEAD_MS = 1500;         // ms of song the player has rendered ahead: after a stop, the music rejoins once they have passed
const BACK_MS = 300;           // ms: the music is back within this of the gesture, or of AHEAD_MS after the stop if later
const LATE_MS = 250;           // ms: an event is released at most this late (see suspension below)
const REJOIN_MS = [-60, 200];  // ms: how far a rejoin may move the song's timeline (see suspension below)
const PAGE_BYTES = 2000000;    // bytes the page may fetch before its start screen
const SLOW_PIECES = 12;        // the slow page's files are sent in this many pieces,
const SLOW_PIECE_MS = 150;     // ms apart
// The graphics page: scene 1 from row 0 to the quit; the GL context lost and restored (ms after the first
// event's row), then lost for good, when the page must offer a reload within GONE_MS (its wait and a margin).
const GRAPHICS_ROWS = 130;
const GRAPHICS_LOSSES = {lose: 2500, restore: 5500, compareMs: 2500, loseForGood: 8000};
const GONE_MS = 6000;
// The hidden page: a cut every 8 rows (960 ms) between scenes 1 and 2 for 45 s, then the quit; hidden
// for HIDDEN_MS from HIDE_AT ms after the first event's row.
const HIDDEN_CODES = [...Array(47).keys()].map(i => 1 + i % 2).concat([0x1B]);
const HIDE_AT = 3000, HIDDEN_MS = 30000;

let passed = 0, failed = 0;
function check(name, ok, detail) {
  ok ? passed++ : failed++;
  console.log(`${ok ? 'ok' : 'FAIL'} - ${name}${ok || detail === undefined ? '' : ': ' + detail}`);
}

// An 8 x 8 TGA, 32 bits, one colour (transparent black when none is given).
function tga([r, g, b] = [0, 0, 0]) {
  const header = Buffer.from([0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 8, 0, 32, 8]);
  const pixel = Buffer.from([b, g, r, r || g || b ? 255 : 0]);
  return Buffer.concat([header, ...Array(64).fill(pixel)]);
}

// The files a page fetches before its start screen.
const PAGE_FILES = ['index.html', 'k3lvana.js.gz', 'k3lvana.wasm.gz', 'data.js', 'k3lvana.data.gz'];

// A page under `root`/name: the build's page and code, test images, and a module of `rows`
// rows with the given ROW:HEX events (none at all: no module), packed as the build packs its data.
function makePage(root, name, rows, events) {
  const dir = path.join(root, name);
  fs.mkdirSync(path.join(dir, 'data'), {recursive: true});
  for (const file of ['index.html', 'k3lvana.js.gz', 'k3lvana.wasm.gz']) fs.copyFileSync(path.join(webDir, file), path.join(dir, file));
  for (const image of IMAGES) fs.writeFileSync(path.join(dir, 'data', image + '.tga'), tga(COLOURS[image]));
  if (rows) execFileSync(makeModule, [path.join(dir, 'data', 'zelto-07.tga'), String(rows), ...events]);
  execFileSync(path.join(__dirname, '../../scripts/web/pack-data.sh'), [path.join(dir, 'data'), dir]);
  fs.rmSync(path.join(dir, 'data'), {recursive: true});
  return name;
}

// A static server on 127.0.0.1 for `root`, on a free port: plain files, as they are (no compression).
// The page `slow` gets each of its files but index.html in SLOW_PIECES pieces, SLOW_PIECE_MS apart.
function serve(root) {
  const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(root, name.endsWith('/') ? name + 'index.html' : name);
    fs.readFile(file, (error, body) => {
      if (error) return response.writeHead(404).end();
      response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream', 'Content-Length': body.length});
      if (!name.startsWith('/slow/') || file.endsWith('index.html')) return response.end(body);
      const piece = Math.ceil(body.length / SLOW_PIECES);
      (function send(at) {
        if (at >= body.length) return response.end();
        response.write(body.subarray(at, at + piece));
        setTimeout(send, SLOW_PIECE_MS, at + piece);
      })(0);
    });
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// What the canvas shows each time the show has drawn it (sampled in the same animation frame,
// before the browser presents and clears it): the scene's colour in the middle band, the
// mean brightness, how green the centre is (the closing card), the mean colour of an 8 x 6 grid.
// And when the end screen shows.
function watchCanvas() {
  const probe = document.createElement('canvas');
  probe.width = 32;
  probe.height = 24;
  const context = probe.getContext('2d', {willReadFrequently: true});
  const canvas = document.getElementById('canvas');
  const frame = window.requestAnimationFrame.bind(window);
  window.samples = [];
  window.requestAnimationFrame = callback => frame(time => {
    callback(time);
    if (!canvas.classList.contains('shown')) return;
    context.drawImage(canvas, 0, 0, 32, 24);
    const d = context.getImageData(0, 0, 32, 24).data;
    let red = 0, blue = 0, dark = 0, light = 0;
    for (let i = 6 * 32 * 4; i < 18 * 32 * 4; i += 4) {
      red += d[i] > 110 && d[i + 1] < 70 && d[i + 2] < 70;
      blue += d[i + 2] > 110 && d[i] < 70 && d[i + 1] < 70;
      dark += Math.max(d[i], d[i + 1], d[i + 2]) < 50;
      light += (d[i] + d[i + 1] + d[i + 2]) / 3;
    }
    const scene = red > 192 ? 'red' : blue > 192 ? 'blue' : dark > 192 ? 'dark' : 'other';
    const centre = (12 * 32 + 16) * 4;
    const green = d[centre + 1] - Math.max(d[centre], d[centre + 2]);
    const grid = new Array(8 * 6 * 3).fill(0);
    for (let i = 0; i < d.length; i += 4) {
      const x = (i >> 2) % 32, y = Math.floor((i >> 2) / 32), cell = 3 * (Math.floor(y / 4) * 8 + Math.floor(x / 4));
      for (let c = 0; c < 3; c++) grid[cell + c] += d[i + c] / 16;
    }
    window.samples.push({t: performance.now(), scene, light: light / 384, green, grid});
  });
  (function watchEnd() {
    if (document.getElementById('ended').classList.contains('shown')) window.endedAt = performance.now();
    else frame(watchEnd);
  })();
}

// Opens a page, keeps its console, waits for the start screen and (unless told not to: reading
// the canvas back costs the page time) starts watching the canvas. `silent`: a browser without Web
// Audio; `throttled`: fetched through Chromium's network emulation at 4 Mbit/s (20 ms latency).
async function open(browser, url, size, {watch = true, silent = false, throttled = false} = {}) {
  const page = await browser.newPage();
  if (silent) await page.evaluateOnNewDocument(() => { delete window.AudioContext; delete window.webkitAudioContext; });
  await page.setViewport(size);
  page.messages = [];
  page.on('console', message => page.messages.push({type: message.type(), text: message.text()}));
  page.on('pageerror', error => page.messages.push({type: 'pageerror', text: String(error)}));
  const network = await page.createCDPSession();
  const link = on => network.send('Network.emulateNetworkConditions', {offline: false, latency: on ? 20 : 0,
    downloadThroughput: on ? 4e6 / 8 : -1, uploadThroughput: on ? 4e6 / 8 : -1});
  if (throttled) await link(true);
  const opened = Date.now();
  await page.goto(url);
  await page.waitForSelector('#start.shown', {timeout: 60000});
  page.loadMs = Date.now() - opened;
  if (throttled) await link(false);
  if (watch) await page.evaluate(watchCanvas);
  return page;
}

// The bytes a page fetched before its start screen, by file, from the browser's own record of its
// requests: checked against the page's budget, and that they came as they are (no compression on the way).
async function pageBytes(page) {
  const files = await page.evaluate(() => [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')]
    .filter(e => /^https?:/.test(e.name))
    .map(e => ({name: e.name.replace(/^.*\//, '') || 'index.html', bytes: e.encodedBodySize, decoded: e.decodedBodySize})));
  const total = files.reduce((sum, file) => sum + file.bytes, 0);
  console.log(`# page: ${files.map(file => `${file.name} ${file.bytes}`).join(', ')}: ${total} bytes before the start screen`);
  check(`the page fetches at most ${PAGE_BYTES} bytes before its start screen, as plain files`,
        total <= PAGE_BYTES && files.every(file => file.decoded === file.bytes) &&
        PAGE_FILES.every(name => files.some(file => file.name === name)), JSON.stringify(files));
}

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
const stats = page => page.evaluate(() => ({ticks: Module.k3lStats.ticks, events: Module.k3lStats.events, dry: Module.k3lStats.dry}));
const samples = (page, from, to) => page.evaluate((a, b) => window.samples.filter(s => s.t >= a && s.t <= b), from, to);
const logged = page => page.messages.filter(m => m.type === 'log').map(m => m.text).join('');
const problems = page => page.messages.filter(m => m.type !== 'log').map(m => m.text);
// The events a page released: [{parameter, output, heard, released}]: the row's time on the output's
// clock, then when it was heard and released on performance.now() (milliseconds).
const events = stats => Array.from({length: stats.events.length / 4}, (_, i) => {
  const [parameter, output, heard, released] = stats.events.slice(4 * i, 4 * i + 4);
  return {parameter, output, heard, released};
});
// Each event's distance (ms) from its row's time on the output's clock, counted from the first.
const rowErrors = list => list.map((e, i) => (e.output - list[0].output) - CUT_ROWS[i] * ROW_MS);
// The scenes seen between two moments, each once, in order.
async function scenesBetween(page, from, to) {
  const seen = (await samples(page, from, to)).map(s => s.scene);
  return seen.filter((scene, i) => scene !== seen[i - 1]).join(' ');
}
async function endedWithin(page, ms) {
  try { await page.waitForSelector('#ended.shown', {timeout: ms}); return true; } catch (e) { return false; }
}

// Plays the cuts page to its end (on the silent output: a browser without Web Audio) and checks
// that every event came once, in order, at its row's time on the output's clock.
async function playCuts(browser, base, silent) {
  const name = silent ? 'silent: ' : '';
  const page = await open(browser, base + '/cuts/', {width: 640, height: 480}, {watch: !silent, silent});
  const text = await page.$eval('#console', e => e.textContent);
  await page.click('#start');
  check(name + 'the quit event ends the show', await endedWithin(page, 20000));
  const list = events(await stats(page));
  check(name + 'every event released once, in order, at its row\'s time',
        list.map(e => e.parameter).join() === CUT_CODES.join() && rowErrors(list).every(error => Math.abs(error) < 2) &&
        (!silent || list.every(e => e.heard === e.output && e.released >= e.heard)),
        `${JSON.stringify(list)} (queue ran dry ${(await stats(page)).dry} times)`);
  return {page, list, text};
}

// Cuts at their rows, the closing fade and the card, the quit event.
async function cutsFadeQuit(browser, base) {
  const {page, list, text} = await playCuts(browser, base, false);
  check('loading text, byte for byte, on the page and in the browser console',
        text === LOADED && logged(page) === LOADED, JSON.stringify(logged(page)));
  if (list.length !== 8) return page.close();
  // The first picture of a scene waits for its shaders to compile (up to a few hundred ms in SwiftShader).
  const expected = ['red', 'dark', 'blue', 'red'];
  for (let i = 0; i < 4; i++) {
    const before = await scenesBetween(page, list[i].heard - 200, list[i].heard - 5);
    const after = await scenesBetween(page, list[i].heard + (i ? 100 : 500), list[i + 1].heard - 5);
    check(`cut ${i} shows at its row's time`, after === expected[i] && (i === 0 || !before.includes(expected[i])),
          `before: ${before}; after: ${after}`);
  }
  // The veil darkens scene 6 for 50 ticks (2.75 s; the second Z11 leaves room for slow ticks),
  // then scene 7's card fades in from the second Z11.
  const seen = async (from, to, key) => (await samples(page, from, to)).map(s => s[key]);
  const veiled = Math.min(...await seen(list[5].heard, list[6].heard, 'light'));
  const unveiled = Math.min(...await seen(list[5].heard - 300, list[5].heard, 'light'));
  check('the closing fade veils scene 6', veiled < unveiled / 4, `${unveiled} then ${veiled}`);
  const cardBefore = await seen(list[6].heard - 300, list[6].heard, 'green');
  const cardAfter = await seen(list[7].heard - 300, list[7].heard, 'green');
  check('then the closing card fades in', Math.max(...cardBefore) < 80 && Math.min(...cardAfter) > 200,
        `${cardBefore} .. ${cardAfter}`);
  const end = await page.evaluate(() => window.endedAt);
  check('the show ends at the quit event\'s row', end >= list[7].heard && end < list[7].heard + 500, end - list[7].heard);
  check('no warnings or errors in the console', problems(page).length === 0, problems(page).join(' | '));
  await page.close();
}

// The audio context suspended twice while the song plays (the browser or the system stopping
// the sound): the song goes on silently on the timeline it was heard on, the page shows its note,
// and the music rejoins at the song's position once a tap (then a key) asks the context back.
// An event's row time on the timeline is the first event's heard time plus its row's. Before a
// rejoin, events are heard at that time to 2 ms (the silent song goes on from the audio's own
// timeline). A rejoin may move the timeline once, by what the music takes to come back: the
// next chunk plays 50 ms after the context's clock, plus the output latency (about 47 ms in
// headless Chromium), less the one to two chunks (46 to 93 ms) the silent song was rendered
// ahead, plus what the page's loop was late. REJOIN_MS allows -60 to 200 ms: inside the 960 ms
// between cuts, and far from the 1.5 s (the music ahead when the context stopped) or the
// suspension's length that a rejoin at the wrong place would give. An event is released when
// heard, up to LATE_MS late: a stall of the page on this loaded machine (the whole show's events
// come up to about 100 ms late), well under the 960 ms a late cut would take to show on the wrong row.
async function suspension(browser, base) {
  const page = await open(browser, base + '/suspended/', {width: 640, height: 480, hasTouch: true});
  await page.tap('#start');
  // Polled on a timer: puppeteer's default polls on animation frames, which watchCanvas would sample undrawn.
  await page.waitForFunction(() => Module.k3lStats.events.length > 0, {timeout: 10000, polling: 20});
  const t0 = (await stats(page)).events[2];
  const now = () => page.evaluate(() => performance.now());
  const until = async ms => { const wait = t0 + ms - await now(); if (wait > 0) await sleep(wait); };
  const noteShown = () => page.$eval('#sound', e => e.classList.contains('shown') && getComputedStyle(e).display !== 'none' && e.getClientRects().length > 0);
  const seen = [];  // per suspension: the note before, during and after, the context's state before the gesture, the times
  for (const [k, suspended] of SUSPENSIONS.entries()) {
    await until(suspended.at);
    const round = {noteBefore: await noteShown()};
    round.stopAt = await page.evaluate(() => { K3L.ctx.suspend(); return performance.now(); });
    await until(suspended.at + 500);
    round.noteDuring = await noteShown();
    await until(suspended.at + suspended.ms);
    round.stateBefore = await page.evaluate(() => K3L.ctx && K3L.ctx.state);
    round.gestureAt = await now();
    // A tap on the picture (the middle of the page, above the note), or a key the show ignores.
    if (suspended.by === 'tap') await page.touchscreen.tap(320, 200);
    else await page.keyboard.press('a');
    await page.waitForFunction(n => Module.k3lStats.outputs.length >= n, {timeout: 5000, polling: 20}, 4 * k + 6).catch(() => {});
    round.noteAfter = await noteShown();
    seen.push(round);
  }
  const ended = await endedWithin(page, 20000);
  const result = await page.evaluate(() => ({events: Module.k3lStats.events, outputs: Module.k3lStats.outputs}));
  const list = events(result);
  const outputs = Array.from({length: result.outputs.length / 2}, (_, i) => ({at: result.outputs[2 * i], audio: result.outputs[2 * i + 1]}));

  const switched = outputs.map(o => o.audio).join() === '1,0,1,0,1';
  const toSilent = seen.map((round, k) => switched ? outputs[2 * k + 1].at - round.stopAt : NaN);
  const toAudio = seen.map((round, k) => switched ? outputs[2 * k + 2].at - round.gestureAt : NaN);
  const pastDue = seen.map((round, k) => switched ? outputs[2 * k + 2].at - Math.max(round.gestureAt, round.stopAt + AHEAD_MS) : NaN);
  console.log(`# suspended: silent ${toSilent.map(ms => ms.toFixed(1)).join(', ')} ms after suspend(); music back ` +
              `${toAudio.map(ms => ms.toFixed(1)).join(', ')} ms after the tap (3 s suspension), the key (1 s)`);
  check('suspended: the output goes silent when the context stops, back to audio after a tap and after a key',
        switched && toSilent.every(ms => ms >= 0 && ms < STOP_SEEN_MS) && toAudio.every(ms => ms >= 0) &&
        pastDue.every(ms => ms < BACK_MS), `${JSON.stringify(result.outputs)}; gestures ${JSON.stringify(seen)}`);
  check('suspended: nothing asks the sound back without a gesture', seen.every(round => round.stateBefore === 'suspended'),
        seen.map(round => round.stateBefore).join());
  check('suspended: the page shows its note while the sound is interrupted, and only then',
        seen.every(round => !round.noteBefore && round.noteDuring && !round.noteAfter), JSON.stringify(seen));
  check('suspended: every event released once, in order', list.map(e => e.parameter).join() === SUSPEND_CODES.join(),
        list.map(e => e.parameter).join());
  const end = await page.evaluate(() => window.endedAt);
  const quit = list.length === SUSPEND_CODES.length ? list[list.length - 1] : {heard: NaN};
  check('suspended: the show ends by itself at the quit event\'s row', ended && end >= quit.heard && end < quit.heard + 500,
        `ended ${ended}, ${end - quit.heard} ms after the quit event's row`);
  if (list.length !== SUSPEND_CODES.length) return page.close();

  // Each event: its row's time on the timeline, the rejoins before its release, how far it was
  // heard from that time (ms), and whether it was released while the context was stopped.
  const rejoins = outputs.slice(1).filter(o => o.audio).map(o => o.at);
  const timed = list.map((e, i) => {
    const rowMs = t0 + SUSPEND_ROWS[i] * ROW_MS;
    const segment = rejoins.filter(at => e.released >= at).length;
    const stopped = outputs.some((o, j) => !o.audio && e.released >= o.at && (j + 1 === outputs.length || e.released < outputs[j + 1].at));
    return {...e, rowMs, segment, stopped, heardError: e.heard - rowMs};
  });
  // How far the rejoins before each segment moved the timeline (the first event after each tells),
  // and how far each one did.
  const shifts = [0, ...rejoins.map((at, k) => (timed.find(e => e.segment === k + 1) || {heardError: NaN}).heardError)];
  const moves = shifts.slice(1).map((shift, k) => shift - shifts[k]);
  // The release's distance from the row's time on the timeline as the rejoins before it moved it.
  const figures = list => {
    const sorted = list.map(e => e.released - e.rowMs - shifts[e.segment]).sort((a, b) => a - b);
    return list.length ? `median ${sorted[Math.floor(sorted.length / 2)].toFixed(1)} max ${sorted[sorted.length - 1].toFixed(1)} ms` : '-';
  };
  const during = timed.filter(e => e.stopped), after = timed.filter(e => e.segment > 0 && !e.stopped);
  console.log(`# suspended: released - row's time on the timeline: ${during.length} events while stopped ${figures(during)}; ` +
              `${after.length} after the music rejoined ${figures(after)}; the rejoins moved the timeline by ` +
              `${moves.map(ms => ms.toFixed(1)).join(', ')} ms`);
  check('suspended: events heard at their rows\' times, before and while stopped to 2 ms, then moved once at each rejoin',
        during.length === 4 && moves.length === 2 && timed.every(e => Math.abs(e.heardError - shifts[e.segment]) < 2) &&
        moves.every(ms => ms >= REJOIN_MS[0] && ms <= REJOIN_MS[1]), JSON.stringify(timed));
  check('suspended: after a rejoin the events are on the audio clock again', after.length === 6 &&
        after.every(e => e.output !== e.heard) && during.every(e => e.output === e.heard), JSON.stringify(timed));
  check(`suspended: every event released when heard, up to ${LATE_MS} ms late`,
        timed.every(e => e.released >= e.heard && e.released - e.heard <= LATE_MS), JSON.stringify(timed));
  // The picture at each cut's row time on the timeline (moved by the rejoins before it). The first
  // picture of scenes 1 and 2 waits for their shaders (as in cutsFadeQuit).
  const cutMs = timed.map(e => e.rowMs + (shifts[e.segment] || 0));
  const wrong = [];
  for (let i = 0; i + 1 < list.length; i++) {
    const expected = SCENE_OF[list[i].parameter];
    const before = await scenesBetween(page, cutMs[i] - 200, cutMs[i] - 5);
    const shown = await scenesBetween(page, cutMs[i] + (i < 2 ? 500 : 100), cutMs[i + 1] - 5);
    if (shown !== expected || (i > 0 && before.includes(expected))) wrong.push(`cut ${i} (${expected}): before ${before}; after ${shown}`);
  }
  check('suspended: each cut shows at its row\'s time, before, while and after the context is stopped',
        wrong.length === 0, wrong.join('; '));
  check('suspended: no warnings or errors in the console', problems(page).length === 0, problems(page).join(' | '));
  await page.close();
}

// Keys other than Escape do nothing; Escape ends the show and its music at once.
async function keys(browser, base) {
  const page = await open(browser, base + '/keys/', {width: 800, height: 600});
  await page.click('#start');
  await sleep(1000);
  for (const key of ['a', 'q', ' ', 'Enter', 'x', 'F1', 'ArrowLeft', 'Tab']) await page.keyboard.press(key);
  await sleep(500);
  const before = await stats(page);
  check('other keys do nothing', !(await endedWithin(page, 500)) && before.ticks.length > 20 &&
        (await page.evaluate(() => K3L.ctx && K3L.ctx.state)) === 'running');
  const pressed = await page.evaluate(() => performance.now());
  await page.keyboard.press('Escape');
  const ended = await endedWithin(page, 2000);
  const end = await page.evaluate(() => window.endedAt);
  check('Escape ends the show at once', ended && end - pressed < 500, end - pressed);
  check('Escape stops the music', (await page.evaluate(() => K3L.ctx)) === null);
  check('the end screen offers to play again', await page.$eval('#again', e => e.offsetParent !== null));
  await page.close();
}

// No module: the failure text, scene 0 for good, Escape still ends the show. On a touch screen: a tap
// starts the show, and a tap on "play again" loads the page again, to its start screen.
async function missingModule(browser, base) {
  const page = await open(browser, base + '/missing/', {width: 800, height: 600, hasTouch: true});
  check('missing module: the failure text, byte for byte', logged(page) === NOT_LOADED, JSON.stringify(logged(page)));
  await page.tap('#start');
  await sleep(2000);
  const seen = await scenesBetween(page, 0, Infinity);
  check('missing module: the show stays in scene 0', seen === 'dark', seen);
  check('missing module: the canvas keeps its window size', await page.$eval('#canvas', e => e.width + 'x' + e.height) === '640x480');
  await page.keyboard.press('Escape');
  check('missing module: Escape ends the show', await endedWithin(page, 2000));
  const reloaded = page.waitForNavigation({timeout: 10000}).then(() => page.waitForSelector('#start.shown', {timeout: 30000}))
    .then(() => true, () => false);
  await page.tap('#again');
  check('a tap on "play again" loads the page again', await reloaded);
  await page.close();
}

// A point drawn 40 pixels wide through the GL emulation comes out round, as on the desktop: lit
// at its middle and 17 pixels from it along each axis, the background at its square's corners
// (24 pixels out), which a square point would light. Drawn and read back in one animation frame.
async function roundPoint(browser, base) {
  const page = await open(browser, base + '/missing/', {width: 640, height: 480}, {watch: false});
  await page.click('#start');
  await sleep(1000);
  const seen = await page.evaluate(() => new Promise(resolve => requestAnimationFrame(() => {
    const gl = GLctx, [x, y, w, h] = gl.getParameter(gl.VIEWPORT);
    for (const capability of [0x0DE1, 0x0B71, 0x0BC0, 0x0B60, 0x0B44, 0x0C11]) _glDisable(capability);
    _glEnable(0x0BE2);  // blending, source alpha over one minus it, as the show draws its points
    _glBlendFunc(0x0302, 0x0303);
    _glMatrixMode(0x1701); _glLoadIdentity(); _glMatrixMode(0x1700); _glLoadIdentity();
    _glClearColor(0, 0, 0, 1); _glClear(0x4000);
    _glPointSize(40);
    _glBegin(0); _glColor4f(1, 1, 1, 1); _glVertex3f(0, 0, 0); _glEnd();
    const red = (dx, dy) => {
      const pixel = new Uint8Array(4);
      gl.readPixels(x + Math.floor(w / 2) + dx, y + Math.floor(h / 2) + dy, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
      return pixel[0];
    };
    resolve({lit: [red(0, 0), red(17, 0), red(-17, 0), red(0, 17), red(0, -17)],
             corners: [red(17, 17), red(-17, 17), red(17, -17), red(-17, -17)]});
  })));
  check('points are round: lit inside, the background at the corners of their square',
        seen.lit.every(v => v > 200) && seen.corners.every(v => v < 30), JSON.stringify(seen));
  await page.close();
}

// The page while it fetches the show: its loading screen from the first paint, then (the slow page's
// files sent in pieces) the bar moving and the bytes counted against the total of the files,
// "starting…", and the start screen. How soon the first paint came is printed.
async function loading(browser, base, root) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => {
    window.seen = {what: [], bytes: [], widths: []};  // every text and bar width the loading screen showed, in turn
    document.addEventListener('DOMContentLoaded', () => {
      const screen = document.getElementById('loading');
      window.firstLook = {shown: getComputedStyle(screen).display !== 'none', what: document.getElementById('loading-what').textContent};
      new MutationObserver(records => records.forEach(r => {
        if (r.type === 'childList' && r.addedNodes[0]) window.seen[r.target.id === 'loading-bytes' ? 'bytes' : 'what'].push(r.addedNodes[0].data);
        if (r.type === 'attributes' && r.target.id === 'bar-done') window.seen.widths.push(parseFloat(r.target.style.width));
      })).observe(screen, {subtree: true, childList: true, attributes: true, attributeFilter: ['style']});
    });
  });
  await page.goto(base + '/slow/');
  await page.waitForSelector('#start.shown', {timeout: 60000});
  const {seen, firstLook, painted, hidden} = await page.evaluate(() => {
    const paint = performance.getEntriesByType('paint').find(e => e.name === 'first-contentful-paint');
    return {seen: window.seen, firstLook: window.firstLook, hidden: !document.getElementById('loading').classList.contains('shown'),
            painted: paint ? paint.startTime - performance.getEntriesByType('navigation')[0].responseEnd : NaN};
  });
  console.log(`# loading: the loading screen painted ${painted.toFixed(0)} ms after the page arrived; the bar at ` +
              `${seen.widths.filter(w => w > 0).map(w => w.toFixed(0)).join(' ')} %`);
  check('loading: the loading screen is up from the first paint, saying what it fetches',
        firstLook && firstLook.shown && firstLook.what === 'fetching k3lvana.wasm.gz, k3lvana.data.gz, k3lvana.js.gz, data.js',
        JSON.stringify(firstLook));
  const total = PAGE_FILES.slice(1).reduce((sum, file) => sum + fs.statSync(path.join(root, 'slow', file)).size, 0).toLocaleString('en');
  const moving = seen.widths.filter(width => width > 0 && width < 100);
  check('loading: the bar moves while the files arrive, in bytes of the total',
        moving.length >= SLOW_PIECES && moving[0] < 50 && seen.widths.every((width, i) => i === 0 || width >= seen.widths[i - 1]) &&
        seen.bytes.includes(`${total} of ${total} bytes`), JSON.stringify(seen));
  check('loading: then "starting…", then the start screen',
        seen.what[seen.what.length - 1] === 'starting\u2026' && seen.what.slice(0, -1).every(what => /^fetching|^unpacking/.test(what)) && hidden,
        JSON.stringify(seen.what));
  await page.close();
}

// What the page says when it cannot start the show: a file that did not arrive (404), no WebGL,
// the WebAssembly refused, the page opened from a file; each, in words, on the page.
async function failures(browser, base, root) {
  const cases = [
    {name: 'a file missing', url: base + '/broken/', says: 'k3lvana.data.gz did not arrive: the server answered 404 Not Found'},
    {name: 'no WebGL', url: base + '/cuts/', says: 'this browser or its settings do not allow WebGL',
     prepare: () => { const get = HTMLCanvasElement.prototype.getContext;
                      HTMLCanvasElement.prototype.getContext = function (type, ...rest) { return /webgl/.test(type) ? null : get.call(this, type, ...rest); }; }},
    {name: 'the WebAssembly refused', url: base + '/cuts/', says: 'this browser refused to run the show\'s WebAssembly code',
     prepare: () => { WebAssembly.compile = () => Promise.reject(new WebAssembly.CompileError('refused by a setting')); }},
    {name: 'opened from a file', url: 'file://' + path.join(root, 'cuts', 'index.html'), says: 'this page was opened as a file'},
  ];
  for (const {name, url, says, prepare} of cases) {
    const page = await browser.newPage();
    if (prepare) await page.evaluateOnNewDocument(prepare);
    await page.goto(url);
    const shown = await page.waitForSelector('#failed.shown', {timeout: 20000}).then(() => true, () => false);
    const text = shown ? await page.$eval('#failed', e => e.innerText) : '';
    check(`failures: ${name}: the page says so`, shown && text.includes(says) && !(await page.$('#start.shown')), JSON.stringify(text));
    await page.close();
  }
}

// One run of the graphics page (scene 1 from its first event to the quit), the GL context lost and
// restored at the given times (ms after the first event's row) unless `losses` is null; returns the
// page, the first event's row time, the canvas samples, and the times of the losses and restores.
async function playGraphics(browser, base, losses) {
  const page = await open(browser, base + '/graphics/', {width: 640, height: 480});
  await page.evaluate(() => {
    window.graphicsEvents = [];
    for (const type of ['webglcontextlost', 'webglcontextrestored']) {
      document.getElementById('canvas').addEventListener(type, () => window.graphicsEvents.push({type, t: performance.now()}));
    }
  });
  await page.click('#start');
  await page.waitForFunction(() => Module.k3lStats.events.length > 0, {timeout: 10000, polling: 20});
  const t0 = (await stats(page)).events[2];
  const until = async ms => { const wait = t0 + ms - await page.evaluate(() => performance.now()); if (wait > 0) await sleep(wait); };
  const noteSays = () => page.evaluate(() => document.getElementById('graphics').classList.contains('shown') ? document.getElementById('graphics').innerText : '');
  const said = {};
  if (losses) {
    await until(losses.lose);
    await page.evaluate(() => { window.loser = GLctx.getExtension('WEBGL_lose_context'); window.loser.loseContext(); });
    await until(losses.lose + 1000);
    said.lost = await noteSays();
    await until(losses.restore);
    await page.evaluate(() => window.loser.restoreContext());
    await until(losses.restore + 500);
    said.back = await noteSays();
    await until(losses.loseForGood);
    await page.evaluate(() => window.loser.loseContext());
    await until(losses.loseForGood + GONE_MS);
    said.gone = await noteSays();
  }
  const ended = await endedWithin(page, 20000);
  const result = await page.evaluate(() => ({graphicsEvents: window.graphicsEvents, samples: window.samples, events: Module.k3lStats.events,
                                              ticksRan: Module.k3lStats.ticks.filter((t, i) => i % 3 === 1), dry: Module.k3lStats.dry}));
  return {page, t0, ended, said, ...result};
}

// The browser takes the GL context away a few seconds into scene 1 and gives it back 3 s later: the
// page says so meanwhile; after the restore the picture is scene 1's again at once, as a run without
// the loss draws it at the same moment of the song (the same scene, brightness within 15 %, the cells
// of an 8 x 6 grid within 20 of 255 on average: the cubes turn; about 7 when restored, about 50 when
// anything of the restore is left out); the music and the show's ticks went on, the show ends by
// itself. Lost again for good, the page offers a reload.
async function graphicsLoss(browser, base) {
  const plain = await playGraphics(browser, base, null);
  await plain.page.close();
  const run = await playGraphics(browser, base, GRAPHICS_LOSSES);
  const lostAt = (run.graphicsEvents.find(e => e.type === 'webglcontextlost') || {t: NaN}).t;
  const restored = (run.graphicsEvents.find(e => e.type === 'webglcontextrestored') || {t: NaN}).t;
  const near = (t, list, t0) => list.reduce((best, s) => Math.abs(s.t - t0 - t) < Math.abs(best.t - t0 - t) ? s : best, list[0]);
  const after = run.samples.filter(s => s.t > restored && s.t < restored + GRAPHICS_LOSSES.compareMs);
  const compared = after.map(s => {
    const other = near(s.t - run.t0, plain.samples, plain.t0);
    const cells = s.grid.map((v, i) => Math.abs(v - other.grid[i]));
    return {at: Math.round(s.t - restored), scene: s.scene, other: other.scene, off: Math.abs(other.t - plain.t0 - (s.t - run.t0)),
            light: s.light / other.light, grid: cells.reduce((a, b) => a + b, 0) / cells.length};
  });
  const grids = compared.map(c => c.grid).sort((a, b) => a - b);
  console.log(`# graphics: the first picture ${compared.length ? compared[0].at : NaN} ms after the restore; against the run ` +
              `without the loss: grid distance median ${(grids[grids.length >> 1] || NaN).toFixed(1)} max ${(grids[grids.length - 1] || NaN).toFixed(1)}`);
  check('graphics: the page says "the graphics were interrupted" while the context is lost, and not once it is back',
        run.said.lost === 'the graphics were interrupted' && run.said.back === '', JSON.stringify(run.said));
  const wrong = compared.filter(c => !(c.scene === 'red' && c.other === 'red' && c.off < 40 && Math.abs(c.light - 1) < 0.15));
  check('graphics: after the restore, the picture is scene 1 as drawn without the loss, from the first frame',
        compared.length > 10 && wrong.length === 0 && grids[grids.length >> 1] < 20,
        `${JSON.stringify(wrong.slice(0, 5))} wrong of ${compared.length}; first ${JSON.stringify(compared[0])}`);
  const lostFor = run.ticksRan.filter(t => t > lostAt && t < restored).length;
  check('graphics: the music and the ticks went on through the loss',
        events(run).map(e => e.parameter).join() === '1,27' && run.dry === 0 && lostFor >= 0.95 * (restored - lostAt) / TICK_MS,
        `${events(run).map(e => e.parameter)}; dry ${run.dry}; ${lostFor} ticks in the ${(restored - lostAt).toFixed(0)} ms lost`);
  check('graphics: lost for good, the page says so and offers a reload',
        /did not come back/.test(run.said.gone) && /reload/.test(run.said.gone), JSON.stringify(run.said.gone));
  check('graphics: the show ends by itself, no error', run.ended && problems(run.page).length === 0, problems(run.page).join(' | '));
  await run.page.close();
}

// The page in a background tab for 30 s mid-show (another tab brought to the front: the page is
// hidden and its timers are throttled to one a second): the music goes on, every event comes once
// and on time, the show's ticks keep their pace, and the picture on return is the scene the song is at.
async function hiddenTab(browser, base) {
  const page = await open(browser, base + '/hidden/', {width: 640, height: 480});
  await page.evaluate(() => {
    window.visibility = [];
    document.addEventListener('visibilitychange', () => window.visibility.push({state: document.visibilityState, t: performance.now()}));
    window.timerGaps = [];  // a 50 ms timer of the page's own, to see the browser throttle it
    let last = performance.now();
    (function tick() { const now = performance.now(); window.timerGaps.push({t: now, gap: now - last}); last = now; setTimeout(tick, 50); })();
  });
  await page.click('#start');
  await page.waitForFunction(() => Module.k3lStats.events.length > 0, {timeout: 10000, polling: 20});
  const t0 = (await stats(page)).events[2];
  await sleep(Math.max(0, t0 + HIDE_AT - await page.evaluate(() => performance.now())));
  const other = await browser.newPage();
  await other.bringToFront();
  await sleep(HIDDEN_MS);
  await page.bringToFront();
  await other.close();
  const ended = await endedWithin(page, 30000);
  const result = await page.evaluate(() => ({visibility: window.visibility, gaps: window.timerGaps, ticks: Module.k3lStats.ticks,
                                              events: Module.k3lStats.events, dry: Module.k3lStats.dry}));
  const list = events(result);
  const [hidden, shown] = [result.visibility[0] || {t: NaN}, result.visibility[1] || {t: NaN}];
  const throttled = Math.max(...result.gaps.filter(g => g.t > hidden.t && g.t < shown.t).map(g => g.gap));
  const ticks = Array.from({length: result.ticks.length / 3}, (_, i) => result.ticks[3 * i + 1]);  // when each ran
  const whileHidden = ticks.filter(t => t > hidden.t && t < shown.t).length;
  const turns = {};
  ticks.filter(t => t > hidden.t && t < shown.t + 1000).forEach(t => { turns[t] = (turns[t] || 0) + 1; });
  const late = list.map(e => e.released - e.heard);
  const first = await samples(page, shown.t, shown.t + 2000);
  const released = list.filter(e => e.released <= (first[0] || {t: NaN}).t);
  const expected = SCENE_OF[released.length ? released[released.length - 1].parameter : 0];
  console.log(`# hidden: ${(shown.t - hidden.t).toFixed(0)} ms; the page's own timer fired at most ${throttled.toFixed(0)} ms apart; ` +
              `ticks while hidden ${whileHidden} (${((shown.t - hidden.t) / TICK_MS).toFixed(0)} due); most ticks in one turn ` +
              `${Math.max(...Object.values(turns))}; events released - heard max ${Math.max(...late).toFixed(1)} ms; first picture ` +
              `${first.length ? (first[0].t - shown.t).toFixed(1) : NaN} ms after the page was shown again`);
  check('hidden: the page was hidden, its timers throttled', hidden.state === 'hidden' && shown.state === 'visible' && throttled > 500,
        JSON.stringify(result.visibility) + ` gap ${throttled}`);
  check(`hidden: every event once, in order, released up to ${LATE_MS} ms after heard, on the song's rows (the music went on)`,
        list.map(e => e.parameter).join() === HIDDEN_CODES.join() && late.every(ms => ms >= 0 && ms <= LATE_MS) &&
        list.every((e, i) => Math.abs(e.output - list[0].output - 8 * i * ROW_MS) < 2) && result.dry === 0,
        `${list.map(e => e.parameter)}; late ${late.map(ms => ms.toFixed(0))}; dry ${result.dry}`);
  check('hidden: the show\'s ticks kept their pace while hidden', whileHidden >= 0.95 * (shown.t - hidden.t) / TICK_MS,
        `${whileHidden} ticks in ${shown.t - hidden.t} ms`);
  check('hidden: on return the picture is the scene the song is at, from the first frame',
        first.length > 0 && first[0].scene === expected && first[0].t - shown.t < 500, JSON.stringify(first.slice(0, 2).map(s => [s.t - shown.t, s.scene])) + ` expected ${expected}`);
  check('hidden: the show ends by itself, no error', ended && problems(page).length === 0, problems(page).join(' | '));
  await page.close();
}

// The whole show with its own music and data at 1280 x 720: no GL error; the event timing
// and the tick, as the page measured them.
async function wholeSong(browser, base) {
  const page = await open(browser, base + '/show/', {width: 1280, height: 720}, {watch: false, throttled: true});
  console.log(`# page loaded to its start screen in ${page.loadMs} ms at 4 Mbit/s`);
  await pageBytes(page);
  await page.click('#start');
  check('the whole show ends by itself', await endedWithin(page, 300000));
  const glError = await page.evaluate(() => GLctx.getError());
  check('no GL error during the whole show', glError === 0 && problems(page).length === 0,
        `getError ${glError}; ${problems(page).join(' | ')}`);
  const result = await stats(page);
  const errors = events(result).map(e => e.released - e.heard).sort((a, b) => a - b);
  const at = q => errors[Math.min(errors.length - 1, Math.floor(q * errors.length))].toFixed(2);
  const within = errors.filter(e => Math.abs(e) <= 10).length;
  console.log(`# events: ${errors.length}, released - heard: min ${at(0)} median ${at(0.5)} p95 ${at(0.95)} ` +
              `max ${at(1)} ms; within 10 ms: ${within}; the audio queue ran dry ${result.dry} times`);
  const t = result.ticks, n = t.length / 3;  // per tick: due, ran (performance.now()), audio clock
  const audioPerTick = ((t[t.length - 3] - t[t.length - 1]) - (t[0] - t[2])) / (n - 1);
  console.log(`# ticks: ${n}, ${audioPerTick.toFixed(6)} ms each on the audio clock (drift over the song ` +
              `${((audioPerTick - 55) * (n - 1)).toFixed(1)} ms)`);
  check('events in order and none lost', errors.length > 250);
  await page.close();
}

// The page with its own music and data: its start screen, then the dark opening and the first cut
// away from it seen on the canvas.
async function firstCut(browser, base) {
  const page = await open(browser, base + '/show/', {width: 1280, height: 720});
  console.log(`# page loaded to its start screen in ${page.loadMs} ms`);
  await pageBytes(page);
  const clicked = await page.evaluate(() => performance.now());
  await page.click('#start');
  const cut = await (await page.waitForFunction(() => {
    const e = Module.k3lStats.events;
    for (let i = 0; i < e.length; i += 4) if (e[i] >= 1 && e[i] <= 7) return e[i + 3];
    return false;
  }, {timeout: 90000, polling: 100})).jsonValue();
  await sleep(1500);
  const before = await scenesBetween(page, clicked, cut), after = await scenesBetween(page, cut + 100, cut + 1500);
  check('the page opens dark and its first cut shows another picture',
        before.split(' ').includes('dark') && after.split(' ').some(scene => scene !== 'dark'), `${before} | ${after}`);
  check('the console as on a successful load', logged(page) === LOADED && problems(page).length === 0,
        JSON.stringify(logged(page)) + ' ' + problems(page).join(' | '));
  await page.close();
}

(async () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'k3l-web-test.'));
  const server = await serve(root);
  const base = `http://127.0.0.1:${server.address().port}`;
  // Without puppeteer's switches that keep background pages at full speed: a hidden page is throttled as in a real browser.
  const browser = await puppeteer.launch({executablePath: CHROMIUM, headless: true, protocolTimeout: 600000,
    ignoreDefaultArgs: ['--disable-background-timer-throttling', '--disable-backgrounding-occluded-windows', '--disable-renderer-backgrounding'],
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--window-size=1280,720']});
  try {
    makePage(root, 'cuts', 140, CUT_ROWS.map((row, i) => `${row}:${CUT_CODES[i].toString(16)}`));
    makePage(root, 'keys', 400, ['0:01']);
    makePage(root, 'missing', 0, []);
    makePage(root, 'suspended', 110, SUSPEND_ROWS.map((row, i) => `${row}:${SUSPEND_CODES[i].toString(16)}`));
    makePage(root, 'slow', 40, ['0:01']);
    makePage(root, 'broken', 40, ['0:01']);
    fs.rmSync(path.join(root, 'broken', 'k3lvana.data.gz'));
    makePage(root, 'graphics', GRAPHICS_ROWS, ['0:01', `${GRAPHICS_ROWS - 2}:1b`]);
    makePage(root, 'hidden', 8 * HIDDEN_CODES.length + 2, HIDDEN_CODES.map((code, i) => `${8 * i}:${code.toString(16)}`));
    const runs = name => !only || only === name;
    if (runs('cuts')) await cutsFadeQuit(browser, base);
    if (runs('suspended')) await suspension(browser, base);
    if (runs('silent')) await (await playCuts(browser, base, true)).page.close();
    if (runs('keys')) await keys(browser, base);
    if (runs('missing')) await missingModule(browser, base);
    if (runs('points')) await roundPoint(browser, base);
    if (runs('loading')) await loading(browser, base, root);
    if (runs('failures')) await failures(browser, base, root);
    if (runs('graphics')) await graphicsLoss(browser, base);
    if (runs('hidden')) await hiddenTab(browser, base);
    if (wholeShow || firstCutOnly) {
      fs.symlinkSync(path.resolve(webDir), path.join(root, 'show'));
      await (wholeShow ? wholeSong : firstCut)(browser, base);
    }
  } catch (error) {
    check('the run itself', false, error.stack);
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(root, {recursive: true, force: true});
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
})();
