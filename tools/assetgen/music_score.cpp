#include "music_score.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace assetgen::music {

namespace {

constexpr double kStep = 0.125;  // a sixteenth note
constexpr double kBar = 2.0;     // a 4/4 bar

// ---------------------------------------------------------------- notation

// "A4", "C#5", "Bb3" -> MIDI note number (A4 = 69).
int pitch(std::string_view name) {
  static constexpr int kFromA[7] = {9, 11, 0, 2, 4, 5, 7};
  if (name.empty() || name[0] < 'A' || name[0] > 'G') throw std::logic_error("bad note name: " + std::string(name));
  int semis = kFromA[name[0] - 'A'];
  std::size_t i = 1;
  if (i < name.size() && name[i] == '#') ++semis, ++i;
  else if (i < name.size() && name[i] == 'b') --semis, ++i;
  if (i >= name.size()) throw std::logic_error("bad note name: " + std::string(name));
  return 12 * (std::stoi(std::string(name.substr(i))) + 1) + semis;
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
  return out;
}

struct Chord {
  int root;                // bass note, second octave
  std::vector<int> tones;  // pad voicing, around middle C
};

Chord chord(std::string_view root, std::string_view tones) {
  Chord c{pitch(root), {}};
  for (const auto w : words(tones)) c.tones.push_back(pitch(w));
  return c;
}

// The harmony of a stretch of music: chords by start time.
struct Progression {
  std::vector<std::pair<double, Chord>> changes;

  void add(double at, const Chord& c) { changes.emplace_back(at, c); }
  const Chord& at(double t) const {
    const Chord* found = &changes.front().second;
    for (const auto& [start, c] : changes)
      if (start <= t + 1e-9) found = &c;
    return *found;
  }
};

// Piecewise-linear automation through (time, value) points, flat outside.
Curve ramp(std::vector<std::pair<double, float>> points) {
  return [points = std::move(points)](double t) {
    if (t <= points.front().first) return points.front().second;
    for (std::size_t i = 1; i < points.size(); ++i)
      if (t < points[i].first) {
        const auto& [t0, v0] = points[i - 1];
        const auto& [t1, v1] = points[i];
        return static_cast<float>(v0 + (v1 - v0) * (t - t0) / (t1 - t0));
      }
    return points.back().second;
  };
}

Curve times(Curve a, Curve b) {
  return [a = std::move(a), b = std::move(b)](double t) { return a(t) * b(t); };
}

float smoothstep(double from, double to, double t) {
  const double x = std::clamp((t - from) / (to - from), 0.0, 1.0);
  return static_cast<float>(x * x * (3.0 - 2.0 * x));
}

// The cube's flicker as the picture shows it, frame by frame at 60 frames a
// second: 0 (dark) .. 1 (bright). `t` is seconds since the cube scene began.
float cube_flicker(double t) {
  const float frame = static_cast<float>(std::floor(t * 60.0) / 60.0);
  return static_cast<float>(0.5 + 0.5 * std::sin(static_cast<double>(124542.0f * frame)));
}

class Score {
 public:
  void add(const Note& n) { notes_.push_back(n); }

  Note& last() { return notes_.back(); }

  // A rhythm, one character a step from `start`, repeating until `end`:
  // '.' rests, '1'..'9' play at that many tenths of the velocity, 'x' at
  // full. `swing` delays every second step by that fraction of a step.
  void pattern(double start, double end, std::string_view steps, const Note& proto, double step = kStep,
               double swing = 0.0) {
    std::size_t i = 0;
    for (double t = start; t < end - 1e-9; t += step, ++i) {
      const char c = steps[i % steps.size()];
      if (c == '.') continue;
      Note n = proto;
      n.time = t + (i % 2 == 1 ? swing * step : 0.0);
      n.velocity *= c == 'x' ? 1.0f : static_cast<float>(c - '0') / 10.0f;
      add(n);
    }
  }

  // A line of notes "E5:4 r:2 A5:2 ..." (name:length in steps, r rests)
  // from `start`. Returns where it ends.
  double line(double start, std::string_view text, const Note& proto, double gate = 0.92, double step = kStep,
              int transpose = 0) {
    double t = start;
    for (const auto w : words(text)) {
      const auto colon = w.find(':');
      if (colon == std::string_view::npos) throw std::logic_error("bad line item: " + std::string(w));
      const double length = std::stoi(std::string(w.substr(colon + 1))) * step;
      const auto name = w.substr(0, colon);
      if (name != "r") {
        Note n = proto;
        n.time = t;
        n.length = length * gate;
        n.pitch = static_cast<float>(pitch(name) + transpose);
        add(n);
      }
      t += length;
    }
    return t;
  }

