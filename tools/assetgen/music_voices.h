#pragma once
// The synthesiser's instruments and the mixer they play into. A note is
// rendered on its own, start to end, straight into the stereo mix and the
// two mono effect sends (echo and reverb); the sends are processed once all
// notes have played.
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "music_dsp.h"

namespace assetgen::music {

// Automation: a value over song time in seconds.
using Curve = std::function<float(double)>;

enum class Instrument {
  Kick,       // sine with a falling pitch and a click
  Snare,      // tone plus high-passed noise
  Clap,       // three quick noise bursts and a tail
  HatClosed,  // metallic square cluster, short
  HatOpen,    // the same, ringing
  Crash,      // stereo metallic noise; `param` is the decay in seconds
  Bass,       // saw and sub-octave sine through a resonant low pass; `param` is the filter decay
  Pad,        // three detuned saws spread across the stereo field; `param` is the attack
  Lead,       // saw and pulse with delayed vibrato
  Pluck,      // pulse with a snapping filter; `param` is the decay
  Bell,       // two-operator FM bell; `param` is the decay
  Sub,        // pure sine; `param` is the attack and release
  Riser,      // noise through a band pass sweeping up over the note, growing louder
  Sweep,      // noise swell that pans from `pan` to `param` over the note
  Bubble,     // a droplet: sine gliding up
  Tick,       // a short band-passed noise grain at `pitch`
};

struct Note {
  Instrument instrument = Instrument::Pluck;
  double time = 0;      // start, seconds of song time
  double length = 0.1;  // held for this long, seconds
  float pitch = 60;     // MIDI note number
  float velocity = 1;
  float pan = 0;        // -1 left .. 1 right
  float reverb = 0;     // send levels
  float delay = 0;
  float bright = 1;     // how far the instrument's filter opens
  float duck = 0;       // 0 .. 1: how deeply the kick pumps it
  float param = 0;      // see Instrument
  Curve level{};        // gain over song time (unset: 1)
  Curve brightness{};    // multiplies `bright` over song time (unset: 1)
};

// A note's sound at unity gain, before level, panning and sends.
struct Dry {
  std::vector<float> left, right;  // right empty for a mono voice
};

// Synthesises the dry sound of a note (brightness automation included) into
// `out`, reusing its storage.
void synthesize(const Note& note, Dry& out);

class Mixer {
 public:
  explicit Mixer(double seconds);

  std::size_t frames() const { return left.size(); }

  // Derives the pumping of ducked notes from the kick drum's start times.
  void set_pump(std::span<const double> kick_times);

  // Plays notes into the mix.
  void render(std::span<const Note> notes);

  // Runs the echo and the reverb over what the notes sent them and adds the
  // result to the mix.
  void finish_sends();

  std::vector<float> left, right;

 private:
  void place(const Note& note, const Dry& dry);

  std::vector<float> echo_send_, reverb_send_;
  std::vector<float> pump_;  // one value per control block
  Dry scratch_;  // the sound being placed
};

}  // namespace assetgen::music
