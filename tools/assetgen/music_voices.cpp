#include "music_voices.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <tuple>

namespace assetgen::music {

namespace {

constexpr std::size_t kBlock = 32;  // samples between automation updates
constexpr float kDt = 1.0f / kSampleRate;
constexpr int kEchoSamples = 16538;  // a dotted eighth at 120 beats a minute

// Hat and cymbal metal: six square waves at inharmonic ratios.
constexpr std::array<float, 6> kMetal = {205.3f, 304.4f, 369.6f, 522.7f, 540.0f, 800.0f};

// Per-sample factor of an exponential decay with time constant `tau` seconds.
float decay_factor(float tau) { return std::exp(-kDt / tau); }

// The sample buffer of one note being synthesised, with its clock and
// brightness automation.
class Voice {
 public:
  Voice(const Note& note, double tail, bool stereo, Dry& out) : note_(note), dry_(out) {
    count_ = static_cast<std::size_t>(std::ceil((note.length + tail) * kSampleRate));
    dry_.left.assign(count_, 0.0f);
    if (stereo) dry_.right.assign(count_, 0.0f);
    else dry_.right.clear();
  }

  std::size_t count() const { return count_; }
  float time(std::size_t i) const { return static_cast<float>(i) * kDt; }
  float length() const { return static_cast<float>(note_.length); }
  float hz() const { return midi_to_hz(note_.pitch); }
  // Noise seed: the same for the same sound, wherever it plays.
  std::uint32_t seed() const {
    return (static_cast<std::uint32_t>(note_.instrument) + 1u) * 2654435761u ^
           static_cast<std::uint32_t>(note_.pitch * 64.0f) * 40503u ^
           static_cast<std::uint32_t>(note_.length * 1000.0) * 97u;
  }
  // The filter opening at sample i: the note's brightness times its automation.
  float bright(std::size_t i) const {
    return note_.bright * (note_.brightness ? note_.brightness(note_.time + static_cast<double>(i) / kSampleRate) : 1.0f);
  }
  bool control(std::size_t i) const { return i % kBlock == 0; }

  float& mono(std::size_t i) { return dry_.left[i]; }
  void stereo(std::size_t i, float l, float r) {
    dry_.left[i] = l;
    dry_.right[i] = r;
  }

 private:
  const Note& note_;
  Dry& dry_;
  std::size_t count_;
};

// Key held: linear attack, then exponential release from the key-up.
class Gate {
 public:
  Gate(float length, float attack, float release)
      : length_(length), attack_(std::max(attack, kDt)), fall_(decay_factor(std::max(release, 1e-3f) / 4.0f)) {}
  float next(float t) {
    if (t <= length_) return level_ = std::min(t / attack_, 1.0f);
    return level_ *= fall_;
  }

 private:
  float length_, attack_, fall_;
  float level_ = 0.0f;
};

// A struck sound: 0.5 ms fade-in against clicks, then exponential decay.
class Strike {
 public:
  explicit Strike(float tau) : fall_(decay_factor(tau)) {}
  float next(float t) {
    const float v = std::min(t * 2000.0f, 1.0f) * level_;
    level_ *= fall_;
    return v;
  }

 private:
  float fall_;
  float level_ = 1.0f;
};

float metal(std::array<Oscillator, 6>& oscs, float scale) {
  float s = 0.0f;
  for (std::size_t k = 0; k < oscs.size(); ++k) s += oscs[k].square(kMetal[k] * scale * kDt);
  return s * (1.0f / 6.0f);
}

void kick(const Note& n, Dry& out) {
  Voice v(n, 0.5, false, out);
  Oscillator osc;
  Noise noise(v.seed());
  Svf click;
  click.set(3000.0f, 0.1f);
  const float click_level = 0.35f * v.bright(0);
  Strike body(n.param > 0.0f ? n.param : 0.3f), drop(0.028f), snap(0.004f), tick(0.003f);
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float t = v.time(i);
    const float hz = 44.0f + 130.0f * drop.next(1.0f) + 40.0f * snap.next(1.0f);
    float s = osc.sine(hz * kDt) * std::min(t * 4000.0f, 1.0f) * body.next(1.0f);
    s += click_level * click.process(noise.next()).band * tick.next(1.0f);
    v.mono(i) = std::tanh(1.6f * s) * 0.4f;
  }
}

void snare(const Note& n, Dry& out) {
  Voice v(n, 0.4, false, out);
  Oscillator tone;
  Noise noise(v.seed());
  Svf hp, lp;
  hp.set(1400.0f * n.bright, 0.2f);
  lp.set(6500.0f * n.bright, 0.2f);
  Strike body(0.05f), bend(0.012f), hiss(n.param > 0.0f ? n.param : 0.14f);
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float hz = 180.0f * (1.0f + 0.4f * bend.next(1.0f));
    const float rattle = lp.process(hp.process(noise.next()).high).low;
    const float s = 0.5f * tone.sine(hz * kDt) * body.next(1.0f) + 0.9f * rattle * hiss.next(1.0f);
    v.mono(i) = s * std::min(v.time(i) * 3000.0f, 1.0f);
  }
}