  // Every tone of the chord, held from `start` for `length`.
  void hold(double start, double length, const std::vector<int>& tones, const Note& proto, int transpose = 0) {
    for (const int tone : tones) {
      Note n = proto;
      n.time = start;
      n.length = length;
      n.pitch = static_cast<float>(tone + transpose);
      add(n);
    }
  }

  // One held chord per change of the progression between `from` and `to`.
  void pads(const Progression& prog, double from, double to, const Note& proto, double overlap = 0.0) {
    for (std::size_t i = 0; i < prog.changes.size(); ++i) {
      const double start = std::max(from, prog.changes[i].first);
      const double stop = std::min(to, i + 1 < prog.changes.size() ? prog.changes[i + 1].first : to);
      if (stop > start) hold(start, stop - start + overlap, prog.changes[i].second.tones, proto);
    }
  }

  // A bass line over a progression, one character a step: r the root, o its
  // octave, f the fifth, '-' holds the note before, '.' rests.
  void bassline(const Progression& prog, double start, double end, std::string_view steps, const Note& proto,
                double step = kStep) {
    std::size_t i = 0;
    for (double t = start; t < end - 1e-9; t += step, ++i) {
      const char c = steps[i % steps.size()];
      int offset;
      switch (c) {
        case 'r': offset = 0; break;
        case 'o': offset = 12; break;
        case 'f': offset = 7; break;
        default: continue;
      }
      std::size_t held = 1;
      while (steps[(i + held) % steps.size()] == '-' && t + held * step < end - 1e-9) ++held;
      Note n = proto;
      n.time = t;
      n.length = static_cast<double>(held) * step * 0.85;
      n.pitch = static_cast<float>(prog.at(t).root + offset);
      add(n);
    }
  }

  // An arpeggio over a progression: each digit of `order` picks a chord tone
  // (counting on into higher octaves), one a step.
  void arpeggio(const Progression& prog, double start, double end, std::string_view order, const Note& proto,
                int transpose = 0, double step = kStep) {
    std::size_t i = 0;
    for (double t = start; t < end - 1e-9; t += step, ++i) {
      const char c = order[i % order.size()];
      if (c == '.') continue;
      const auto& tones = prog.at(t).tones;
      const auto k = static_cast<std::size_t>(c - '0');
      Note n = proto;
      n.time = t;
      n.pitch = static_cast<float>(tones[k % tones.size()] + 12 * static_cast<int>(k / tones.size()) + transpose);
      add(n);
    }
  }

  // Calls `place(t)` on the steps from `start` to `end` that a fixed-seed
  // coin with the given chance picks.
  template <typename Fn>
  void sprinkle(double start, double end, double step, float chance, Fn&& place) {
    for (double t = start; t < end - 1e-9; t += step)
      if (rng.unit() < chance) place(t);
  }

  std::vector<Note> take() { return std::move(notes_); }

  Noise rng{0x5eed1234u};

