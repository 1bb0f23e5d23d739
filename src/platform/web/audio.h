#pragma once
// The page's sound. Browsers let a page make sound only after a user gesture,
// so the page creates its one audio context when the start button is
// pressed (Module.velmoraAudio); the soundtrack plays through it with Web
// Audio (shell/web/av_player.cpp, once an animation frame through the run
// loop's after-turn hook), and the demo clock reads its output clock
// (platform/clock.h).

namespace platform::web {

// The demo clock's reading (seconds, as clock_reading gives them) at the
// moment the audio context's time `audio_seconds` is heard; -1 while the
// clock does not run on the audio.
double demo_clock_at_audio_time(double audio_seconds);

}  // namespace platform::web
