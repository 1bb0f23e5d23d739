// The soundtrack in the browser: "music.mp3" from the bundle, decoded by the
// browser (decodeAudioData) as soon as the page has its files, and played
// through the page's audio context in step with the demo clock. As on the desktop, the
// music follows the clock: once an animation frame it is compared with the
// moment the demo clock says will be heard a little ahead, and moved there
// when it is off by more than a frame. Since the demo clock is the audio
// output's, a straight run never moves it again after the start. A missing
// or undecodable file, or a page without sound, leaves the show silent.
#include <emscripten.h>

#include <cmath>
#include <string>

#include "platform/bundle.h"
#include "platform/run_loop.h"
#include "platform/web/audio.h"
#include "shell/av_player.h"
#include "shell/eagl_view.h"

namespace {

// How far ahead of the audio context's time the music is placed, so that the
// start lies in the future when the audio thread gets to it.
constexpr double kLead = 0.05;
// The music may be this far from the clock before it is moved.
constexpr double kTolerance = 1.0 / 60;

bool gEnabled = true;
bool gPlaying = false;
bool gPaused = false;
float gVolume = 1;
// Where the music playing now was started: at audio time gWhen from gOffset
// seconds into the track.
bool gSounding = false;
double gWhen = 0;
double gOffset = 0;

// Starts decoding the file into Module.velmoraMusic.buffer: null there
// until it is ready, false when it cannot be decoded. The page asks for this
// before the viewer presses Play, when there is no audio context yet (and may
// be none before a gesture); an offline one decodes as well.
EM_JS(void, music_decode, (const char* path), {
  const music = Module["velmoraMusic"] = {buffer: null, source: null, gain: null};
  const decoder = Module["velmoraAudio"] || (window.OfflineAudioContext && new OfflineAudioContext(2, 1, 44100));
  let bytes;
  try {
    bytes = FS.readFile(UTF8ToString(path));
  } catch (e) {
    music.buffer = false;
    return;
  }
  if (!decoder) {
    music.buffer = false;
    return;
  }
  decoder.decodeAudioData(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength))
      .then((buffer) => { music.buffer = buffer; }, () => { music.buffer = false; });
});

// 1 when the music is decoded, 0 while it is being decoded, -1 when there is
// none.
EM_JS(int, music_state, (), {
  const music = Module["velmoraMusic"];
  if (!music || music.buffer === false) return -1;
  return music.buffer ? 1 : 0;
});

EM_JS(double, audio_context_time, (), {
  const audio = Module["velmoraAudio"];
  return audio && audio.state === "running" ? audio.currentTime : -1;
});

// Plays the music from `offset` seconds into it, heard from audio time `when`.
EM_JS(void, music_play, (double when, double offset, double volume), {
  const audio = Module["velmoraAudio"];
  const music = Module["velmoraMusic"];
  if (music.source) music.source.stop();
  if (!music.gain) {
    music.gain = audio.createGain();
    music.gain.connect(audio.destination);
  }
  music.gain.gain.value = volume;
  music.source = audio.createBufferSource();
  music.source.buffer = music.buffer;
  music.source.connect(music.gain);
  music.source.start(when, offset);
  music.when = when;
  music.offset = offset;
});

EM_JS(void, music_silence, (), {
  const music = Module["velmoraMusic"];
  if (music && music.source) {
    music.source.stop();
    music.source = null;
  }
});

EM_JS(void, music_set_volume, (double volume), {
  const music = Module["velmoraMusic"];
  if (music && music.gain) music.gain.gain.value = volume;
});

EM_JS(double, music_seconds, (), {
  const music = Module["velmoraMusic"];
  return music && music.buffer ? music.buffer.duration : 0;
});

void silence() {
  if (gSounding) music_silence();
  gSounding = false;
}

// Once an animation frame: keeps the music where the demo clock says it
// should be, starting or moving it as the desktop's sound device does (the
// start, a start part-way, a seek, a stall of the page).
void keep_music_in_step() {
  if (!gPlaying || gPaused || music_state() != 1) return;
  const double now = audio_context_time();
  if (now < 0) return;
  const double when = now + kLead;
  const double clock = platform::web::demo_clock_at_audio_time(when);
  if (clock < 0) return;
  const double expected = demo_time_at(clock);
  if (gSounding && std::abs(gOffset + (when - gWhen) - expected) <= kTolerance) return;
  silence();
  if (expected >= music_seconds()) return;
  // Before the music's first moment, it starts later from its beginning.
  gWhen = expected < 0 ? when - expected : when;
  gOffset = expected < 0 ? 0 : expected;
  music_play(gWhen, gOffset, gVolume);
  gSounding = true;
}

}  // namespace

void avAudioSetEnabled(bool enabled) { gEnabled = enabled; }

void avAudioPrefetch() {
  static bool started = false;
  if (!gEnabled || started) return;
  started = true;
  music_decode((platform::bundlePath() + "/music.mp3").c_str());
}

void avAudioInit() { avAudioPrefetch(); }

void avAudioPlay() {
  gPlaying = gEnabled;
  if (gPlaying) platform::NSRunLoop::mainRunLoop().setAfterTurn(keep_music_in_step);
}

void avAudioSetPaused(bool paused) {
  gPaused = paused;
  if (paused) silence();
}

void avAudioSetVolume(float volume) {
  gVolume = volume;
  music_set_volume(volume);
}