 private:
  std::vector<Note> notes_;
};

// ---------------------------------------------------------------- sounds

Note kick(float velocity = 0.9f) { return Note{.instrument = Instrument::Kick, .velocity = velocity}; }
Note snare(float velocity = 0.45f) {
  return Note{.instrument = Instrument::Snare, .velocity = velocity, .reverb = 0.12f};
}
Note clap(float velocity = 0.4f) {
  return Note{.instrument = Instrument::Clap, .velocity = velocity, .pan = 0.05f, .reverb = 0.2f};
}
Note hat(float velocity = 0.22f) {
  return Note{.instrument = Instrument::HatClosed, .velocity = velocity, .pan = 0.25f, .reverb = 0.03f};
}
Note open_hat(float velocity = 0.06f) {
  return Note{.instrument = Instrument::HatOpen, .velocity = velocity, .pan = -0.2f, .reverb = 0.05f};
}
Note crash(float velocity = 0.3f, float decay = 1.6f) {
  return Note{.instrument = Instrument::Crash, .velocity = velocity, .reverb = 0.15f, .param = decay};
}
Note bass(float velocity = 0.42f, float bright = 0.4f) {
  return Note{.instrument = Instrument::Bass, .velocity = velocity, .bright = bright, .duck = 0.55f};
}
Note pad(float velocity = 0.32f, float bright = 0.5f) {
  return Note{.instrument = Instrument::Pad, .velocity = velocity, .reverb = 0.3f, .bright = bright, .duck = 0.6f};
}
Note lead(float velocity = 0.3f) {
  return Note{.instrument = Instrument::Lead, .velocity = velocity, .reverb = 0.18f, .delay = 0.22f};
}
Note pluck(float velocity = 0.26f, float bright = 0.7f) {
  return Note{.instrument = Instrument::Pluck,
              .velocity = velocity,
              .reverb = 0.1f,
              .delay = 0.25f,
              .bright = bright,
              .duck = 0.3f};
}
Note bell(float velocity = 0.18f) {
  return Note{.instrument = Instrument::Bell, .velocity = velocity, .reverb = 0.35f, .delay = 0.3f};
}
Note sub(float velocity = 0.35f, float ramp_s = 0.5f) {
  return Note{.instrument = Instrument::Sub, .velocity = velocity, .param = ramp_s};
}
Note riser(double start, double end, float velocity = 0.16f) {
  return Note{.instrument = Instrument::Riser, .time = start, .length = end - start, .velocity = velocity,
              .reverb = 0.2f};
}

// A roll of sixteenths from `start` to `end` growing from `from` to `to`.
void roll(Score& s, double start, double end, float from, float to, double step = kStep) {
  const int count = static_cast<int>(std::lround((end - start) / step));
  for (int i = 0; i < count; ++i) {
    Note n = snare(from + (to - from) * static_cast<float>(i) / static_cast<float>(std::max(count - 1, 1)));
    n.time = start + i * step;
    s.add(n);
  }
}

// ---------------------------------------------------------------- harmony

const Chord kAm9 = chord("A2", "A3 C4 E4 B4");
const Chord kAm = chord("A2", "A3 C4 E4");
const Chord kFmaj7 = chord("F2", "A3 C4 E4 F4");
const Chord kF = chord("F2", "A3 C4 F4");
const Chord kC = chord("C2", "G3 C4 E4");
const Chord kG = chord("G2", "G3 B3 D4");
const Chord kDm9 = chord("D2", "A3 C4 E4 F4");
const Chord kDm7 = chord("D2", "A3 C4 D4 F4");
const Chord kEm7 = chord("E2", "G3 B3 D4 E4");
const Chord kEsus = chord("E2", "A3 B3 E4");
const Chord kE = chord("E2", "G#3 B3 E4");
const Chord kCmaj = chord("C2", "G3 C4 E4 G4");

// The main theme's turn of chords, one a bar.
Progression four_chords(double start, int bars, const std::vector<const Chord*>& turn) {
  Progression p;
  for (int k = 0; k < bars; ++k) p.add(start + k * kBar, *turn[static_cast<std::size_t>(k) % turn.size()]);
  return p;
}

// The main theme, eight bars over Am F C G twice.
constexpr std::string_view kThemeA[8] = {
    "E5:4 A5:2 G5:2 E5:4 D5:2 E5:2", "C5:6 A4:2 C5:4 D5:4", "E5:4 G5:2 E5:2 D5:4 C5:2 D5:2", "B4:8 r:4 D5:2 E5:2",
    "E5:4 A5:2 B5:2 C6:4 B5:2 A5:2", "C6:6 A5:2 G5:4 F5:4", "E5:4 G5:2 C6:2 E6:4 D6:2 C6:2", "D6:8 B5:4 G5:4",
};
// Its answer, higher.
constexpr std::string_view kThemeB[7] = {
    "A5:4 C6:4 E6:6 D6:2", "C6:4 A5:4 F5:4 A5:4", "G5:4 C6:4 E6:6 G6:2", "D6:8 B5:4 G5:4",
    "E6:6 D6:2 C6:4 B5:4", "A5:6 G5:2 F5:4 E5:4", "E5:4 G5:4 D6:8",
};

// ---------------------------------------------------------------- sections

// 0-15 s: the still frame of the rig, glowing and pulsing in the dark, with
// faint discs drifting across; it dims at 11.5 s, resolves and hands over.
void intro(Score& s) {
  const Curve level = [](double t) {
    float v = smoothstep(0.0, 2.5, t);
    // The picture dips to black at 11.5 s and comes back.
    if (t > 10.0 && t < 13.0) v *= static_cast<float>(0.3 + 0.7 * (0.5 + 0.5 * std::cos(2.0 * std::numbers::pi * (t - 10.0) / 3.0)));
    return v;
  };
  // The glow's pulse: 0.75 + 0.25 cos(t) cos(2t).
  const Curve pulse = [](double t) { return static_cast<float>(0.75 + 0.25 * std::cos(t) * std::cos(2.0 * t)); };
  Progression prog;
  prog.add(0.0, kAm9);
  prog.add(4.0, kFmaj7);
  prog.add(8.0, kDm9);
  prog.add(11.5, kEsus);
  prog.add(13.5, kE);

  Note p = pad(0.32f, 0.5f);
  p.duck = 0.0f;
  p.param = 1.6f;
  p.reverb = 0.45f;
  p.level = level;
  p.brightness = ramp({{0.0, 0.35f}, {10.0, 0.7f}, {11.5, 0.4f}, {15.0, 1.0f}});
  s.pads(prog, 0.0, 15.0, p, 0.3);

  Note low = sub(0.34f, 0.9f);
  low.level = times(level, pulse);
  s.line(0.0, "A1:32 F1:32 D2:28 E1:28", low, 1.0);

  // The drifting discs: sparse bell tones, further away once the view widens.
  static constexpr int kScale[7] = {69, 72, 74, 76, 79, 81, 84};
  s.sprinkle(1.0, 14.0, 0.25, 0.3f, [&](double t) {
    Note b = bell(t < 11.5 ? 0.16f : 0.09f);
    b.time = t;
    b.pitch = static_cast<float>(kScale[static_cast<int>(s.rng.unit() * 7.0f) % 7]);
    b.pan = s.rng.next() * 0.7f;
    b.bright = t < 11.5 ? 0.9f : 0.5f;
    b.reverb = t < 11.5 ? 0.4f : 0.7f;
    b.velocity *= 0.6f + 0.4f * s.rng.unit();
    b.level = level;
    s.add(b);
  });

  // A heartbeat under the glow.
  Note beat = kick(0.42f);
  beat.bright = 0.1f;
  beat.param = 0.22f;
  beat.level = level;
  s.pattern(4.0, 10.0, "x.6.............", beat);
  s.pattern(12.0, 14.0, "x.6.............", beat);

  // The picture sharpens from 13 s: build into the live rig.
  s.add(riser(12.0, 15.0, 0.2f));
  roll(s, 14.0, 15.0, 0.08f, 0.4f);
}

// 15-53 s: the drill rig at work. Logo at 20 s, shaking from 28 s, ribbons
// from 39 s, the teal wipe in the last second.
void rig(Score& s) {
  const double start = kRigStart, end = kMetaballStart;
  const std::vector<const Chord*> turn = {&kAm, &kF, &kC, &kG};
  Progression prog = four_chords(start, 19, turn);
  prog.changes.back().second = kG;  // bar 18, 51-53 s, under the wipe

  // The shake's amplitude, 0 at 28 s, full at 36 s, easing off to 40 s.
  const Curve shake = [](double t) {
    if (t < 28.0 || t > 40.0) return 0.0f;
    return static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * (t - 28.0) / 8.0));
  };
  const Curve ribbons = [](double t) { return t < 39.0 ? 0.82f : 1.0f; };

  s.add(crash(0.4f));
  s.last().time = start;
  for (double t : {31.0, 47.0}) {
    s.add(crash(0.22f));
    s.last().time = t;
  }
  s.add(crash(0.45f, 2.0f));
  s.last().time = 39.0;

  s.pattern(start, 51.0, "x...x...x...x...", kick());
  s.pattern(51.0, end, "x...x...x.......", kick());
  Note sn = snare(0.42f);
  sn.level = ribbons;
  s.pattern(start, 52.0, "....x.......x...", sn);
  s.pattern(39.0, 52.0, "....x.......x...", clap(0.3f));
  s.pattern(start, 19.0, "..x...x...x...x.", hat());
  Note h = hat(0.26f);
  h.level = ribbons;
  s.pattern(19.0, 52.0, "7362736273627362", h);
  s.pattern(28.0, 52.0, "..x...x...x...x.", open_hat());

  Note b = bass(0.45f);
  b.brightness = [shake](double t) { return (t < 39.0 ? 0.85f : 1.25f) + 0.9f * shake(t); };
  s.bassline(prog, start, 52.0, "r.ro.ror.ro.rorf", b);
  s.bassline(prog, 52.0, end, "r-------", b);

  Note p = pad(0.27f, 0.8f);
  p.level = ribbons;
  s.pads(prog, start, end, p, 0.05);

  // The logo: two blinks, then a fade in and out carried by an arpeggio.
  for (double t : {20.25, 20.75}) {
    Note stab = pluck(0.34f, 1.3f);
    stab.param = 0.3f;
    s.hold(t, 0.1, prog.at(t).tones, stab, 12);
  }
  Note arp = pluck(0.26f, 0.9f);
  arp.level = [](double t) {
    if (t < 25.0) return static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * (t - 21.0) / 2.0));
    return 0.8f * smoothstep(27.0, 29.0, t) + (t > 39.0 ? 0.1f : 0.0f);
  };
  s.arpeggio(prog, 21.0, 52.0, "0120312031201202", arp, 12);

  // The rig rattles while it shakes.
  s.sprinkle(28.0, 40.0, kStep, 0.6f, [&](double t) {
    const float a = shake(t);
    if (s.rng.unit() > a) return;
    Note tk{.instrument = Instrument::Tick, .time = t, .pitch = 100.0f + 12.0f * s.rng.unit(), .velocity = 0.2f * a};
    tk.pan = s.rng.next() * 0.8f;
    s.add(tk);
  });
  s.add(riser(35.0, 39.0, 0.18f));
  s.pattern(38.0, 39.0, "x.xxx.xx", snare(0.3f));

  // The ribbons grow: the theme.
  double t = 39.0;
  for (int k = 0; k < 6; ++k) t = s.line(t, kThemeA[k], lead());
  s.line(t, "D5:2 G5:2 B5:4 D6:8", lead());

  // The teal panel sweeps in from the right.
  s.add(Note{.instrument = Instrument::Sweep, .time = 52.0, .length = 1.0, .velocity = 0.3f, .pan = 1.0f,
             .reverb = 0.2f, .param = -1.0f});
  roll(s, kMetaballStart - 1.0, kMetaballStart, 0.12f, 0.45f);
}

