#!/usr/bin/env node
// The page's figures in headless Chromium and Firefox (software WebGL: a
// floor, not what a graphics card gives), through the page tests' driver
// (tests/web/driver.mjs; `npm ci` in tests/web first, and Firefox under
// xvfb-run -a).
//
//   node bench/web_page.mjs [--browser chromium|firefox] [--site build-web] [--out DIR] [PART ...]
//
// PART is one or more of (all by default):
//   download    the files a browser fetches at render scale 1 and with the
//               sharper pictures, as stored and gzip-compressed
//   start-up    from navigation to the poster, and from the click on Play to
//               the first frame of the show (median of three first visits)
//   frame-cost  the main thread's time per frame in the page's animation
//               frames (script and WebAssembly, and the calls that wait for
//               the renderer to finish drawing: pixels read back, which the
//               show does by design, and, in Firefox, where WebGL runs on
//               llvmpipe in the page's own process, rewriting the GL
//               emulation's one vertex buffer while draws that read it are
//               queued), the page's own work (the rest), in Chromium the
//               renderer's script time from its performance counters, and
//               frames presented a second, at render scales 1 and 2, over
//               spans of the show
//   screenshots the page on a desktop (1280 x 720) and on a phone held
//               upright (390 x 844 at three device pixels), into --out
//   frame-rate  the whole show played once: frames presented a second per part
import {mkdirSync, readFileSync, readdirSync, statSync} from "node:fs";
import {dirname, join} from "node:path";
import {fileURLToPath} from "node:url";
import {parseArgs} from "node:util";
import {gzipSync} from "node:zlib";

const here = dirname(fileURLToPath(import.meta.url));
const {Server, launch, newPage, waitFor, waitForState} = await import(join(here, "..", "tests", "web", "driver.mjs"));

const {values: options, positionals} = parseArgs({
  options: {
    browser: {type: "string", default: "chromium"},
    site: {type: "string", default: join(here, "..", "build-web")},
    out: {type: "string", default: join(here, "..", "build", "web-bench")},
  },
  allowPositionals: true,
});
const ALL = ["download", "start-up", "frame-cost", "screenshots", "frame-rate"];
const parts = positionals.length ? positionals : ALL;
for (const part of parts) {
  if (!ALL.includes(part)) {
    console.error(`no part called ${part}: ${ALL.join(", ")}`);
    process.exit(2);
  }
}
const name = options.browser;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// Recorded in the page from its first moment, on the page's clock (ms since
// navigation): when each state began, when the count of presented frames
// changed, the click, and the time spent in the page's own animation frames.
function watch() {
  const raf = window.requestAnimationFrame.bind(window);
  const w = window.__velmora = {states: {}, frames: [], work: 0, workFrames: 0, waits: 0};
  for (const call of ["readPixels", "bufferSubData"]) {
    const gl = WebGL2RenderingContext.prototype[call];
    WebGL2RenderingContext.prototype[call] = function (...args) {
      const began = performance.now();
      try {
        return gl.apply(this, args);
      } finally {
        w.waits += performance.now() - began;
      }
    };
  }
  window.requestAnimationFrame = (callback) => raf((now) => {
    const began = performance.now();
    try {
      callback(now);
    } finally {
      w.work += performance.now() - began;
      ++w.workFrames;
    }
  });
  let last = 0;
  const look = () => {
    const state = document.body && document.body.dataset.state;
    if (state && !(state in w.states)) w.states[state] = performance.now();
    const n = (window.Module && window.Module.velmoraFrames) || 0;
    if (n !== last) {
      w.frames.push([n, performance.now()]);
      last = n;
    }
    raf(look);
  };
  raf(look);
  document.addEventListener("click", () => {
    w.click = performance.now();
  }, true);
}

async function open(browser, server, query, viewport = {width: 960, height: 640}) {
  const page = await newPage(browser, name, viewport);
  await page.evaluateOnNewDocument(watch);
  await page.goto(server.url + query);
  return page;
}