void clap(const Note& n, Dry& out) {
  Voice v(n, 0.4, false, out);
  Noise noise(v.seed());
  Svf bp;
  bp.set(1250.0f * n.bright, 0.35f);
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float t = v.time(i);
    const float env = t < 0.03f ? std::exp(-std::fmod(t, 0.01f) / 0.003f) : std::exp(-(t - 0.03f) / 0.11f);
    v.mono(i) = 1.6f * bp.process(noise.next()).band * env;
  }
}

void hat(const Note& n, bool open, Dry& out) {
  const float tau = open ? 0.32f : 0.038f;
  Voice v(n, tau * 6.0f, false, out);
  std::array<Oscillator, 6> oscs;
  Noise noise(v.seed());
  Svf band, high;
  band.set(8000.0f * n.bright, 0.3f);
  high.set(6500.0f * n.bright, 0.1f);
  Strike env(tau);
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float raw = metal(oscs, 1.0f) + 0.35f * noise.next();
    v.mono(i) = 4.5f * high.process(band.process(raw).band).high * env.next(v.time(i));
  }
}

void crash(const Note& n, Dry& out) {
  const float tau = n.param > 0.0f ? n.param : 1.5f;
  Voice v(n, tau * 7.0f, true, out);
  std::array<Oscillator, 6> oscs;
  Noise nl(v.seed()), nr(v.seed() ^ 0x5bd1e995u);
  Svf hl, hr;
  hl.set(4200.0f, 0.15f);
  hr.set(4300.0f, 0.15f);
  Strike env(tau), attack(0.08f);
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float m = metal(oscs, 1.47f) * 0.6f;
    const float e = 0.8f * env.next(v.time(i)) * (0.6f + 0.4f * attack.next(1.0f));
    v.stereo(i, hl.process(nl.next() + m).high * e, hr.process(nr.next() + m).high * e);
  }
}

void bass(const Note& n, Dry& out) {
  Voice v(n, 0.03, false, out);
  Oscillator saw, sub;
  Svf lp;
  const float inc = v.hz() * kDt;
  const float fall = decay_factor(n.param > 0.0f ? n.param : 0.16f);
  float env_mod = 1.0f;
  Gate gate(v.length(), 0.002f, 0.03f);
  for (std::size_t i = 0; i < v.count(); ++i) {
    if (v.control(i)) lp.set(70.0f + 1500.0f * v.bright(i) * (0.25f + env_mod), 0.55f);
    env_mod *= fall;
    const float s = lp.process(saw.saw(inc)).low + 0.55f * sub.sine(0.5f * inc);
    v.mono(i) = 0.5f * std::tanh(1.5f * s) * gate.next(v.time(i));
  }
}

void pad(const Note& n, Dry& out) {
  const float release = 1.2f;
  Voice v(n, release, true, out);
  Noise noise(v.seed());
  std::array<Oscillator, 3> oscs = {Oscillator(noise.unit()), Oscillator(noise.unit()), Oscillator(noise.unit())};
  constexpr std::array<float, 3> kDetune = {-0.11f, 0.0f, 0.12f};
  std::array<float, 3> inc{};
  for (std::size_t k = 0; k < 3; ++k) inc[k] = midi_to_hz(n.pitch + kDetune[k]) * kDt;
  Svf fl, fr;
  Gate gate(v.length(), n.param > 0.0f ? n.param : 0.6f, release);
  for (std::size_t i = 0; i < v.count(); ++i) {
    if (v.control(i)) {
      const float b = v.bright(i);
      fl.set(150.0f + 2600.0f * b * b, 0.15f);
      fr.set(160.0f + 2600.0f * b * b, 0.15f);
    }
    const float a = oscs[0].saw(inc[0]);
    const float c = oscs[1].saw(inc[1]);
    const float d = oscs[2].saw(inc[2]);
    const float env = gate.next(v.time(i)) * 0.35f;
    v.stereo(i, fl.process(a + 0.6f * c + 0.25f * d).low * env, fr.process(d + 0.6f * c + 0.25f * a).low * env);
  }
}