// 53-70 s: the metaballs, a bouncier groove; blobs appear from 55 s and
// swallow the teal field from 68 s.
void metaballs(Score& s) {
  const double start = kMetaballStart, end = kCreatureStart;
  Progression prog;
  const std::vector<const Chord*> turn = {&kDm7, &kEm7, &kFmaj7, &kEm7, &kDm7, &kEm7, &kFmaj7, &kG};
  for (int k = 0; k < 8; ++k) prog.add(start + k * kBar, *turn[static_cast<std::size_t>(k)]);
  const Curve swallow = ramp({{start, 0.75f}, {67.0, 0.9f}, {69.5, 2.2f}});

  s.add(crash(0.3f));
  s.last().time = start;
  s.pattern(start, 69.0, "x.....x...x..x..", kick());
  s.pattern(start, 69.0, "....x.......x...", clap(0.42f));
  s.pattern(start, 69.0, "6363636363636363", hat(0.24f), kStep, 0.2);
  s.pattern(55.0, 69.0, "......x.......x.", open_hat(0.05f), kStep, 0.2);

  Note b = bass(0.4f, 0.55f);
  b.param = 0.09f;
  b.brightness = swallow;
  s.bassline(prog, start, 69.0, "r..ro..r.rf.o..f", b);
  s.bassline(prog, 69.0, end, "r---", b);

  Note p = pad(0.16f, 0.35f);
  p.brightness = swallow;
  s.pads(prog, start, end, p);
  Note stab = pluck(0.17f, 0.8f);
  stab.param = 0.14f;
  stab.brightness = swallow;
  for (int k = 1; k < 8; ++k)
    for (int step : {2, 7, 10}) {
      const double t = start + k * kBar + step * kStep;
      s.hold(t, 0.1, prog.at(t).tones, stab, 12);
    }

  // One droplet per blob as it appears, then bubbling where they merge.
  const float rising[4] = {72, 76, 79, 84};
  for (int i = 0; i < 4; ++i) {
    Note d{.instrument = Instrument::Bubble, .time = 55.0 + i, .pitch = rising[i], .velocity = 0.45f,
           .pan = -0.45f + 0.3f * static_cast<float>(i), .reverb = 0.25f, .delay = 0.3f};
    s.add(d);
  }
  s.sprinkle(58.5, 69.0, kStep, 0.14f, [&](double t) {
    Note d{.instrument = Instrument::Bubble, .time = t, .pitch = 64.0f + 24.0f * s.rng.unit(),
           .velocity = 0.18f + 0.15f * s.rng.unit(), .pan = s.rng.next() * 0.7f, .reverb = 0.2f, .delay = 0.25f};
    s.add(d);
  });

  s.add(riser(66.0, kCreatureStart, 0.2f));
  roll(s, 69.0, kCreatureStart, 0.15f, 0.5f);
}