function download(site) {
  const four = new Set(["index-4x.data", "index-4x.js"]);
  const rows = readdirSync(site).filter((f) => statSync(join(site, f)).isFile()).sort().map((file) => {
    const data = readFileSync(join(site, file));
    return {file, stored: data.length, packed: gzipSync(data, {level: 9}).length};
  });
  console.log("download (bytes)              stored       gzip");
  for (const r of rows) console.log(`  ${r.file.padEnd(24)} ${r.stored.toLocaleString("en").padStart(11)} ${r.packed.toLocaleString("en").padStart(10)}`);
  const sum = (list, key) => list.reduce((a, r) => a + r[key], 0);
  const one = rows.filter((r) => !four.has(r.file));
  console.log(`  ${"at scale 1".padEnd(24)} ${sum(one, "stored").toLocaleString("en").padStart(11)} ${sum(one, "packed").toLocaleString("en").padStart(10)}`);
  console.log(`  ${"with the 4x pictures".padEnd(24)} ${sum(rows, "stored").toLocaleString("en").padStart(11)} ${sum(rows, "packed").toLocaleString("en").padStart(10)}`);
}

// Each run in a fresh browser: a first visit, nothing kept.
async function startUp(server, runs = 3) {
  const rows = [];
  for (let i = 0; i < runs; ++i) {
    const browser = await launch(name);
    const page = await open(browser, server, "");
    await waitForState(page, ["ready"]);
    await waitFor(page, () => Module.velmoraMusic && Module.velmoraMusic.buffer !== null, {timeout: 120000});  // eslint-disable-line no-undef
    const before = await page.evaluate(() => Module.velmoraFrames);  // eslint-disable-line no-undef
    await page.click("#start");
    await waitFor(page, (n) => window.__velmora.frames.some((f) => f[0] > n), {args: [before], timeout: 120000});
    const w = await page.evaluate(() => window.__velmora);
    const first = w.frames.find((f) => f[0] > before);
    rows.push([w.states.ready, first[1] - w.click]);
    await browser.close();
  }
  console.log(`start-up in ${name} (median of ${runs}, ms): the poster ${median(rows.map((r) => r[0])).toFixed(0)} after ` +
              `navigation; the first frame of the show ${median(rows.map((r) => r[1])).toFixed(0)} after the click on Play`);
}

async function frameCost(browser, server) {
  console.log(`frame cost in ${name} (ms of the main thread a frame; frames presented a second)`);
  console.log("  scale  span                  frames      waits  own work  renderer's script  frames/s");
  for (const scale of [1, 2]) {
    for (const [from, part] of [[5, "intro glow"], [20, "title"], [60, "metaballs"], [100, "creature"],
                                [116, "greetings"], [140, "glowing cube"]]) {
      const page = await open(browser, server, `?from=${from}&scale=${scale}`);
      await waitForState(page, ["ready"]);
      await page.click("#start");
      await waitFor(page, () => Module.velmoraFrames > 30);  // eslint-disable-line no-undef
      const cdp = name === "chromium" ? await page.createCDPSession() : null;
      if (cdp) await cdp.send("Performance.enable");
      const metric = async () => {
        if (!cdp) return 0;
        const {metrics} = await cdp.send("Performance.getMetrics");
        return metrics.find((m) => m.name === "ScriptDuration").value * 1000;
      };
      const sample = async () => ({script: await metric(), ...(await page.evaluate(() => ({
        work: window.__velmora.work, workFrames: window.__velmora.workFrames, waits: window.__velmora.waits,
        presented: Module.velmoraFrames,  // eslint-disable-line no-undef
        at: performance.now()})))});
      const a = await sample();
      await sleep(6000);
      const b = await sample();
      const frames = b.workFrames - a.workFrames;
      const presented = b.presented - a.presented;
      const script = cdp ? ((b.script - a.script) / presented).toFixed(2).padStart(17) : "-".padStart(17);
      const work = (b.work - a.work) / frames;
      const waits = (b.waits - a.waits) / frames;
      console.log(`  ${String(scale).padStart(5)}  ${`${part} (${from} s)`.padEnd(20)} ${work.toFixed(2).padStart(8)} ` +
                  `${waits.toFixed(2).padStart(10)} ${(work - waits).toFixed(2).padStart(9)}  ${script}  ` +
                  `${((1000 * presented) / (b.at - a.at)).toFixed(1).padStart(8)}`);
      await page.close();
    }
  }
}