void lead(const Note& n, Dry& out) {
  Voice v(n, 0.15, false, out);
  Oscillator a, b, lfo;
  Svf lp;
  Gate gate(v.length(), 0.006f, 0.12f);
  const float fall = decay_factor(0.25f);
  float env_mod = 1.0f;
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float t = v.time(i);
    if (v.control(i)) lp.set(500.0f + 4200.0f * v.bright(i) * (0.45f + 0.55f * env_mod), 0.3f);
    env_mod *= fall;
    const float depth = 0.16f * std::clamp((t - 0.18f) / 0.3f, 0.0f, 1.0f);
    const float inc = midi_to_hz(n.pitch + depth * lfo.sine(5.4f * kDt)) * kDt;
    const float s = 0.6f * a.saw(inc) + 0.45f * b.pulse(inc * 1.004f, 0.35f);
    v.mono(i) = lp.process(s).low * gate.next(t) * 0.6f;
  }
}

void pluck(const Note& n, Dry& out) {
  const float tau = n.param > 0.0f ? n.param : 0.22f;
  Voice v(n, tau * 5.0f, false, out);
  Oscillator a, b;
  Svf lp;
  const float inc = v.hz() * kDt;
  const float fall = decay_factor(tau * 0.4f);
  float env_mod = 1.0f;
  Strike env(tau);
  for (std::size_t i = 0; i < v.count(); ++i) {
    if (v.control(i)) lp.set(250.0f + 5000.0f * v.bright(i) * env_mod, 0.35f);
    env_mod *= fall;
    const float s = a.pulse(inc, 0.25f) + 0.4f * b.saw(inc * 2.003f);
    v.mono(i) = 0.45f * lp.process(s).low * env.next(v.time(i));
  }
}

void bell(const Note& n, Dry& out) {
  const float tau = n.param > 0.0f ? n.param : 1.2f;
  Voice v(n, tau * 5.0f, false, out);
  const float inc = v.hz() * kDt;
  float carrier = 0.0f, modulator = 0.0f;
  float index = 2.2f * v.bright(0);
  const float index_fall = decay_factor(0.35f * tau);
  Strike env(tau);
  // Phase modulation: the index is in radians, the phases in turns.
  constexpr float kTurnsPerRadian = 1.0f / (2.0f * std::numbers::pi_v<float>);
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float s = Oscillator::fast_sin(carrier + index * kTurnsPerRadian * Oscillator::fast_sin(modulator));
    index *= index_fall;
    carrier += inc;
    modulator += 3.5f * inc;
    if (carrier >= 1.0f) carrier -= 1.0f;
    while (modulator >= 1.0f) modulator -= 1.0f;
    v.mono(i) = 0.5f * s * env.next(v.time(i));
  }
}

void sub(const Note& n, Dry& out) {
  const float ramp = n.param > 0.0f ? n.param : 0.3f;
  Voice v(n, ramp, false, out);
  Oscillator osc;
  const float inc = v.hz() * kDt;
  Gate gate(v.length(), ramp, ramp);
  for (std::size_t i = 0; i < v.count(); ++i) v.mono(i) = 0.7f * osc.sine(inc) * gate.next(v.time(i));
}

void riser(const Note& n, Dry& out) {
  Voice v(n, 0.02, true, out);
  Noise nl(v.seed()), nr(v.seed() ^ 0x27d4eb2du);
  Svf fl, fr;
  const float len = v.length();
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float t = v.time(i);
    const float x = std::min(t / len, 1.0f);
    if (v.control(i)) {
      const float hz = 250.0f * std::pow(36.0f * v.bright(i), x);
      fl.set(hz, 0.55f);
      fr.set(hz * 1.06f, 0.55f);
    }
    const float env = x * x * (t > len ? std::exp(-(t - len) / 0.004f) : 1.0f);
    v.stereo(i, fl.process(nl.next()).band * env, fr.process(nr.next()).band * env);
  }
}