// 70-114.5 s: the creature swims up out of the dark (brightening to 85 s),
// turns to face us and drifts on while copies sweep past; quick fade at 114 s.
void creature(Score& s) {
  const double start = kCreatureStart, end = kGreetingsStart;
  Progression prog;
  const std::vector<const Chord*> turn = {&kFmaj7, &kEm7, &kDm9, &kAm9};
  for (int k = 0; k < 10; ++k) prog.add(start + 4.0 * k, *turn[static_cast<std::size_t>(k) % 4]);
  prog.add(110.0, kE);
  const Curve dawn = [](double t) {
    float v = 0.2f + 0.8f * smoothstep(kCreatureStart, 84.0, t);
    if (t > 114.0) v *= static_cast<float>(std::max(0.0, 1.0 - (t - 114.0) / 0.4));
    return v;
  };

  Note p = pad(0.34f, 0.45f);
  p.param = 1.5f;
  p.reverb = 0.5f;
  p.duck = 0.25f;
  p.level = dawn;
  p.brightness = ramp({{start, 0.55f}, {85.0, 1.0f}, {110.0, 1.2f}});
  s.pads(prog, start, end, p, 0.4);

  Note low = sub(0.3f, 0.8f);
  low.level = dawn;
  for (const auto& [at, c] : prog.changes) {
    low.time = at;
    low.length = at >= 110.0 ? 4.0 : 3.9;
    low.pitch = static_cast<float>(c.root - 12);
    s.add(low);
  }

  // The slow shimmer: high bells, eighths, echoing.
  Note shimmer = bell(0.075f);
  shimmer.bright = 0.6f;
  shimmer.delay = 0.5f;
  shimmer.reverb = 0.5f;
  shimmer.param = 0.9f;
  shimmer.level = dawn;
  s.arpeggio(prog, start, 114.0, "0.2.4.1.3.5.2.6.", shimmer, 12, kStep);

  // Turning to face us: a shaker and a swell into the beat.
  Note shaker = hat(0.1f);
  shaker.level = dawn;
  s.pattern(80.0, 114.0, "5283528352835283", shaker, kStep, 0.15);
  s.add(riser(83.0, 86.0, 0.14f));

  // From 86 s a half-time beat, round bass and the floating melody.
  s.add(crash(0.25f, 2.5f));
  s.last().time = 86.0;
  Note k = kick(0.8f);
  k.level = dawn;
  s.pattern(86.0, 114.0, "x.........x.....", k);
  Note sn = snare(0.38f);
  sn.reverb = 0.45f;
  sn.level = dawn;
  s.pattern(86.0, 114.0, "........x.......", sn);

  Note b = bass(0.4f, 0.16f);
  b.duck = 0.3f;
  b.level = dawn;
  s.bassline(prog, 86.0, 114.0, "r-----r-f--r--o-", b);

  Note l = lead(0.26f);
  l.bright = 0.45f;
  l.delay = 0.4f;
  l.reverb = 0.35f;
  l.level = dawn;
  double t = 86.0;
  for (const auto* phrase :
       {"A5:8 G5:4 E5:4 C5:12 r:4", "B4:8 D5:4 E5:4 G5:12 r:4", "F5:8 E5:4 D5:4 A5:8 C6:4 B5:4", "B5:12 A5:4 E5:16",
        "C6:8 B5:4 A5:4 G5:8 E5:8", "G5:8 E5:4 D5:4 B4:16", "G#5:8 B5:8 E6:16"})
    t = s.line(t, phrase, l, 0.95);

  // Into the greetings: a reversed swell over the fade to black.
  s.add(riser(113.0, kGreetingsStart, 0.16f));
}