async function screenshots(browser, server) {
  mkdirSync(options.out, {recursive: true});
  const desktop = await open(browser, server, "?from=22", {width: 1280, height: 720});
  await waitForState(desktop, ["ready"]);
  await desktop.screenshot({path: join(options.out, `${name}-desktop-poster.png`)});
  await desktop.click("#start");
  await waitFor(desktop, () => Module._velmora_player_moment() > 23);  // eslint-disable-line no-undef
  await desktop.mouse.move(600, 300);
  await desktop.mouse.move(640, 320);
  await waitFor(desktop, () => document.body.dataset.controls === "shown");
  await sleep(300);
  await desktop.screenshot({path: join(options.out, `${name}-desktop-playing.png`)});
  await desktop.close();
  const touchBrowser = await launch(name, {touch: true});
  try {
    const phone = await newPage(touchBrowser, name, {width: 390, height: 844, ratio: 3, touch: true});
    await phone.goto(server.url);
    await waitForState(phone, ["ready"]);
    await phone.screenshot({path: join(options.out, `${name}-phone-poster.png`)});
    await phone.tap("#start");
    await waitFor(phone, () => Module._velmora_player_moment() > 1);  // eslint-disable-line no-undef
    await sleep(300);
    await phone.screenshot({path: join(options.out, `${name}-phone-playing.png`)});
  } finally {
    await touchBrowser.close();
  }
  console.log(`screenshots in ${options.out}`);
}

async function frameRate(browser, server) {
  const page = await open(browser, server, "");
  await waitForState(page, ["ready"]);
  await waitFor(page, () => Module.velmoraMusic && Module.velmoraMusic.buffer !== null, {timeout: 120000});  // eslint-disable-line no-undef
  await page.click("#start");
  const samples = [];
  for (;;) {
    const [state, t, n] = await page.evaluate(() => [document.body.dataset.state, Module._velmora_demo_time(), Module.velmoraFrames]);  // eslint-disable-line no-undef
    samples.push([t, n]);
    if (state !== "playing") break;
    await sleep(250);
  }
  const spans = [["drill rig", 0, 53], ["metaballs", 53, 70], ["creature", 70, 114.5], ["greetings", 114.5, 130],
                 ["glowing cube", 130, 180], ["closing picture", 180, 185], ["whole show", 0, 185]];
  console.log(`frame rate in ${name} over the whole show (frames presented a second)`);
  for (const [part, begin, end] of spans) {
    const inside = samples.filter(([t]) => t >= begin + 0.5 && t <= end - 0.25);
    if (inside.length < 2) continue;
    const [[t0, n0], [t1, n1]] = [inside[0], inside[inside.length - 1]];
    console.log(`  ${part.padEnd(18)} ${((n1 - n0) / (t1 - t0)).toFixed(1).padStart(6)}`);
  }
  console.log(`console: ${page.problems.length} problems${page.problems.map((p) => `\n  ${p}`).join("")}`);
  await page.close();
}

if (parts.includes("download")) download(options.site);
const browserParts = parts.filter((p) => p !== "download");
if (browserParts.length) {
  const server = await Server.start(options.site);
  const browser = await launch(name);
  try {
    if (parts.includes("start-up")) await startUp(server);
    if (parts.includes("frame-cost")) await frameCost(browser, server);
    if (parts.includes("screenshots")) await screenshots(browser, server);
    if (parts.includes("frame-rate")) await frameRate(browser, server);
  } finally {
    await browser.close();
    await server.stop();
  }
}