void sweep(const Note& n, Dry& out) {
  Voice v(n, 0.0, true, out);
  Noise noise(v.seed());
  Svf bp;
  const float len = v.length();
  for (std::size_t i = 0; i < v.count(); ++i) {
    const float x = std::min(v.time(i) / len, 1.0f);
    const float arch = std::sin(std::numbers::pi_v<float> * x);
    if (v.control(i)) bp.set(600.0f * std::pow(10.0f, arch), 0.45f);
    // Travels across the stereo field from `pan` to `param`.
    const float angle = (n.pan + (n.param - n.pan) * x + 1.0f) * 0.25f * std::numbers::pi_v<float>;
    const float s = bp.process(noise.next()).band * arch * 1.41421356f;
    v.stereo(i, s * std::cos(angle), s * std::sin(angle));
  }
}

void bubble(const Note& n, Dry& out) {
  Voice v(n, 0.2, false, out);
  Oscillator osc;
  const float inc = v.hz() * kDt;
  const float rise = std::exp2(kDt / 0.045f);
  const float top = 8000.0f / v.hz();  // the glide stops well below the Nyquist frequency
  float glide = 1.0f;
  Strike env(0.045f);
  for (std::size_t i = 0; i < v.count(); ++i) {
    v.mono(i) = 0.6f * osc.sine(inc * glide) * env.next(v.time(i));
    glide = std::min(glide * rise, top);
  }
}

void tick(const Note& n, Dry& out) {
  Voice v(n, 0.03, false, out);
  Noise noise(v.seed());
  Svf bp;
  bp.set(v.hz(), 0.6f);
  Strike env(0.004f);
  for (std::size_t i = 0; i < v.count(); ++i) v.mono(i) = 2.0f * bp.process(noise.next()).band * env.next(v.time(i));
}

// Drops the inaudible end of a sound and fades out what is left of its tail
// over the last 20 ms, so that a cut-off decay does not click.
void trim(Dry& dry) {
  constexpr float kFloor = 1e-5f;  // -100 dB
  std::size_t end = dry.left.size();
  auto loud = [&](std::size_t i) {
    return std::fabs(dry.left[i]) > kFloor || (!dry.right.empty() && std::fabs(dry.right[i]) > kFloor);
  };
  while (end > 0 && !loud(end - 1)) --end;
  const std::size_t fade = std::min<std::size_t>(882, end);
  for (std::size_t k = 0; k < fade; ++k) {
    const float g = static_cast<float>(k) / static_cast<float>(fade);
    dry.left[end - 1 - k] *= g;
    if (!dry.right.empty()) dry.right[end - 1 - k] *= g;
  }
  dry.left.resize(end);
  if (!dry.right.empty()) dry.right.resize(end);
}

}  // namespace

void synthesize(const Note& n, Dry& dry) {
  switch (n.instrument) {
    case Instrument::Kick: kick(n, dry); break;
    case Instrument::Snare: snare(n, dry); break;
    case Instrument::Clap: clap(n, dry); break;
    case Instrument::HatClosed: hat(n, false, dry); break;
    case Instrument::HatOpen: hat(n, true, dry); break;
    case Instrument::Crash: crash(n, dry); break;
    case Instrument::Bass: bass(n, dry); break;
    case Instrument::Pad: pad(n, dry); break;
    case Instrument::Lead: lead(n, dry); break;
    case Instrument::Pluck: pluck(n, dry); break;
    case Instrument::Bell: bell(n, dry); break;
    case Instrument::Sub: sub(n, dry); break;
    case Instrument::Riser: riser(n, dry); break;
    case Instrument::Sweep: sweep(n, dry); break;
    case Instrument::Bubble: bubble(n, dry); break;
    case Instrument::Tick: tick(n, dry); break;
  }
  trim(dry);
}

Mixer::Mixer(double seconds)
    : left(static_cast<std::size_t>(std::llround(seconds * kSampleRate)), 0.0f),
      right(left.size(), 0.0f),
      echo_send_(left.size(), 0.0f),
      reverb_send_(left.size(), 0.0f) {}