// 114.5-130 s: the greetings, one line every 1.5 s, two lines to a chord; a
// rolling 6/8 where each bar is one line and its melody peaks with the line.
void greetings(Score& s) {
  const double start = kGreetingsStart;
  constexpr double kLine = 1.5;
  const Chord* blocks[5] = {&kCmaj, &kG, &kAm, &kF, &kG};
  Progression prog;
  for (int k = 0; k < 5; ++k) prog.add(start + 2 * kLine * k, *blocks[k]);
  const double stop = start + 10 * kLine;  // 129.5

  s.add(crash(0.35f));
  s.last().time = start;
  s.pattern(start, stop, "x.....x...x.", kick(0.85f));
  s.pattern(start, stop, "......x.....", clap(0.38f));
  s.pattern(start, stop, "7.4.5.7.4.5.", hat(0.24f));
  s.pattern(start, stop, "....x.....x.", open_hat(0.04f));
  s.bassline(prog, start, stop, "r.r.o.r.f.o.", bass(0.4f, 0.45f));
  s.pads(prog, start, stop, pad(0.27f, 0.6f), 0.1);

  static constexpr std::string_view kLines[10] = {
      "C5:2 E5:2 G5:2 C6:6", "E6:2 D6:2 C6:2 G5:6", "B4:2 D5:2 G5:2 B5:6", "D6:2 B5:2 G5:2 D5:6",
      "C5:2 E5:2 A5:2 C6:6", "E6:2 C6:2 A5:2 E5:6", "A4:2 C5:2 F5:2 A5:6", "C6:2 A5:2 F5:2 C5:6",
      "B4:2 D5:2 G5:2 B5:6", "D6:2 G5:2 B5:2 D6:6",
  };
  Note tune = pluck(0.37f, 1.0f);
  tune.param = 0.3f;
  Note sparkle = bell(0.1f);
  for (int i = 0; i < 10; ++i) {
    const double at = start + kLine * i;
    tune.pan = i % 2 ? 0.2f : -0.2f;
    s.line(at, kLines[i], tune);
    s.line(at, kLines[i], sparkle, 0.92, kStep, 12);
  }
  roll(s, stop, kFinaleStart, 0.15f, 0.4f);
}

