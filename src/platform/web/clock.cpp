// The page's clocks. Deadlines run on the page's monotonic clock
// (performance.now()). The demo clock runs on the sound: while the page's
// audio context plays, a reading is the moment of the audio now leaving the
// speakers, so the picture follows what is heard; while it does not (before
// the start, without audio, a suspended context) the monotonic clock stands
// in. Changing from one to the other never makes a reading jump or go back.
// Stills run on the virtual clock, which platform/clock.cpp keeps for both.
#include "platform/clock_source.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "platform/web/audio.h"

namespace platform {
namespace {

// The demo clock: the source it reads, the seconds added to that source's
// reading to keep the clock continuous, and the last reading.
bool gStarted = false;
bool gOnAudio = false;
double gAudioOffset = 0;
double gMonotonicOffset = 0;
double gLastReading = 0;

// The audio context's time of the sample being heard now, or -1 while no
// audio context plays. The output timestamp says which context time left the
// speakers at which moment; the time since then is added.
EM_JS(double, audio_output_seconds, (), {
  const audio = Module["velmoraAudio"];
  if (!audio || audio.state !== "running") return -1;
  const stamp = audio.getOutputTimestamp ? audio.getOutputTimestamp() : null;
  if (stamp && stamp.performanceTime > 0) {
    return stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
  }
  return Math.max(0, audio.currentTime - (audio.outputLatency || audio.baseLatency || 0));
});

double monotonic_seconds() { return emscripten_get_now() / 1000; }

double demo_clock_seconds() {
  const double monotonic = monotonic_seconds();
  const double audio = audio_output_seconds();
  const bool on_audio = audio >= 0;
  if (!gStarted) {
    gStarted = true;
    gLastReading = monotonic;
  }
  if (on_audio != gOnAudio) {
    // The new source takes over where the old one left off.
    if (on_audio) {
      gAudioOffset = gLastReading - audio;
    } else {
      gMonotonicOffset = gLastReading - monotonic;
    }
    gOnAudio = on_audio;
  }
  const double reading = on_audio ? audio + gAudioOffset : monotonic + gMonotonicOffset;
  // A new output timestamp can put the interpolated audio time a little
  // behind the last one; the clock holds still until it catches up.
  gLastReading = std::max(gLastReading, reading);
  return gLastReading;
}

}  // namespace

std::int64_t system_monotonic_ns() { return std::llround(emscripten_get_now() * 1e6); }

std::int64_t system_clock_reading_us() { return std::llround(demo_clock_seconds() * 1e6); }

// A page never sleeps: its turns come from animation frames.
void system_sleep_until(std::int64_t) {}

namespace web {

double demo_clock_at_audio_time(double audio_seconds) {
  demo_clock_seconds();
  return gOnAudio ? audio_seconds + gAudioOffset : -1;
}

}  // namespace web
}  // namespace platform
