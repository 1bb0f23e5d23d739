// The page's server and the two browsers, for the page's tests and its
// benchmark: Debian's Chromium and Firefox ESR driven by puppeteer-core
// (installed by `npm ci` here, without a browser download). Every process
// started here is stopped here, by its PID: the server by this module, the
// browser by Puppeteer, which started it.
import {spawn} from "node:child_process";
import {existsSync, readFileSync} from "node:fs";
import {dirname, join} from "node:path";
import {createInterface} from "node:readline";
import {fileURLToPath} from "node:url";

import {PNG} from "pngjs";
import puppeteer from "puppeteer-core";

const here = dirname(fileURLToPath(import.meta.url));
const serve = join(here, "..", "..", "web", "serve.py");

export const BROWSERS = {
  chromium: ["/usr/bin/chromium", "/usr/bin/chromium-browser"],
  firefox: ["/usr/bin/firefox-esr", "/usr/bin/firefox"],
};

export function findBrowser(name) {
  return (BROWSERS[name] || []).find((path) => existsSync(path)) || null;
}

// Software WebGL (SwiftShader through ANGLE), and none of the browser's own
// traffic. --no-sandbox: the sandbox cannot start as root.
const CHROMIUM_ARGS = [
  "--use-angle=swiftshader",
  "--enable-unsafe-swiftshader",
  "--disable-gpu-sandbox",
  "--no-sandbox",
  "--no-first-run",
  "--no-default-browser-check",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
  "--disable-extensions",
  "--mute-audio",
  "--hide-scrollbars",
];

// Firefox: a running Web Audio clock without a sound card; with `touch`, a
// touch screen as a phone has one.
const FIREFOX_PREFS = {
  "media.cubeb.force_mock_context": true,
  "browser.shell.checkDefaultBrowser": false,
  "datareporting.policy.dataSubmissionEnabled": false,
  "toolkit.telemetry.reportingpolicy.firstRun": false,
};
const FIREFOX_TOUCH_PREFS = {
  "dom.w3c_touch_events.enabled": 1,
  "dom.w3c_touch_events.legacy_apis.enabled": true,
  "dom.maxtouchpoints.testing.value": 5,
  "ui.primaryPointerCapabilities": 1,
  "ui.allPointerCapabilities": 1,
};

// One headless browser with a fresh profile. `touch`: the screen is a touch
// screen; `noWebGL2`: WebGL 2 is turned off.
export async function launch(name, {touch = false, noWebGL2 = false} = {}) {
  const executablePath = findBrowser(name);
  if (!executablePath) throw new Error(`${name} is not installed`);
  if (name === "firefox") {
    return puppeteer.launch({
      browser: "firefox",
      executablePath,
      headless: true,
      extraPrefsFirefox: {...FIREFOX_PREFS, ...(touch ? FIREFOX_TOUCH_PREFS : {}),
                          ...(noWebGL2 ? {"webgl.enable-webgl2": false} : {})},
      protocolTimeout: 180000,
    });
  }
  return puppeteer.launch({
    executablePath,
    headless: true,
    args: [...CHROMIUM_ARGS, ...(noWebGL2 ? ["--disable-webgl2"] : [])],
    protocolTimeout: 180000,
  });
}

// web/serve.py on a free port of 127.0.0.1, serving `site`.
export class Server {
  static async start(site) {
    const server = new Server();
    server.process = spawn("python3", [serve, "--quiet", site], {stdio: ["ignore", "pipe", "inherit"]});
    const lines = createInterface({input: server.process.stdout});
    server.url = await new Promise((resolve, reject) => {
      lines.once("line", resolve);
      server.process.once("exit", (code) => reject(new Error(`the server ended (${code}) before it served`)));
    });
    lines.close();
    if (!server.url.startsWith("http://127.0.0.1:")) {
      await server.stop();
      throw new Error(`the server did not start: ${server.url}`);
    }
    return server;
  }

  async stop() {
    const child = this.process;
    if (child.exitCode !== null || child.signalCode !== null) return;
    const ended = new Promise((resolve) => child.once("exit", resolve));
    child.kill("SIGTERM");
    const timer = setTimeout(() => child.kill("SIGKILL"), 5000);
    await ended;
    clearTimeout(timer);
  }
}

// A new tab of `width` x `height` CSS pixels at `ratio` device pixels each
// (a touch screen with `touch`), with the page's problems collected: what it
// says in its console at warning level or above, and what it throws.
export async function newPage(browser, name, {width, height, ratio = 1, touch = false}) {
  const page = await browser.newPage();
  const viewport = {width, height, deviceScaleFactor: ratio};
  // Chromium takes touch per tab; Firefox from its preferences at launch.
  if (touch && name === "chromium") Object.assign(viewport, {hasTouch: true, isMobile: true});
  await page.setViewport(viewport);
  page.problems = [];
  page.on("console", (message) => {
    const type = message.type();
    if (!["error", "warn", "warning", "assert"].includes(type)) return;
    const text = message.text();
    // The show reads pixels back by design (the metaballs, a start anywhere),
    // and the GL driver says once that this stalls the GPU.
    if (/GL Driver Message \(OpenGL, Performance|GPU stall due to ReadPixels/.test(text)) return;
    page.problems.push(`console.${type}: ${text}`);
  });
  page.on("pageerror", (error) => page.problems.push(`exception: ${error.message || error}`));
  return page;
}

// Waits for the page's state to be one of `states`; returns it.
export async function waitForState(page, states, timeout = 120000) {
  const handle = await page.waitForFunction(
    (wanted) => document.body && wanted.includes(document.body.dataset.state) && document.body.dataset.state,
    {timeout, polling: 50}, states);
  return handle.jsonValue();
}

// Waits until `fn` (run in the page, with `args`) is truthy; returns its value.
export async function waitFor(page, fn, {timeout = 60000, args = []} = {}) {
  const handle = await page.waitForFunction(fn, {timeout, polling: 50}, ...args);
  return handle.jsonValue();
}

// A picture as RGBA rows: {width, height, data}.
export function decodePng(bytes) {
  return PNG.sync.read(Buffer.from(bytes));
}

export function readPng(path) {
  return decodePng(readFileSync(path));
}

// How far two pictures of one size are apart, over the colour channels: the
// mean difference, and the share of pixels within `within` levels.
export function difference(a, b, within = 8) {
  if (a.width !== b.width || a.height !== b.height) {
    throw new Error(`${a.width}x${a.height} is not ${b.width}x${b.height}`);
  }
  let sum = 0;
  let close = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    let most = 0;
    for (let c = 0; c < 3; ++c) {
      const d = Math.abs(a.data[i + c] - b.data[i + c]);
      sum += d;
      most = Math.max(most, d);
    }
    if (most <= within) ++close;
  }
  const pixels = a.width * a.height;
  return {mean: sum / (pixels * 3), shareWithin: close / pixels};
}
