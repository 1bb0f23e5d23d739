// The page around the show: loads the program and the show's files, shows a
// poster (the show's title picture, drawn by the program, its name and
// length, and Play), and plays when the viewer asks (browsers allow sound
// only after a gesture). The picture is as large as the window allows at its
// own aspect; the control bar over it is drawn here from the show's
// on-screen display (src/shell/web/page_player.cpp), never into the picture.
// The address can name a moment and more:
//   ?at=MOMENT     shows that moment, with a button to play from it
//   ?from=MOMENT   plays from there
//   ?loop          plays again from the start at the end
//   ?scale=N       draws at N (1 to 4) times the phone's resolution, whatever
//                  the screen and the renderer
// A moment is seconds (130, 12.5) or minutes and seconds (2:10, 2:05.5),
// from 0 to the show's end (190, as the program says).
//
// The page's state is body[data-state], for the viewer's style and for
// scripts and tests: loading, drawing (a moment named by ?at= being drawn),
// ready (the poster and Play), still (the moment ?at= names, and Play from
// it), playing, paused, ended, failed, lost (the graphics were lost; the
// show carries on when they come back).
"use strict";

(() => {
  const kPictureWidth = 480;  // the phone's screen held sideways
  const kPictureHeight = 320;
  const kMaxScale = 4;  // the sharpest pictures the site has
  // The poster: the show's title over the drill rig.
  const kPosterMoment = 22.6;
  // Two taps this close in time (ms) and place (CSS px) are a double tap;
  // a touch is a tap when it is short and stays put.
  const kDoubleTapMs = 300;
  const kDoubleTapDistance = 40;
  const kTapMs = 500;
  const kTapDistance = 12;

  const $ = (id) => document.getElementById(id);
  const body = document.body;
  const stage = $("stage");
  const canvas = $("canvas");
  const poster = $("poster");
  const start = $("start");
  const status = $("status");
  const controls = $("controls");
  const bar = $("bar");
  const volume = $("volume");

  // What the program answers, from either way in, when the browser gives the
  // canvas no WebGL 2 context (src/main_web.cpp), and what the viewer reads.
  const kNoWebGL2 = 2;
  const kNoWebGL2Text =
      "The show needs WebGL 2, which this browser does not offer or has turned off (the browser's console says more).";

  function failure(what, code) {
    return code === kNoWebGL2 ? kNoWebGL2Text : `${what} (status ${code}); the browser's console says why.`;
  }

  function setState(state, text) {
    if (body.dataset.state !== state) body.dataset.state = state;
    if (text !== undefined) status.textContent = text;
  }

  function flag(name, on) {
    if (on && !(name in body.dataset)) body.dataset[name] = "";
    if (!on && name in body.dataset) delete body.dataset[name];
  }

  // "2:05" for 125.4 s.
  function label(seconds) {
    const s = Math.floor(seconds + 1e-6);
    return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, "0")}`;
  }

  // A moment as a link names it: "2:05", or "2:05.25" to the hundredth.
  function momentText(seconds) {
    const hundredths = Math.round(Math.max(seconds, 0) * 100);
    const minutes = Math.floor(hundredths / 6000);
    const rest = hundredths - minutes * 6000;
    let text = String(Math.floor(rest / 100)).padStart(2, "0");
    if (rest % 100) text += `.${String(rest % 100).padStart(2, "0")}`.replace(/0$/, "");
    return `${minutes}:${text}`;
  }

  const params = new URLSearchParams(location.search);

  // A moment named in the address: null when absent, NaN when it is not one
  // (or after `showEnd`).
  function moment(name, showEnd) {
    const value = params.get(name);
    if (value === null) return null;
    const parts = /^\s*(?:(\d+):)?(\d+(?:\.\d*)?|\.\d+)\s*$/.exec(value);
    if (!parts) return NaN;
    const seconds = Number(parts[1] || 0) * 60 + Number(parts[2]);
    if (parts[1] !== undefined && Number(parts[2]) >= 60) return NaN;
    return seconds <= showEnd ? seconds : NaN;
  }

  // What the viewer sees happen for a moment (a copied link).
  let toastTimer = 0;
  function toast(text) {
    const note = $("toast");
    note.textContent = text;
    note.classList.add("shown");
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => note.classList.remove("shown"), 2500);
  }

  // ---- The picture's place ------------------------------------------------

  // The landscape picture's box on the stage, in CSS pixels.
  const box = {left: 0, top: 0, width: kPictureWidth, height: kPictureHeight};
  let opened = false;  // the program's show is there (velmora_open)

  function touchScreen() {
    return navigator.maxTouchPoints > 0 || matchMedia("(pointer: coarse)").matches;
  }

  // The canvas is the portrait picture; turned a quarter turn counter-clockwise
  // about its centre, it shows landscape, as large as fits. On a phone held
  // upright a line below it says to turn the phone. The control bar lies over
  // the picture's bottom.
  function fit() {
    const w = stage.clientWidth;
    const h = stage.clientHeight;
    const scale = Math.min(w / kPictureWidth, h / kPictureHeight);
    box.width = kPictureWidth * scale;
    box.height = kPictureHeight * scale;
    box.left = (w - box.width) / 2;
    box.top = (h - box.height) / 2;
    canvas.style.width = `${box.height}px`;
    canvas.style.height = `${box.width}px`;
    canvas.style.left = `${(w - box.height) / 2}px`;
    canvas.style.top = `${(h - box.width) / 2}px`;
    flag("hint", touchScreen() && h > w * 1.2 && !("filled" in body.dataset));
    // Room above the picture for the poster's words.
    flag("tall", box.top > 140);
    stage.style.setProperty("--above", `${box.top}px`);
    stage.style.setProperty("--below", `${h - box.top - box.height}px`);
    $("hint").style.top = `${box.top + box.height + 16}px`;
    controls.style.left = `${box.left}px`;
    controls.style.width = `${box.width}px`;
    controls.style.bottom = `${h - box.top - box.height}px`;
    fitPixels();
    tellLayout();
  }

  // Whole device pixels per picture pixel: drawn crisp; else smoothly.
  function fitPixels() {
    const ratio = (box.height * devicePixelRatio) / canvas.width;
    canvas.style.imageRendering = Math.abs(ratio - Math.round(ratio)) < 1e-3 ? "pixelated" : "auto";
  }

  // The program chooses the render scale from the picture's size in device
  // pixels, and takes the pointer over the bar in the picture's CSS pixels.
  function tellLayout() {
    if (!opened) return;
    const ratio = devicePixelRatio;
    const place = bar.getBoundingClientRect();
    const origin = stage.getBoundingClientRect();
    const x = place.left - origin.left - box.left;
    const y = place.top - origin.top - box.top;
    Module._velmora_layout(Math.round(box.width * ratio), Math.round(box.height * ratio), Math.round(box.width),
                           Math.round(x), Math.round(y), Math.round(place.width), Math.round(place.height));
  }

  new ResizeObserver(fit).observe(stage);
  // A new device pixel ratio (a window moved to another screen, a zoom).
  (function watchPixelRatio() {
    matchMedia(`(resolution: ${devicePixelRatio}dppx)`).addEventListener("change", () => {
      fit();
      watchPixelRatio();
    }, {once: true});
  })();

  // ---- Full screen --------------------------------------------------------

  function fullscreenElement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }

  // Older WebKit names it its own way, as it does the rest.
  function leaveFullscreen() {
    (document.exitFullscreen || document.webkitExitFullscreen).call(document);
  }

  // Full screen asks for landscape where the browser allows it. Where an
  // element cannot go full screen (some phones' browsers), the page fills
  // the viewport instead.
  function toggleFullscreen() {
    if (fullscreenElement()) {
      leaveFullscreen();
      return;
    }
    const request = stage.requestFullscreen || stage.webkitRequestFullscreen;
    if (!request) {
      flag("filled", !("filled" in body.dataset));
      fit();
      return;
    }
    Promise.resolve(request.call(stage, {navigationUI: "hide"}))
      .then(() => screen.orientation && screen.orientation.lock && screen.orientation.lock("landscape"))
      .catch(() => {});
  }

  // ---- Sound --------------------------------------------------------------

  // The sound and its clock: one audio context, made in the viewer's first
  // gesture; a context the browser holds suspended resumes at the next one.
  function ensureAudio() {
    if (!Module.velmoraAudio) {
      const AudioContextClass = window.AudioContext || window.webkitAudioContext;
      if (!AudioContextClass) return;
      try {
        Module.velmoraAudio = new AudioContextClass({latencyHint: "playback"});
      } catch (e) {
        console.info("velmora: no sound in this browser:", e);
        return;
      }
    }
    if (Module.velmoraAudio.state === "suspended") Module.velmoraAudio.resume().catch(() => {});
  }

  function stopMusic() {
    const music = Module.velmoraMusic;
    if (music && music.source) music.source.stop();
  }

  // ---- The show -----------------------------------------------------------

  let started = false;   // played at least once
  let playFrom = 0;      // where Play plays from
  let posterKind = "";   // "title" or "moment"
  const resume = (() => {  // carrying on after the graphics came back
    try {
      const kept = JSON.parse(sessionStorage.getItem("velmora-resume") || "null");
      sessionStorage.removeItem("velmora-resume");
      return kept;
    } catch (e) {
      return null;
    }
  })();

  function markStarted() {
    if (started) return;
    started = true;
    flag("started", true);
    poster.hidden = true;
    start.hidden = true;
    fit();  // the control bar's place, now that it is laid out
  }

  function play() {
    ensureAudio();
    markStarted();
    setState("playing", "");
    Module._velmora_play(playFrom);
  }

  // The show stands at its first moment (called by the program).
  function openedAt(first) {
    flag("opened", true);
    start.onclick = play;
    if (resume && Math.abs(resume.from - first) < 0.01) {
      playFrom = first;
      if (resume.playing) {
        play();
        return;
      }
    }
    if (posterKind === "moment") {
      setState("still", "");
      start.textContent = `Play from ${label(first)}`;
      playFrom = first;
    } else {
      setState("ready", "");
      start.textContent = playFrom ? `Play from ${label(playFrom)}` : "Play";
    }
    start.hidden = false;
    start.focus({preventScroll: true});
  }

  // The on-screen display, after every frame (called by the program).
  const shown = {time: "", part: "", paused: null, muted: null, volume: -1, scale: 0, done: -1};
  function display(d) {
    if (!d.paused) markStarted();
    const state = body.dataset.state;
    if (started && state !== "ended" && state !== "failed" && state !== "lost") {
      setState(d.paused ? "paused" : "playing");
    }
    const controlsState = started && d.shown ? "shown" : "hidden";
    if (body.dataset.controls !== controlsState) body.dataset.controls = controlsState;
    const time = `${label(d.time)} / ${label(d.length)}`;
    if (time !== shown.time) {
      shown.time = time;
      $("time").textContent = time;
      bar.setAttribute("aria-valuenow", String(Math.floor(d.time)));
      bar.setAttribute("aria-valuetext", `${label(d.time)} of ${label(d.length)}`);
    }
    const done = Math.round(Math.min(Math.max(d.time / d.length, 0), 1) * 10000) / 100;
    if (done !== shown.done) {
      shown.done = done;
      $("done").style.width = `${done}%`;
    }
    if (d.part !== shown.part) {
      shown.part = d.part;
      $("part").textContent = d.part;
    }
    if (d.paused !== shown.paused) {
      shown.paused = d.paused;
      flag("paused", d.paused);
      $("pause").setAttribute("aria-label", d.paused ? "Play" : "Pause");
    }
    if (d.muted !== shown.muted || d.volume !== shown.volume) {
      shown.muted = d.muted;
      shown.volume = d.volume;
      flag("muted", d.muted);
      $("mute").setAttribute("aria-pressed", String(d.muted));
      $("mute").setAttribute("aria-label", d.muted ? "Unmute" : "Mute");
      volume.value = String(d.muted ? 0 : Math.round(d.volume / 10));
    }
    if (d.scale !== shown.scale) {
      shown.scale = d.scale;
      body.dataset.scale = String(d.scale);
      fitPixels();
      if (d.scale > 1) fetchSharperPictures();
    }
  }

  // The sharper pictures, a second package of files, fetched only when the
  // show draws above the phone's resolution; the program switches to them at
  // the next frame. Module.velmoraPictures says which it draws with: "4x"
  // once the program says it has switched.
  let sharper = false;
  function fetchSharperPictures() {
    if (sharper) return;
    sharper = true;
    Module.velmoraPictures = "1x, fetching 4x";
    const package4x = document.createElement("script");
    // The package's script asks the runtime to wait for its files; when
    // nothing is left to wait for, they are in.
    let waiting = false;
    Module.monitorRunDependencies = (left) => {
      waiting = waiting || left > 0;
      if (left !== 0 || !waiting) return;
      Module.monitorRunDependencies = null;
      Module.velmoraPictures = "1x, 4x arrived";
      Module._velmora_pictures_arrived();
    };
    package4x.onerror = () => {
      Module.velmoraPictures = "1x";
      console.info("velmora: the sharper pictures could not be fetched; the show draws with the others");
    };
    package4x.src = "index-4x.js";
    document.body.appendChild(package4x);
  }

  // This page's address playing from `seconds`: its own query, less any
  // moment it names, and from=the moment.
  function linkFrom(seconds) {
    const kept = [...params].filter(([name]) => name !== "at" && name !== "from");
    const query = [...kept.map(([n, v]) => (v ? `${encodeURIComponent(n)}=${encodeURIComponent(v)}` : encodeURIComponent(n))),
                   `from=${momentText(seconds)}`].join("&");
    return `${location.pathname}?${query}`;
  }

  // A link to the moment shown, on the clipboard (the button, or c).
  function copyLink(seconds) {
    const link = `${location.origin}${linkFrom(seconds)}`;
    const copied = () => toast(`Copied a link to ${label(seconds)}`);
    if (navigator.clipboard && navigator.clipboard.writeText) {
      navigator.clipboard.writeText(link).then(copied, () => toast(link));
    } else {
      toast(link);
    }
  }

  // The show ended the program: at its end (0), or on a file it could not
  // load. The program cannot run twice in one page; playing again reloads it.
  function ended(code) {
    stopMusic();
    if (fullscreenElement() && code !== 0) leaveFullscreen();
    body.dataset.controls = "hidden";
    flag("started", false);
    poster.hidden = false;
    start.hidden = false;
    start.textContent = "Play again";
    start.onclick = () => location.replace(location.pathname);
    if (code === 0) {
      setState("ended", "");
    } else {
      setState("failed", `The show stopped (status ${code}); the browser's console says why.`);
    }
  }

  // The graphics were lost (a driver reset, a phone reclaiming memory): the
  // show stands still, and when they come back the page carries on at the
  // same moment, loaded again.
  let lostAt = null;
  canvas.addEventListener("webglcontextlost", (e) => {
    e.preventDefault();  // asks for the context back
    if (!opened) return;
    lostAt = {from: Module._velmora_player_moment(), playing: body.dataset.state === "playing"};
    stopMusic();
    poster.hidden = false;
    start.hidden = true;
    setState("lost", "The picture was lost (the graphics were reset). The show carries on when it comes back.");
  });
  canvas.addEventListener("webglcontextrestored", () => {
    if (!lostAt) return;
    try {
      sessionStorage.setItem("velmora-resume", JSON.stringify(lostAt));
    } catch (e) {
      // Without storage the show carries on paused.
    }
    location.replace(linkFrom(lostAt.from));
  });

  function ready() {
    const showEnd = Module._velmora_show_end();
    $("length").textContent = label(showEnd);
    bar.setAttribute("aria-valuemax", String(showEnd));
    for (let i = 1; i < Module._velmora_part_count(); ++i) {
      const mark = document.createElement("div");
      mark.className = "mark";
      mark.style.left = `${(100 * Module._velmora_part_begin(i)) / showEnd}%`;
      $("track").appendChild(mark);
    }
    const at = moment("at", showEnd);
    const from = moment("from", showEnd);
    if (Number.isNaN(at) || Number.isNaN(from)) {
      setState("failed", `?at= and ?from= take a moment of the show: seconds from 0 to ${showEnd}, or M:SS.`);
      return;
    }
    const asked = params.get("scale");
    const scale = asked === null ? 0 : Number(asked);
    if (!(Number.isInteger(scale) && scale >= 0 && scale <= kMaxScale)) {
      setState("failed", `?scale= takes a whole number from 1 to ${kMaxScale}.`);
      return;
    }
    Module.callMain([]);  // the music decodes while the viewer looks at the poster
    posterKind = at !== null ? "moment" : "title";
    playFrom = from || 0;
    const first = at !== null ? at : from !== null && resume ? from : kPosterMoment;
    if (at !== null) setState("drawing", "Drawing the moment…");
    const code = Module._velmora_open(first, scale, params.has("loop") ? 1 : 0);
    if (code !== 0) {
      setState("failed", failure("The show could not start", code));
      return;
    }
    opened = true;
    fit();
    Module._velmora_launch();
  }

  // ---- The viewer's keys and pointer --------------------------------------

  function ownKey(e) {
    const target = e.target;
    // A focused control's own keys: a button's Space and Enter, the volume's arrows.
    if (target instanceof HTMLButtonElement && (e.key === " " || e.key === "Enter")) return true;
    return target === volume && e.key.startsWith("Arrow");
  }

  // A key to the program's table: true when the table had a use for it.
  // The display shows for a moment either way.
  function sendKey(key, alt = false, shift = false, repeat = false) {
    Module._velmora_show_display();
    return Module.ccall("velmora_key", "number", ["string", "number", "number", "number"],
                        [key, alt ? 1 : 0, shift ? 1 : 0, repeat ? 1 : 0]);
  }

  addEventListener("keydown", (e) => {
    if (e.ctrlKey || e.metaKey || !("opened" in body.dataset)) return;
    ensureAudio();  // a key is a gesture
    if (ownKey(e)) return;
    if (body.dataset.state === "ready") {
      // On the poster, the keys that play play; the rest wait for the show.
      if ([" ", "Enter", "p", "k"].includes(e.key)) {
        e.preventDefault();
        play();
      }
      return;
    }
    if (sendKey(e.key, e.altKey, e.shiftKey, e.repeat)) e.preventDefault();
  });

  // Pointer events in the picture's CSS pixels, to the program.
  function point(kind, e, primary = true) {
    const origin = stage.getBoundingClientRect();
    return Module.ccall("velmora_pointer", "number", ["string", "number", "number", "number"],
                        [kind, Math.round(e.clientX - origin.left - box.left), Math.round(e.clientY - origin.top - box.top),
                         primary ? 1 : 0]);
  }

  let dragging = null;  // the pointer dragging on the bar
  let lastPointerType = "mouse";
  bar.addEventListener("pointerdown", (e) => {
    if (!e.isPrimary || e.button !== 0) return;
    ensureAudio();
    dragging = e.pointerId;
    bar.setPointerCapture(e.pointerId);
    point("press", e);
    e.preventDefault();
  });
  const endDrag = (e) => {
    if (dragging !== e.pointerId) return;
    dragging = null;
    point("release", e);
  };
  bar.addEventListener("pointerup", endDrag);
  bar.addEventListener("pointercancel", endDrag);

  // The browser also reports a pointer that stands still when what lies
  // under it changes (the bar appearing, say): only real moves count.
  let lastMove = null;
  stage.addEventListener("pointermove", (e) => {
    if (!started) return;
    if (e.pointerId === dragging) {
      point("move", e);
    } else if (e.pointerType !== "touch" && !(lastMove && lastMove.x === e.clientX && lastMove.y === e.clientY)) {
      point("move", e);
    }
    lastMove = {x: e.clientX, y: e.clientY};
  });

  // Taps on the picture (not on the controls), and double taps.
  let touch = null;
  let lastTap = null;
  let pendingTap = 0;
  stage.addEventListener("pointerdown", (e) => {
    lastPointerType = e.pointerType;
    if (e.pointerType !== "touch" || !e.isPrimary || controls.contains(e.target) || !started) return;
    ensureAudio();
    touch = {id: e.pointerId, x: e.clientX, y: e.clientY, t: e.timeStamp};
  });
  stage.addEventListener("pointerup", (e) => {
    const began = touch;
    touch = null;
    if (!began || began.id !== e.pointerId) return;
    if (e.timeStamp - began.t > kTapMs || Math.hypot(e.clientX - began.x, e.clientY - began.y) > kTapDistance) return;
    if (lastTap && e.timeStamp - lastTap.t < kDoubleTapMs &&
        Math.hypot(e.clientX - lastTap.x, e.clientY - lastTap.y) < kDoubleTapDistance) {
      clearTimeout(pendingTap);
      lastTap = null;
      point("double-tap", e);
      return;
    }
    const tap = {clientX: e.clientX, clientY: e.clientY};
    lastTap = {x: e.clientX, y: e.clientY, t: e.timeStamp};
    pendingTap = setTimeout(() => {
      lastTap = null;
      point("tap", tap);
    }, kDoubleTapMs);
  });
  stage.addEventListener("pointercancel", () => {
    touch = null;
  });
  // A double click toggles full screen; a double tap is taken above.
  stage.addEventListener("dblclick", (e) => {
    if (lastPointerType === "touch" || controls.contains(e.target) || !poster.hidden) return;
    point("double-click", e);
  });

  // The control bar's buttons do what the keys do, through the same table.
  function pressKey(key) {
    ensureAudio();
    sendKey(key);
  }
  $("pause").addEventListener("click", () => pressKey(" "));
  $("mute").addEventListener("click", () => pressKey("m"));
  $("share").addEventListener("click", () => pressKey("c"));
  $("fullscreen").addEventListener("click", () => pressKey("f"));
  volume.addEventListener("input", () => {
    // Volume in tenths, a step at a time as the keys 9 and 0 set it.
    const wanted = Number(volume.value);
    let now = shown.muted && wanted === 0 ? 0 : Math.round(shown.volume / 10);
    for (; now < wanted; ++now) pressKey("0");
    for (; now > wanted; --now) pressKey("9");
  });
  for (const button of controls.querySelectorAll("button")) {
    // A click leaves no focus ring behind; the keyboard's focus stays.
    button.addEventListener("pointerup", () => setTimeout(() => button.blur(), 0));
  }
  controls.addEventListener("focusin", () => opened && Module._velmora_show_display());

  // ---- Offline ------------------------------------------------------------

  // After the first visit the service worker keeps the page's files; body
  // [data-offline="ready"] says they are kept.
  if ("serviceWorker" in navigator && window.isSecureContext) {
    navigator.serviceWorker.register("sw.js")
      .then(() => navigator.serviceWorker.ready)
      .then(() => {
        body.dataset.offline = "ready";
      })
      .catch((e) => console.info("velmora: the page is not kept for offline visits:", e));
  }

  window.Module = {
    canvas,
    print: (text) => console.log(text),
    // The emulation announces itself on every start; that is no fault.
    printErr: (text) => (text.startsWith("WARNING: using emscripten GL") ? console.debug : console.error)(text),
    setStatus: (text) => {
      const state = body.dataset.state;
      if (state !== "loading" || !text) return;
      const progress = /\((\d+)\/(\d+)\)/.exec(text);
      if (progress) {
        const [loaded, total] = [Number(progress[1]), Number(progress[2])];
        $("loading-done").style.width = `${(100 * loaded) / total}%`;
        $("loading").setAttribute("aria-valuenow", String(Math.round((100 * loaded) / total)));
        status.textContent = `Loading ${(loaded / 1e6).toFixed(1)} of ${(total / 1e6).toFixed(1)} MB`;
      } else if (/^Running/.test(text)) {
        status.textContent = "Preparing the show…";
      }
    },
    onRuntimeInitialized: ready,
    onAbort: (what) => setState("failed", `The program failed: ${what}`),
    velmoraPage: {toggleFullscreen, ended, display, opened: openedAt, copyLink,
                  picturesSwitched: () => {
                    Module.velmoraPictures = "4x";
                  }},
  };
})();
