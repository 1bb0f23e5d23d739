#!/usr/bin/env node
// The page in real browsers, Chromium and Firefox (software WebGL), against
// the page the build made and the desktop program's own stills.
//
//   node page_test.mjs --browser chromium|firefox --site DIR --velmora PATH TEST...
//
// Each TEST is a name from the table at the end. Exits 77 (skipped) when
// there is no page (the browser build is off), no such browser, or no
// Puppeteer (`npm ci` here installs it; ./dev test does). Firefox needs an X
// display (xvfb-run -a).
import {spawnSync} from "node:child_process";
import {existsSync, mkdtempSync, rmSync} from "node:fs";
import {tmpdir} from "node:os";
import {join} from "node:path";
import {parseArgs} from "node:util";

const SKIPPED = 77;
// Deep enough to reach the test's own line through the driver's frames.
Error.stackTraceLimit = 40;

function skip(why) {
  console.log(`skipped: ${why}`);
  process.exit(SKIPPED);
}

const driver = await import("./driver.mjs").catch((e) => {
  if (e.code === "ERR_MODULE_NOT_FOUND") skip("Puppeteer is not installed (npm ci in tests/web)");
  throw e;
});
const {Server, decodePng, difference, findBrowser, launch, newPage, readPng, waitFor, waitForState} = driver;

// One moment in every part of the show, outside the random shake of scene 1
// (28 to 40 s): the intro's baked glow, the live rig, the ribbons, the
// metaballs, the creature, the greetings, the glowing cube, the closing
// picture.
const MOMENTS = [5, 22.6, 46, 60.5, 100, 115.25, 147, 182];

// Chromium draws with SwiftShader, Firefox with Mesa's llvmpipe as the
// desktop does: the same pictures, but in Chromium edges are rasterised and
// textures filtered by other code, so a few pixels along edges differ
// strongly and many by a level or two. Measured: a mean difference of at
// most 0.35 of 255 and at least 99.6 % of pixels within 8 levels (Firefox:
// about 0.01). A real fault (a layer missing or doubled, a wrong blend, a
// texture shifted by a texel, a state not put back, the control bar in the
// picture) moves the mean by 10 or more.
const MEAN_DIFFERENCE = 1.0;
const WITHIN = 8;
const SHARE_WITHIN = 0.99;

const {values: options, positionals: wanted} = parseArgs({
  options: {
    browser: {type: "string", default: "chromium"},
    site: {type: "string", default: ""},
    velmora: {type: "string"},
  },
  allowPositionals: true,
});
const browserName = options.browser;

class Failure extends Error {}

function check(condition, message) {
  if (!condition) throw new Failure(message);
}