void Mixer::set_pump(std::span<const double> kick_times) {
  // Each kick pulls the ducked parts down within 4 ms and lets them back up
  // over about a quarter of a beat.
  pump_.assign(frames() / kBlock + 2, 1.0f);
  for (const double at : kick_times) {
    const auto first = static_cast<std::size_t>(std::max(0.0, at * kSampleRate) / kBlock);
    for (std::size_t b = first; b < pump_.size(); ++b) {
      const double dt = static_cast<double>(b * kBlock) / kSampleRate - at;
      if (dt > 0.6) break;
      if (dt < 0.0) continue;
      const double depth = dt < 0.004 ? dt / 0.004 : std::exp(-(dt - 0.004) / 0.09);
      pump_[b] = std::min(pump_[b], static_cast<float>(1.0 - 0.8 * depth));
    }
  }
}

void Mixer::render(std::span<const Note> notes) {
  // Notes that sound alike (same instrument, pitch, length and settings, no
  // brightness automation) are played one after another from one synthesis.
  auto key = [&](std::size_t i) {
    const Note& n = notes[i];
    return std::make_tuple(static_cast<int>(n.instrument), n.pitch, n.length, n.bright, n.param);
  };
  std::vector<std::size_t> order(notes.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
  bool reusable = false;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const Note& n = notes[order[k]];
    if (n.brightness || !reusable || key(order[k]) != key(order[k - 1])) synthesize(n, scratch_);
    reusable = !n.brightness;
    place(n, scratch_);
  }
}

void Mixer::place(const Note& n, const Dry& dry) {
  const auto first = static_cast<std::size_t>(std::llround(std::max(0.0, n.time) * kSampleRate));
  if (first >= frames()) return;
  const std::size_t count = std::min(dry.left.size(), frames() - first);
  const float angle = (std::clamp(n.pan, -1.0f, 1.0f) + 1.0f) * 0.25f * std::numbers::pi_v<float>;
  const float pan_l = std::cos(angle) * 1.41421356f, pan_r = std::sin(angle) * 1.41421356f;
  const bool stereo = !dry.right.empty();
  auto gain_at = [&](std::size_t at) {
    float g = n.velocity;
    if (n.level) g *= n.level(static_cast<double>(at) / kSampleRate);
    if (n.duck > 0.0f) g *= 1.0f - n.duck * (1.0f - pump_[std::min(at / kBlock, pump_.size() - 1)]);
    return g;
  };
  const bool sends = n.delay != 0.0f || n.reverb != 0.0f;
  float gain = gain_at(first);
  for (std::size_t i0 = 0; i0 < count; i0 += kBlock) {
    const std::size_t i1 = std::min(count, i0 + kBlock);
    const float next = gain_at(first + i1);
    const float step = (next - gain) / static_cast<float>(i1 - i0);
    const float* dl = dry.left.data();
    const float* dr = stereo ? dry.right.data() : dl;
    float* ol = left.data() + first;
    float* orr = right.data() + first;
    for (std::size_t i = i0; i < i1; ++i) {
      const float g = gain + step * static_cast<float>(i - i0);
      ol[i] += dl[i] * g * pan_l;
      orr[i] += dr[i] * g * pan_r;
    }
    if (sends) {
      float* echo = echo_send_.data() + first;
      float* verb = reverb_send_.data() + first;
      for (std::size_t i = i0; i < i1; ++i) {
        const float g = gain + step * static_cast<float>(i - i0);
        const float m = 0.5f * g * (dl[i] * pan_l + dr[i] * pan_r);
        echo[i] += m * n.delay;
        verb[i] += m * n.reverb;
      }
    }
    gain = next;
  }
}

void Mixer::finish_sends() {
  scratch_ = {};
  PingPongDelay echo(kEchoSamples, 0.42f, 3500.0f);
  for (std::size_t i = 0; i < frames(); ++i) {
    float l, r;
    echo.process(echo_send_[i], l, r);
    left[i] += l;
    right[i] += r;
    reverb_send_[i] += 0.3f * (l + r);
  }
  Reverb reverb(0.86f, 0.3f);
  for (std::size_t i = 0; i < frames(); ++i) {
    float l, r;
    reverb.process(reverb_send_[i], l, r);
    left[i] += 2.5f * l;
    right[i] += 2.5f * r;
  }
  echo_send_ = {};
  reverb_send_ = {};
}

}  // namespace assetgen::music