// 130-180 s: the glowing cube. Flickering in the dark, the flash at 138 s,
// the fade to black and the cut at 141 s, the credits from 142 s, the flicker
// swelling again from 172 s and darkness from 177 s.
void finale(Score& s) {
  const double start = kFinaleStart;
  auto flicker = [](double t) { return cube_flicker(t - kFinaleStart); };

  // In the dark: the cube's hum, flickering with the picture.
  const Curve glow = [flicker](double t) {
    return smoothstep(kFinaleStart, 132.5, t) * (0.55f + 0.45f * flicker(t)) * (1.0f - smoothstep(137.6, 138.0, t));
  };
  Note hum = pad(0.2f, 0.45f);
  hum.duck = 0.0f;
  hum.param = 0.05f;
  hum.reverb = 0.35f;
  hum.level = glow;
  hum.brightness = ramp({{kFinaleStart, 0.5f}, {138.0, 0.95f}});
  s.hold(start, 8.0, kAm9.tones, hum);
  Note low = sub(0.2f, 1.0f);
  s.add(low);
  s.last().time = start;
  s.last().length = 7.5;
  s.last().pitch = 33;
  s.sprinkle(start + 0.5, 138.0, 1.0 / 32.0, 0.1f, [&](double t) {
    Note tk{.instrument = Instrument::Tick, .time = t, .pitch = 92.0f + 18.0f * s.rng.unit(),
            .velocity = 0.08f + 0.1f * flicker(t), .pan = s.rng.next() * 0.6f, .reverb = 0.15f};
    s.add(tk);
  });
  s.pattern(134.0, 138.0, "x...x...x...x...", kick(0.32f));
  s.add(riser(135.0, 138.0, 0.22f));

  // The flash, then the fade to black and the cut.
  const std::vector<const Chord*> turn = {&kAm, &kF, &kC, &kG};
  const Curve black = [](double t) {
    if (t < 140.0) return 1.0f;
    if (t >= 141.0) return 0.0f;
    return static_cast<float>(0.5 + 0.5 * std::cos(std::numbers::pi * (t - 140.0)));
  };
  s.add(crash(0.5f, 2.2f));
  s.last().time = 138.0;
  Progression flash;
  flash.add(138.0, kAm9);
  Note k = kick(0.9f);
  k.level = black;
  s.pattern(138.0, 140.0, "x...x...x...x...", k);
  s.add(kick(0.95f));
  s.last().time = 141.0;
  Note h = hat(0.26f);
  h.level = black;
  s.pattern(138.0, 140.0, "7362736273627362", h);
  Note b = bass(0.45f, 0.5f);
  b.level = black;
  s.bassline(flash, 138.0, 140.5, "r.ro.ror.ro.rorf", b);
  Note p = pad(0.32f, 0.8f);
  p.level = black;
  s.pads(flash, 138.0, 140.6, p);
  s.add(riser(141.0, 142.0, 0.2f));
  roll(s, 141.0, 142.0, 0.1f, 0.45f);

  // The credits and the finale proper.
  const double main = 142.0, build = 172.0, dark = 177.0;
  Progression prog = four_chords(main, 17, turn);
  prog.add(176.0, kG);
  s.add(crash(0.45f, 2.2f));
  s.last().time = main;
  for (double t : {146.0, 150.0, 158.0, 166.0}) {
    s.add(crash(0.25f));
    s.last().time = t;
  }
  s.pattern(main, dark, "x...x...x...x...", kick());
  s.pattern(main, build, "....x.......x...", snare(0.42f));
  s.pattern(main, build, "....x.......x...", clap(0.3f));
  s.pattern(main, dark, "7362736273627362", hat(0.27f));
  s.pattern(main, dark, "..x...x...x...x.", open_hat(0.06f));
  Note fb = bass(0.45f, 0.6f);
  s.bassline(prog, main, dark, "r.ro.ror.ro.rorf", fb);
  Note fp = pad(0.27f, 0.75f);
  s.pads(prog, main, dark, fp, 0.05);
  Note arp = pluck(0.22f, 1.0f);
  s.arpeggio(prog, main, dark, "0120312031201202", arp, 12);

  Note l = lead(0.3f);
  l.bright = 1.15f;
  double t = main;
  for (const auto phrase : kThemeA) t = s.line(t, phrase, l);
  Note high = bell(0.08f);
  high.delay = 0.2f;
  for (const auto phrase : kThemeB) {
    s.line(t, phrase, high, 0.9, kStep, 12);
    t = s.line(t, phrase, l);
  }

  // 172-177 s: the flicker returns and swells.
  const Curve swell = ramp({{build, 0.0f}, {dark, 1.0f}});
  Note flick = pad(0.35f, 1.0f);
  flick.duck = 0.2f;
  flick.param = 0.05f;
  flick.level = [flicker, swell](double tt) { return swell(tt) * flicker(tt); };
  s.hold(build, dark - build, kAm9.tones, flick, 12);
  roll(s, build, 175.0, 0.15f, 0.35f, 2 * kStep);
  roll(s, 175.0, dark, 0.35f, 0.6f);
  s.add(riser(build, dark, 0.28f));
  s.sprinkle(build, dark, 1.0 / 32.0, 0.25f, [&](double tt) {
    Note tk{.instrument = Instrument::Tick, .time = tt, .pitch = 92.0f + 20.0f * s.rng.unit(),
            .velocity = 0.22f * std::max(swell(tt), 0.05f), .pan = s.rng.next() * 0.8f, .reverb = 0.15f};
    s.add(tk);
  });
  s.line(build, "A5:16 C6:16 D6:4 E6:4", l, 1.0);

  // 177-180 s: darkness, then the rush into the closing flash.
  s.add(sub(0.16f, 0.4f));
  s.last().time = dark;
  s.last().length = 2.6;
  s.last().pitch = 28;
  Note echo = bell(0.14f);
  echo.delay = 0.6f;
  s.add(echo);
  s.last().time = dark;
  s.last().pitch = 76;
  s.add(riser(178.0, kOutroStart, 0.25f));
}

