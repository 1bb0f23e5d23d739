#pragma once
// Signal-processing building blocks of the soundtrack synthesiser: noise,
// band-limited oscillators, filters, the delay and reverb of the send buses,
// the master limiter and a loudness meter. Everything is single-threaded and
// deterministic: the same input always gives the same samples.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace assetgen::music {

inline constexpr int kSampleRate = 44100;

float midi_to_hz(float midi);
float db_to_gain(float db);
float gain_to_db(float gain);

// White noise in [-1, 1) from a fixed seed (xorshift32).
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed ? seed : 0x9e3779b9u) {}
  float next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(static_cast<std::int32_t>(state_)) * (1.0f / 2147483648.0f);
  }
  // Uniform in [0, 1).
  float unit() { return 0.5f * next() + 0.5f; }

 private:
  std::uint32_t state_;
};

// Phase accumulator with band-limited (polyBLEP) sawtooth and pulse shapes.
// `inc` is frequency / sample rate.
class Oscillator {
 public:
  explicit Oscillator(float phase = 0) : phase_(phase) {}
  float saw(float inc) {
    const float v = 2.0f * phase_ - 1.0f - blep(phase_, inc);
    advance(inc);
    return v;
  }
  float pulse(float inc, float width) {
    float v = phase_ < width ? 1.0f : -1.0f;
    v += blep(phase_, inc);
    float shifted = phase_ + 1.0f - width;
    if (shifted >= 1.0f) shifted -= 1.0f;
    v -= blep(shifted, inc);
    advance(inc);
    return v + 1.0f - 2.0f * width;  // without its DC offset
  }
  // Plain square, not band-limited: for metal, where the grit is wanted.
  float square(float inc) {
    const float v = phase_ < 0.5f ? 1.0f : -1.0f;
    advance(inc);
    return v;
  }
  float sine(float inc) {
    const float v = fast_sin(phase_);
    advance(inc);
    return v;
  }

  // sin(2 pi x) for any x, to about 1e-4.
  static float fast_sin(float x) {
    x -= static_cast<float>(static_cast<int>(x + (x < 0.0f ? -0.5f : 0.5f)));  // now in [-0.5, 0.5]
    // Odd polynomial in y = 2x over [-1, 1] for sin(pi y), folded at the quarter turns.
    float y = 2.0f * x;
    if (y > 0.5f) y = 1.0f - y;
    else if (y < -0.5f) y = -1.0f - y;
    const float y2 = y * y;
    return y * (3.14159265f + y2 * (-5.16771278f + y2 * (2.55016403f + y2 * (-0.59926453f + y2 * 0.08214588f))));
  }

 private:
  static float blep(float t, float dt) {
    if (t < dt) {
      t /= dt;
      return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
      t = (t - 1.0f) / dt;
      return t * t + t + t + 1.0f;
    }
    return 0.0f;
  }
  void advance(float inc) {
    phase_ += inc;
    if (phase_ >= 1.0f) phase_ -= 1.0f;
  }
  float phase_;
};

// Zero-delay-feedback state-variable filter (12 dB/octave).
class Svf {
 public:
  struct Out {
    float low, band, high;
  };
  void set(float hz, float resonance);  // resonance 0 (Q 0.5) .. 1 (self-oscillation edge)
  Out process(float x) {
    const float v3 = x - ic2_;
    const float v1 = a1_ * ic1_ + a2_ * v3;
    const float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.0f * v1 - ic1_;
    ic2_ = 2.0f * v2 - ic2_;
    return {v2, v1, x - k_ * v1 - v2};
  }

 private:
  float a1_ = 1, a2_ = 0, a3_ = 0, k_ = 2;
  float ic1_ = 0, ic2_ = 0;
};

// Direct-form-I biquad in double precision.
class Biquad {
 public:
  Biquad() = default;
  Biquad(double b0, double b1, double b2, double a1, double a2) : b0_(b0), b1_(b1), b2_(b2), a1_(a1), a2_(a2) {}
  static Biquad highpass(double hz, double q);
  static Biquad lowpass(double hz, double q);
  double process(double x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// Stereo ping-pong echo fed from a mono send.
class PingPongDelay {
 public:
  PingPongDelay(int delay_samples, float feedback, float damping_hz);
  void process(float in, float& out_l, float& out_r);

 private:
  std::vector<float> left_, right_;
  std::size_t pos_ = 0;
  float feedback_;
  float damp_coef_;
  float lp_l_ = 0, lp_r_ = 0;
};

// Schroeder-Moorer reverb (eight damped combs and four all-passes a side),
// mono in, stereo out.
class Reverb {
 public:
  Reverb(float room, float damping);
  void process(float in, float& out_l, float& out_r);

 private:
  struct Comb {
    std::vector<float> buf;
    std::size_t pos = 0;
    float store = 0;
  };
  struct Allpass {
    std::vector<float> buf;
    std::size_t pos = 0;
  };
  float comb(Comb& c, float x);
  static float allpass(Allpass& a, float x);
  Comb combs_[2][8];
  Allpass allpasses_[2][4];
  float feedback_, damp_;
};

// Loudness meter (K-weighted, gated, integrated) fed a stereo signal sample
// by sample.
class LoudnessMeter {
 public:
  explicit LoudnessMeter(int rate);
  void add(float left, float right) {
    const double l = kl_[1].process(kl_[0].process(left));
    const double r = kr_[1].process(kr_[0].process(right));
    acc_ += l * l + r * r;
    if (++in_step_ == step_) {
      steps_.push_back(acc_ / static_cast<double>(step_));
      acc_ = 0.0;
      in_step_ = 0;
    }
  }
  // Integrated loudness of everything added so far, in LUFS; -inf for silence.
  double integrated() const;

 private:
  Biquad kl_[2], kr_[2];
  std::size_t step_, in_step_ = 0;
  double acc_ = 0.0;
  std::vector<double> steps_;  // mean square of each 100 ms
};

// Look-ahead peak limiter. It measures a stereo signal's peaks once (the
// samples and the inter-sample peaks estimated between neighbours) and can
// then produce the signal at any make-up gain with no peak above a ceiling:
// the gain ramps down over `lookahead` samples before a peak, recovers with
// the `release_s` time constant and never exceeds the make-up gain.
class Limiter {
 public:
  Limiter(std::span<const float> left, std::span<const float> right, int lookahead, float release_s);
  // out = in * gain, limited. `in` must be the signal measured; out may be it.
  void apply(std::span<const float> in_left, std::span<const float> in_right, float gain, float ceiling,
             std::span<float> out_left, std::span<float> out_right) const;
  // Integrated loudness the limited signal would have, without storing it.
  double loudness(std::span<const float> in_left, std::span<const float> in_right, float gain, float ceiling) const;

 private:
  // Calls emit(n, g) with the gain for every sample in turn.
  template <typename Emit>
  void run(float gain, float ceiling, Emit&& emit) const;

  std::vector<float> peaks_;
  std::size_t window_;
  float recover_;
};

// Limits a signal in place (make-up gain 1).
void limit(std::span<float> left, std::span<float> right, float ceiling, int lookahead, float release_s);

// Largest estimated inter-sample (4x oversampled) peak of a channel.
float true_peak(std::span<const float> channel);

// Integrated loudness (K-weighted, gated) of a stereo signal in LUFS;
// -inf for silence.
double integrated_loudness(std::span<const float> left, std::span<const float> right, int rate);

}  // namespace assetgen::music