function near(actual, expected, tolerance, what) {
  check(Math.abs(actual - expected) <= tolerance, `${what}: ${actual}, not within ${tolerance} of ${expected}`);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The desktop program's still of moment `at` (at render scale `scale`).
function desktopStill(at, folder, scale = 1) {
  const out = join(folder, `still-${at}-${scale}.png`);
  const run = spawnSync(options.velmora, ["still", "--at", String(at), "--render-scale", String(scale), "--out", out],
                        {encoding: "utf8"});
  check(run.status === 0, `velmora still --at ${at}: ${run.stderr}`);
  return readPng(out);
}

function assertLikeTheStill(shown, still, what) {
  const d = difference(shown, still, WITHIN);
  check(d.mean < MEAN_DIFFERENCE && d.shareWithin >= SHARE_WITHIN,
        `${what}: mean difference ${d.mean.toFixed(3)}, ${(100 * d.shareWithin).toFixed(2)} % within ${WITHIN}`);
}

// Records what the page offers as downloads (the saved pictures) and puts on
// the clipboard, before its own script runs.
async function recordDownloadsAndClipboard(page) {
  await page.evaluateOnNewDocument(() => {
    window.__saved = [];
    const click = HTMLAnchorElement.prototype.click;
    HTMLAnchorElement.prototype.click = function () {
      if (!this.download) return click.call(this);
      const name = this.download;
      fetch(this.href).then((r) => r.arrayBuffer()).then((bytes) => {
        const all = new Uint8Array(bytes);
        let text = "";
        for (let i = 0; i < all.length; i += 0x8000) text += String.fromCharCode(...all.subarray(i, i + 0x8000));
        window.__saved.push({name, png: btoa(text)});
      });
    };
    window.__copied = [];
    if (navigator.clipboard) {
      const write = navigator.clipboard.writeText.bind(navigator.clipboard);
      navigator.clipboard.writeText = (text) => {
        window.__copied.push(text);
        return write(text).catch(() => {});
      };
    }
  });
}

// The next picture the page saves: its name and its pixels.
async function nextSaved(page, count) {
  await waitFor(page, (n) => window.__saved.length > n, {args: [count]});
  const saved = await page.evaluate((n) => window.__saved[n], count);
  return {name: saved.name, picture: decodePng(Buffer.from(saved.png, "base64"))};
}

// The moment in a saved picture's name ("velmora-0142.250.png").
function savedMoment(name) {
  const parts = /^velmora-(\d+\.\d+)\.png$/.exec(name);
  check(parts, `a saved picture's name: ${name}`);
  return Number(parts[1]);
}

const moment = () => Module._velmora_player_moment();  // eslint-disable-line no-undef

class Session {
  constructor() {
    this.cleanups = [];
    this.folder = mkdtempSync(join(tmpdir(), "velmora-page-test-"));
    this.cleanups.push(() => rmSync(this.folder, {recursive: true, force: true}));
  }

  async server() {
    const server = await Server.start(options.site);
    this.cleanups.push(() => server.stop());
    return server;
  }

  async browser(flags = {}) {
    const browser = await launch(browserName, flags);
    this.cleanups.push(() => browser.close());
    return browser;
  }

  // A page on `query`, once its state is one of `until`; the server and the
  // browser come with it unless given.
  async open(query, {width = 960, height = 640, ratio = 1, touch = false, until = ["ready", "failed"],
                     server, browser, record = false} = {}) {
    this.serverUsed = server || this.serverUsed || await this.server();
    browser = browser || this.browserUsed || (this.browserUsed = await this.browser({touch}));
    const page = await newPage(browser, browserName, {width, height, ratio, touch});
    if (record) await recordDownloadsAndClipboard(page);
    await page.goto(this.serverUsed.url + query);
    const state = await waitForState(page, until);
    return {page, state};
  }

  async close() {
    for (const cleanup of this.cleanups.reverse()) {
      try {
        await cleanup();
      } catch (e) {
        console.error(`cleaning up: ${e.message}`);
      }
    }
  }
}

function assertNoProblems(page) {
  check(page.problems.length === 0, `the page's console:\n  ${page.problems.join("\n  ")}`);
}

async function clickPlay(page) {
  await page.click("#start");
  await waitFor(page, () => Module.velmoraFrames > 5 && document.body.dataset.state === "playing");  // eslint-disable-line no-undef
}

// The box an element shows in ("#canvas": the picture's), in CSS pixels.
async function elementBox(page, selector) {
  return page.evaluate((s) => {
    const r = document.querySelector(s).getBoundingClientRect();
    return {x: r.x, y: r.y, width: r.width, height: r.height};
  }, selector);
}

// Only the picture: the poster's button over a still moment hidden.
async function bare(page) {
  await page.addStyleTag({content: "#poster, #hint, #toast { display: none !important; }"});
}

async function screenshot(page) {
  return decodePng(await page.screenshot({type: "png"}));
}

const controlsShown = () => document.body.dataset.controls === "shown";
const controlsHidden = () => document.body.dataset.controls === "hidden";

const TESTS = {
  // The last seconds of the show: the start button, the sound, the
  // animation frames, and the show ending the program.
  async PlaysToTheEndWithItsMusic(s) {
    const {page, state} = await s.open("?from=183");
    check(state === "ready", `state ${state}`);
    check(await page.$eval("#start", (b) => b.textContent) === "Play from 3:03", "the Play button names the moment");
    await page.click("#start");
    await waitFor(page, () => !!(Module.velmoraMusic && Module.velmoraMusic.source));  // eslint-disable-line no-undef
    // The music is heard at the moment the picture shows.
    const offset = await page.evaluate(() => {
      const audio = Module.velmoraAudio, music = Module.velmoraMusic;  // eslint-disable-line no-undef
      const stamp = audio.getOutputTimestamp();
      const heard = stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
      return music.offset + (heard - music.when) - Module._velmora_demo_time();  // eslint-disable-line no-undef
    });
    near(offset, 0, 0.02, "the music against the picture (s)");
    check(await waitForState(page, ["ended", "failed"]) === "ended", "the show ends");
    check(await page.evaluate(() => Module.velmoraFrames) > 30, "frames were presented");  // eslint-disable-line no-undef
    assertNoProblems(page);
  },

  async KeysAndADoubleClickToggleFullScreen(s) {
    const {page} = await s.open("?from=100");
    await clickPlay(page);
    const full = () => (document.fullscreenElement ? document.fullscreenElement.id : "");
    const presses = [
      () => page.keyboard.press("f"),
      async () => {
        await page.keyboard.down("Alt");
        await page.keyboard.press("Enter");
        await page.keyboard.up("Alt");
      },
      () => page.mouse.click(480, 250, {count: 2}),
    ];
    for (const press of presses) {
      await press();
      check(await waitFor(page, full, {timeout: 10000}) === "stage", "full screen");
      await sleep(300);
      await press();
      await waitFor(page, () => !document.fullscreenElement, {timeout: 10000});
      await sleep(300);
    }
    assertNoProblems(page);
  },

  async ThePlayersKeysPauseAndSeek(s) {
    const {page} = await s.open("?from=100");
    await clickPlay(page);
    await page.keyboard.press(" ");
    const held = await waitFor(page, () => Module._velmora_player_moment() > 0 && document.body.dataset.state === "paused" && Module._velmora_player_moment());  // eslint-disable-line no-undef
    await sleep(500);
    check(await page.evaluate(moment) === held, "paused");
    for (const [key, where] of [["2", 53], ["ArrowRight", 58], [".", 58 + 1 / 60], ["PageDown", 70], ["Home", 0]]) {
      await page.keyboard.press(key);
      await waitFor(page, (w) => Math.abs(Module._velmora_player_moment() - w) < 1e-3, {timeout: 10000, args: [where]});  // eslint-disable-line no-undef
    }
    await page.keyboard.press(" ");  // resumed: the show moves on
    await waitFor(page, () => Module._velmora_player_moment() > 0.2, {timeout: 10000});  // eslint-disable-line no-undef
    check(await page.evaluate(() => document.body.dataset.state) === "playing", "playing again");
    assertNoProblems(page);
  },

  async AMomentOfEverySceneIsTheDesktopStill(s) {
    for (const at of MOMENTS) {
      const {page, state} = await s.open(`?at=${at}`, {width: 480, height: 320, until: ["still", "failed"]});
      check(state === "still", `?at=${at}: state ${state}`);
      check(await page.$eval("#start", (b) => b.textContent) === `Play from ${Math.floor(at / 60)}:${String(Math.floor(at % 60)).padStart(2, "0")}`,
            "a still moment offers to play from it");
      await bare(page);
      assertLikeTheStill(await screenshot(page), desktopStill(at, s.folder), `?at=${at}`);
      assertNoProblems(page);
      await page.close();
    }
  },

  // Also: drawn at the phone's resolution on a software renderer, whatever
  // the window; shown by whole pixels where the ratio is whole, else smoothly.
  async ThePictureKeepsItsAspectInTallAndWideWindows(s) {
    for (const [width, height, rendering] of [[500, 900, "auto"], [1500, 560, "auto"], [960, 640, "pixelated"]]) {
      const {page, state} = await s.open("?at=60.5", {width, height, until: ["still", "failed"]});
      check(state === "still", `state ${state}`);
      const canvas = await page.$eval("#canvas", (c) => [c.width, c.height, c.style.imageRendering]);
      check(JSON.stringify(canvas) === JSON.stringify([320, 480, rendering]), `the canvas in ${width}x${height}: ${canvas}`);
      await bare(page);
      const {x, y, width: w, height: h} = await elementBox(page, "#canvas");
      // Landscape at the picture's own 3:2, as large as fits, centred.
      near(w / h, 1.5, 0.01, "the aspect");
      near(Math.min(width / w, height / h), 1, 0.01, "the fit");
      near(x + w / 2, width / 2, 1, "centred across");
      near(y + h / 2, height / 2, 1, "centred down");
      // What shows: the picture inside the box, black bars outside.
      const shot = await screenshot(page);
      let inside = 0, insideCount = 0, outside = 0;
      for (let r = 0; r < shot.height; ++r) {
        for (let c = 0; c < shot.width; ++c) {
          const i = (r * shot.width + c) * 4;
          const v = Math.max(shot.data[i], shot.data[i + 1], shot.data[i + 2]);
          if (r > y + 1 && r < y + h - 2 && c > x + 1 && c < x + w - 2) {
            inside += v;
            ++insideCount;
          } else if (r < y - 1 || r > y + h || c < x - 1 || c > x + w) {
            outside = Math.max(outside, v);
          }
        }
      }
      check(inside / insideCount > 20, "the picture shows");
      check(outside === 0, `black around the picture (${outside})`);
      await page.close();
    }
  },

  async AMomentThatIsNotOneIsRefused(s) {
    for (const query of ["?at=200", "?from=1:75", "?scale=9"]) {
      const {page, state} = await s.open(query, {width: 480, height: 320, until: ["still", "failed", "ready"]});
      check(state === "failed", `${query}: state ${state}`);
      const said = await page.$eval("#status", (e) => e.textContent);
      check(said.includes(query === "?scale=9" ? "1 to 4" : "0 to 190"), `${query}: ${said}`);
      await page.close();
    }
  },

  async ABrowserWithoutWebGL2IsToldSo(s) {
    // Both ways in need the context; both say so in the same words.
    const browser = await s.browser({noWebGL2: true});
    const said = {};
    for (const query of ["?at=60", ""]) {
      const {page} = await s.open(query, {browser, until: ["ready", "still", "failed"]});
      check(await waitForState(page, ["failed"], 30000) === "failed", "failed");
      said[query] = await page.$eval("#status", (e) => e.textContent);
      await page.close();
    }
    check(said["?at=60"] === said[""], `the same words: ${JSON.stringify(said)}`);
    check(said[""].includes("needs WebGL 2"), said[""]);
  },

  // The control bar: shown on a move of the mouse, gone two seconds after
  // it while playing, there while paused, and never in a saved picture.
  async TheControlsShowOnAMoveHideWhilePlayingAndStayWhilePaused(s) {
    const {page} = await s.open("?from=100", {record: true});
    await clickPlay(page);
    await waitFor(page, controlsHidden, {timeout: 5000});
    const movedAt = Date.now();
    await page.mouse.move(400, 300);
    await page.mouse.move(420, 310);
    await waitFor(page, controlsShown, {timeout: 2000});
    // The buttons are real, labelled buttons.
    const labels = await page.$$eval("#controls button", (all) => all.map((b) => b.getAttribute("aria-label")));
    check(JSON.stringify(labels) === JSON.stringify(["Pause", "Mute", "Copy a link to this moment", "Full screen"]),
          `the buttons: ${labels}`);
    await waitFor(page, controlsHidden, {timeout: 6000});
    // About two seconds after the move: never sooner (a loaded machine can
    // only make it later).
    const hiddenAfter = (Date.now() - movedAt) / 1000;
    check(hiddenAfter >= 1.8 && hiddenAfter < 6, `hidden after ${hiddenAfter} s`);
    // Mute and back, by the button.
    await page.mouse.move(400, 300);
    await waitFor(page, controlsShown, {timeout: 2000});
    await page.click("#mute");
    await waitFor(page, () => "muted" in document.body.dataset && Module.velmoraMusic.gain.gain.value === 0, {timeout: 3000});  // eslint-disable-line no-undef
    check(await page.$eval("#mute", (b) => b.getAttribute("aria-pressed")) === "true", "the button says muted");
    await page.click("#mute");
    await waitFor(page, () => !("muted" in document.body.dataset), {timeout: 3000});
    await waitFor(page, controlsHidden, {timeout: 5000});
    // Paused from the keyboard's focus on the pause button: the bar stays.
    await page.keyboard.press("Tab");
    await waitFor(page, controlsShown, {timeout: 2000});
    await page.focus("#pause");
    await page.keyboard.press("Enter");
    await waitForState(page, ["paused"], 5000);
    check(await page.$eval("#pause", (b) => b.getAttribute("aria-label")) === "Play", "the button says Play");
    await sleep(3000);
    check(await page.evaluate(controlsShown), "shown while paused");
    // The saved picture is the show's alone: the desktop's still, no bar.
    const shown = await page.evaluate(moment);
    await page.keyboard.press("s");
    const saved = await nextSaved(page, 0);
    near(savedMoment(saved.name), shown, 0.0005, "the saved picture's name");
    assertLikeTheStill(saved.picture, desktopStill(shown, s.folder), "the saved picture");
    check(await page.evaluate(controlsShown), "the bar was shown as it was saved");
    assertNoProblems(page);
  },

  // A drag along the bar: the picture follows it, and lands where it was
  // dropped on the desktop's still of that moment.
  async ADragOnTheBarLandsWhereDropped(s) {
    const {page} = await s.open("?from=30", {record: true});
    await clickPlay(page);
    await page.keyboard.press(" ");
    await waitForState(page, ["paused"], 5000);
    const barBox = await elementBox(page, "#bar");
    const picture = await elementBox(page, "#canvas");
    const at = (fraction) => barBox.x + fraction * barBox.width;
    // Where the table puts a point of the bar: whole CSS pixels of the picture.
    const expected = (x) => {
      const bx = Math.round(barBox.x - picture.x);
      return Math.min(Math.max((Math.round(x - picture.x) - bx) / Math.round(barBox.width), 0), 1) * 190;
    };
    const y = barBox.y + barBox.height / 2;
    await page.mouse.move(at(0.2), y);
    await page.mouse.down();
    await page.mouse.move(at(0.4), y, {steps: 5});
    await waitFor(page, (t) => Math.abs(Module._velmora_player_moment() - t) < 1e-6, {timeout: 5000, args: [expected(at(0.4))]});  // eslint-disable-line no-undef
    await page.mouse.move(at(0.63), y, {steps: 5});
    await page.mouse.up();
    const target = expected(at(0.63));
    await waitFor(page, (t) => Math.abs(Module._velmora_player_moment() - t) < 1e-6, {timeout: 5000, args: [target]});  // eslint-disable-line no-undef
    await page.keyboard.press("s");
    const saved = await nextSaved(page, 0);
    near(savedMoment(saved.name), target, 0.0005, "the saved picture's moment");
    assertLikeTheStill(saved.picture, desktopStill(target, s.folder), "the picture where dropped");
    assertNoProblems(page);
  },

  // Touch: a tap shows the bar, a tap with it shown pauses and resumes, a
  // double tap on the right third is five seconds on.
  async TapsPauseAndResumeAndADoubleTapSeeks(s) {
    const {page} = await s.open("?from=100", {touch: true, width: 844, height: 390, ratio: 1});
    await page.tap("#start");
    await waitFor(page, () => Module.velmoraFrames > 5 && document.body.dataset.state === "playing");  // eslint-disable-line no-undef
    await waitFor(page, controlsHidden, {timeout: 5000});
    const picture = await elementBox(page, "#canvas");
    const middle = {x: picture.x + picture.width / 2, y: picture.y + picture.height / 3};
    await page.touchscreen.tap(middle.x, middle.y);
    await waitFor(page, controlsShown, {timeout: 2000});
    check(await page.evaluate(() => document.body.dataset.state) === "playing", "a tap on hidden controls only shows them");
    await page.touchscreen.tap(middle.x, middle.y);
    await waitForState(page, ["paused"], 3000);
    await sleep(400);
    await page.touchscreen.tap(middle.x, middle.y);
    await waitForState(page, ["playing"], 3000);
    await page.touchscreen.tap(middle.x, middle.y);  // paused again, for a steady moment
    await waitForState(page, ["paused"], 3000);
    const before = await page.evaluate(moment);
    const right = {x: picture.x + picture.width * 0.85, y: middle.y};
    await page.touchscreen.tap(right.x, right.y);
    await sleep(60);
    await page.touchscreen.tap(right.x, right.y);
    await waitFor(page, (t) => Math.abs(Module._velmora_player_moment() - t) < 1e-6, {timeout: 3000, args: [before + 5]});  // eslint-disable-line no-undef
    await sleep(500);
    check(await page.evaluate(() => document.body.dataset.state) === "paused", "a double tap does not pause");
    assertNoProblems(page);
  },

  // A 1280 x 720 window at one device pixel a CSS pixel, drawn at three
  // times the phone's resolution as the address asks: 1440 x 960, the
  // desktop's still at that scale once the sharper pictures are in (which
  // the desktop's own tests hold against its 1x still).
  async ThreeTimesTheResolutionIsTheSamePictureSharper(s) {
    const at = 22;
    const {page, state} = await s.open(`?at=${at}&scale=3`, {width: 1280, height: 720, record: true,
                                                             until: ["still", "failed"]});
    check(state === "still", `state ${state}`);
    check(JSON.stringify(await page.$eval("#canvas", (c) => [c.width, c.height])) === "[960,1440]", "the canvas's size");
    await waitFor(page, () => Module.velmoraPictures === "4x", {timeout: 60000});  // eslint-disable-line no-undef
    await page.keyboard.press("s");
    const {picture} = await nextSaved(page, 0);
    check(picture.width === 1440 && picture.height === 960, `saved ${picture.width}x${picture.height}`);
    assertLikeTheStill(picture, desktopStill(at, s.folder, 3), "at render scale 3");
    assertNoProblems(page);
  },

  // A phone held upright (390 x 844 at three device pixels a CSS pixel):
  // the picture as wide as the screen, a word about turning it, and the
  // poster's Play by touch.
  async APhoneHeldUprightShowsTheHintAndPlaysByTouch(s) {
    const browser = await s.browser({touch: true});
    const phone = await newPage(browser, browserName, {width: 390, height: 844, ratio: 3, touch: true});
    // What the poster said while the files came in.
    await phone.evaluateOnNewDocument(() => {
      window.__said = [];
      new MutationObserver(() => {
        const status = document.getElementById("status");
        if (status && window.__said[window.__said.length - 1] !== status.textContent) window.__said.push(status.textContent);
      }).observe(document, {subtree: true, childList: true, characterData: true});
    });
    const server = await s.server();
    await phone.goto(server.url);
    await waitForState(phone, ["ready", "failed"]);
    const page = phone;
    const said = await page.evaluate(() => window.__said);
    check(said.some((line) => /^Loading \d+\.\d of 6\.\d MB$/.test(line)), `the loading line: ${JSON.stringify(said)}`);
    check(await page.evaluate(() => devicePixelRatio) === 3, "three device pixels a CSS pixel");
    const picture = await elementBox(page, "#canvas");
    near(picture.width, 390, 1, "the picture's width");
    const hint = await page.$eval("#hint", (e) => [getComputedStyle(e).display, e.getBoundingClientRect().top, e.textContent]);
    check(hint[0] !== "none" && hint[2].includes("Turn your phone"), `the hint: ${hint}`);
    check(hint[1] >= picture.y + picture.height, "the hint below the picture");
    check(await page.$eval("#poster h1", (e) => e.textContent) === "velmora", "the show's name");
    check(await page.$eval("#about", (e) => e.textContent.includes("3:10")), "the show's length");
    await page.tap("#start");
    await waitFor(page, () => Module.velmoraFrames > 5 && Module._velmora_player_moment() > 0.3);  // eslint-disable-line no-undef
    check(await page.evaluate(() => document.body.dataset.state) === "playing", "playing");
    // Where an element cannot go full screen, the picture fills the page.
    await page.evaluate(() => {
      delete Element.prototype.requestFullscreen;
      delete Element.prototype.webkitRequestFullscreen;
    });
    await page.keyboard.press("f");
    await waitFor(page, () => "filled" in document.body.dataset, {timeout: 3000});
    check(await page.$eval("#hint", (e) => getComputedStyle(e).display) === "none", "no hint when filled");
    assertNoProblems(page);
  },

  // ?loop: at the end, from the start again.
  async ALoopPlaysAgainFromTheStart(s) {
    const {page} = await s.open("?from=188&loop");
    await clickPlay(page);
    await waitFor(page, () => Module._velmora_player_moment() > 0.3 && Module._velmora_player_moment() < 5, {timeout: 20000});  // eslint-disable-line no-undef
    check(await page.evaluate(() => document.body.dataset.state) === "playing", "playing on");
    assertNoProblems(page);
  },

  // A link to a moment shows it and plays from it; the link the page
  // copies names the moment shown.
  async ALinkToAMomentPlaysFromItAndCopiesIt(s) {
    const {page, state} = await s.open("?at=2:22", {until: ["still", "failed"], record: true});
    check(state === "still", `state ${state}`);
    check(await page.evaluate(moment) === 142, "the moment shown");
    await page.click("#start");
    await waitFor(page, () => document.body.dataset.state === "playing" && Module._velmora_player_moment() > 142.2);  // eslint-disable-line no-undef
    check(await page.evaluate(moment) < 146, "played from the moment");
    await page.keyboard.press(" ");
    await waitForState(page, ["paused"], 5000);
    const shown = await page.evaluate(moment);
    await page.keyboard.press("c");
    await page.click("#share");
    const copied = await waitFor(page, () => window.__copied.length >= 2 && window.__copied);
    for (const link of copied) {
      const url = new URL(link);
      check(!url.searchParams.has("at"), `no ?at= in ${link}`);
      const [minutes, seconds] = url.searchParams.get("from").split(":").map(Number);
      near(minutes * 60 + seconds, shown, 0.006, `the moment ${link} names`);
    }
    assertNoProblems(page);
  },

  // After a first visit the page is kept: with the server gone, a reload
  // plays.
  async OfflineAReloadPlays(s) {
    const server = await s.server();
    const {page} = await s.open("", {server});
    await waitFor(page, () => document.body.dataset.offline === "ready", {timeout: 60000});
    // Installable: a manifest with the name, landscape, full screen and the icons.
    const manifest = await page.evaluate(async () => {
      const link = document.querySelector("link[rel=manifest]");
      const m = await (await fetch(link.href)).json();
      const icons = await Promise.all(m.icons.map(async (i) => (await fetch(i.src)).ok));
      return {...m, iconsFetched: icons};
    });
    check(manifest.name === "velmora" && manifest.orientation === "landscape" && manifest.display === "fullscreen" &&
          manifest.theme_color && manifest.icons.some((i) => i.sizes === "512x512") && manifest.iconsFetched.every(Boolean),
          `the manifest: ${JSON.stringify(manifest)}`);
    await server.stop();
    await page.reload();
    check(await waitForState(page, ["ready", "failed"]) === "ready", "ready offline");
    await clickPlay(page);
  },

  // The graphics lost and back: the page says so, and carries on at the
  // same moment.
  async ALostContextCarriesOnAtTheSameMoment(s) {
    const {page} = await s.open("?from=100");
    await clickPlay(page);
    await page.evaluate(() => {
      window.__lose = document.getElementById("canvas").getContext("webgl2").getExtension("WEBGL_lose_context");
      window.__lose.loseContext();
    });
    await waitForState(page, ["lost"], 10000);
    const lostAt = await page.evaluate(moment);
    check(lostAt >= 100 && lostAt < 105, `lost at ${lostAt}`);
    check((await page.$eval("#status", (e) => e.textContent)).includes("carries on"), "the page says so");
    await sleep(1000);
    check(Math.abs(await page.evaluate(moment) - lostAt) < 0.05, "the show stands still while lost");
    await Promise.all([page.waitForNavigation(), page.evaluate(() => window.__lose.restoreContext())]);
    await waitFor(page, () => document.body.dataset.state === "playing" && Module.velmoraFrames > 5);  // eslint-disable-line no-undef
    const after = await page.evaluate(moment);
    check(after >= lostAt - 0.01 && after < lostAt + 3, `carried on at ${after}, lost at ${lostAt}`);
    check(new URL(page.url()).searchParams.has("from"), "the address names the moment");
  },
};

// The driver's own errors when the browser no longer answers, as against a
// wait that timed out on the page.
function stoppedAnswering(e) {
  return e && (e.name === "ProtocolError" || e.name === "TargetCloseError");
}

async function main() {
  if (!options.site || !existsSync(join(options.site, "index.html"))) {
    skip("the browser build is off (configure with VELMORA_WEB=ON, or run ./dev web build)");
  }
  if (!findBrowser(browserName)) skip(`${browserName} is not installed`);
  const names = wanted.length ? wanted : Object.keys(TESTS);
  let failed = 0;
  for (const name of names) {
    const test = TESTS[name];
    if (!test) {
      console.error(`no test ${name}; there are: ${Object.keys(TESTS).join(", ")}`);
      process.exit(2);
    }
    for (let attempt = 1; ; ++attempt) {
      const session = new Session();
      const began = Date.now();
      try {
        await test(session);
        console.log(`ok ${name} in ${browserName} (${((Date.now() - began) / 1000).toFixed(1)} s)`);
        break;
      } catch (e) {
        // A headless browser on a loaded machine now and then stops
        // answering its driver altogether; that says nothing of the page, so
        // such a test runs once more in a fresh browser. A check that fails,
        // or a second hang, is a failure.
        if (attempt === 1 && !(e instanceof Failure) && stoppedAnswering(e)) {
          console.log(`${name} in ${browserName}: the browser stopped answering, once more in a fresh one:\n${e.stack}`);
          continue;
        }
        ++failed;
        console.log(`FAILED ${name} in ${browserName}: ${e instanceof Failure ? e.message : e.stack}`);
        break;
      } finally {
        await session.close();
      }
    }
  }
  process.exit(failed ? 1 : 0);
}

await main();
