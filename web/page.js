// The page around the show: shows the picture as large as the window allows
// at its own aspect, loads the program and the show's files, and starts the
// show when the viewer presses Play (browsers allow sound only after a
// gesture). The address can name a moment:
//   ?at=SECONDS    draws that single moment and stops (links to a moment, tests)
//   ?from=SECONDS  plays from there
// A moment is seconds (130, 12.5) or minutes and seconds (2:10), from 0 to
// the show's end (190, as the program says).
"use strict";

(() => {
  const kPictureWidth = 480;  // the phone's screen held sideways
  const kPictureHeight = 320;

  const stage = document.getElementById("stage");
  const canvas = document.getElementById("canvas");
  const panel = document.getElementById("panel");
  const start = document.getElementById("start");
  const status = document.getElementById("status");

  // What the program answers, from either way in, when the browser gives the
  // canvas no WebGL 2 context (src/main_web.cpp), and what the viewer reads.
  const kNoWebGL2 = 2;
  const kNoWebGL2Text =
      "The show needs WebGL 2, which this browser does not offer or has turned off (the browser's console says more).";

  // The viewer's line when the program could not start: `what` and the
  // status, or what is missing when that is WebGL 2.
  function failure(what, code) {
    return code === kNoWebGL2 ? kNoWebGL2Text : `${what} (status ${code}); the browser's console says why.`;
  }

  // The page's state, for the viewer and for tests: loading, ready, playing,
  // drawing, still, ended or failed.
  function setState(state, text) {
    document.body.dataset.state = state;
    status.textContent = text || "";
  }

  // The canvas is the portrait picture (320 x 480); turned a quarter turn
  // counter-clockwise about its centre, it shows landscape in the middle of
  // the stage, scaled to fit.
  function fit() {
    const w = stage.clientWidth;
    const h = stage.clientHeight;
    const scale = Math.min(w / kPictureWidth, h / kPictureHeight);
    const cssWidth = kPictureHeight * scale;
    const cssHeight = kPictureWidth * scale;
    canvas.style.width = `${cssWidth}px`;
    canvas.style.height = `${cssHeight}px`;
    canvas.style.left = `${(w - cssWidth) / 2}px`;
    canvas.style.top = `${(h - cssHeight) / 2}px`;
    canvas.style.transform = "rotate(-90deg)";
  }
  new ResizeObserver(fit).observe(stage);
  fit();

  function toggleFullscreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().catch(() => {});
    }
  }
  document.getElementById("fullscreen").addEventListener("click", (e) => {
    toggleFullscreen();
    e.currentTarget.blur();
  });

  // A moment named in the address: null when absent, NaN when it is not one
  // (or after `showEnd`).
  function moment(name, showEnd) {
    const value = new URLSearchParams(location.search).get(name);
    if (value === null) return null;
    const parts = /^\s*(?:(\d+):)?(\d+(?:\.\d*)?|\.\d+)\s*$/.exec(value);
    if (!parts) return NaN;
    const seconds = Number(parts[1] || 0) * 60 + Number(parts[2]);
    if (parts[1] !== undefined && Number(parts[2]) >= 60) return NaN;
    return seconds <= showEnd ? seconds : NaN;
  }

  function label(seconds) {
    const s = Math.floor(seconds);
    return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, "0")}`;
  }

  function stopMusic() {
    const music = Module.velmoraMusic;
    if (music && music.source) music.source.stop();
  }

  // The show ended the program: at its end (0), or on a file it could not
  // load. The program cannot run twice in one page; playing again reloads it.
  function ended(code) {
    stopMusic();
    if (document.fullscreenElement && code !== 0) document.exitFullscreen();
    panel.hidden = false;
    start.hidden = false;
    start.textContent = "Play again";
    start.onclick = () => location.reload();
    if (code === 0) {
      setState("ended");
    } else {
      setState("failed", `The show stopped (status ${code}); the browser's console says why.`);
    }
  }

  function play(from) {
    start.onclick = null;  // the program plays once a page
    // The sound and its clock: one audio context, made in the click itself.
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (AudioContextClass) {
      try {
        Module.velmoraAudio = new AudioContextClass({latencyHint: "playback"});
        Module.velmoraAudio.resume();
      } catch (e) {
        console.warn("velmora: no sound in this browser:", e);
      }
    }
    panel.hidden = true;
    setState("playing");
    const code = Module._velmora_play(from);
    if (code !== 0) {
      panel.hidden = false;
      setState("failed", failure("The show could not start", code));
    }
  }

  function ready() {
    const showEnd = Module._velmora_show_end();
    const at = moment("at", showEnd);
    const from = moment("from", showEnd);
    if (Number.isNaN(at) || Number.isNaN(from)) {
      setState("failed", `?at= and ?from= take a moment of the show: seconds from 0 to ${showEnd}, or M:SS.`);
      return;
    }
    if (at !== null) {
      setState("drawing");
      const code = Module.callMain(["still", String(at)]);
      panel.hidden = code === 0;
      if (code === 0) {
        setState("still");
      } else {
        setState("failed", failure("The moment could not be drawn", code));
      }
      return;
    }
    Module.callMain([]);  // the music decodes while the viewer looks at the button
    start.textContent = from ? `Play from ${label(from)}` : "Play";
    start.hidden = false;
    start.onclick = () => play(from || 0);
    start.focus();
    setState("ready");
  }

  window.Module = {
    canvas,
    print: (text) => console.log(text),
    // The emulation announces itself on every start; that is no fault.
    printErr: (text) => (text.startsWith("WARNING: using emscripten GL") ? console.debug : console.error)(text),
    setStatus: (text) => {
      if (document.body.dataset.state === "loading" && text) status.textContent = text;
    },
    onRuntimeInitialized: ready,
    onAbort: (what) => setState("failed", `The program failed: ${what}`),
    velmoraPage: {toggleFullscreen, ended},
  };
})();