// 180-185 s: the closing picture under a white flash, fading to black.
void outro(Score& s) {
  const double start = kOutroStart;
  const Curve fade = [](double t) { return static_cast<float>(std::clamp((kSilenceFrom - t) / 3.0, 0.0, 1.0)); };
  s.add(crash(0.5f, 2.5f));
  s.last().time = start;
  s.add(kick(1.0f));
  s.last().time = start;
  s.last().param = 0.6f;
  Note p = pad(0.35f, 1.0f);
  p.duck = 0.0f;
  p.param = 0.02f;
  p.level = fade;
  p.brightness = ramp({{start, 1.1f}, {kSilenceFrom, 0.3f}});
  s.hold(start, 4.8, {57, 60, 64, 67, 71, 76}, p);
  Note low = sub(0.4f, 0.05f);
  low.level = fade;
  s.add(low);
  s.last().time = start;
  s.last().length = 4.8;
  s.last().pitch = 33;
  Note sparkle = bell(0.14f);
  sparkle.param = 1.6f;
  s.line(start, "A5:1 C6:1 E6:1 A6:1 B6:1 E7:11", sparkle, 1.0, kStep / 2);
}

}  // namespace

std::vector<Note> compose() {
  Score s;
  intro(s);
  rig(s);
  metaballs(s);
  creature(s);
  greetings(s);
  finale(s);
  outro(s);
  return s.take();
}

float master_level(double t) {
  if (t < 183.0) return 1.0f;
  if (t >= kSilenceFrom) return 0.0f;
  return static_cast<float>(0.5 + 0.5 * std::cos(std::numbers::pi * (t - 183.0) / (kSilenceFrom - 183.0)));
}

}  // namespace assetgen::music
