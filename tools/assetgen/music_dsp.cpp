#include "music_dsp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <numbers>

namespace assetgen::music {

float midi_to_hz(float midi) { return 440.0f * std::exp2((midi - 69.0f) / 12.0f); }
float db_to_gain(float db) { return std::pow(10.0f, db / 20.0f); }
float gain_to_db(float gain) { return 20.0f * std::log10(std::max(gain, 1e-12f)); }

void Svf::set(float hz, float resonance) {
  hz = std::clamp(hz, 10.0f, 0.45f * kSampleRate);
  const float g = std::tan(std::numbers::pi_v<float> * hz / kSampleRate);
  k_ = 2.0f - 1.96f * std::clamp(resonance, 0.0f, 1.0f);
  a1_ = 1.0f / (1.0f + g * (g + k_));
  a2_ = g * a1_;
  a3_ = g * a2_;
}

Biquad Biquad::highpass(double hz, double q) {
  const double w = 2.0 * std::numbers::pi * hz / kSampleRate;
  const double alpha = std::sin(w) / (2.0 * q);
  const double c = std::cos(w);
  const double a0 = 1.0 + alpha;
  return Biquad((1.0 + c) / 2.0 / a0, -(1.0 + c) / a0, (1.0 + c) / 2.0 / a0, -2.0 * c / a0, (1.0 - alpha) / a0);
}

Biquad Biquad::lowpass(double hz, double q) {
  const double w = 2.0 * std::numbers::pi * hz / kSampleRate;
  const double alpha = std::sin(w) / (2.0 * q);
  const double c = std::cos(w);
  const double a0 = 1.0 + alpha;
  return Biquad((1.0 - c) / 2.0 / a0, (1.0 - c) / a0, (1.0 - c) / 2.0 / a0, -2.0 * c / a0, (1.0 - alpha) / a0);
}

PingPongDelay::PingPongDelay(int delay_samples, float feedback, float damping_hz)
    : left_(static_cast<std::size_t>(delay_samples), 0.0f),
      right_(static_cast<std::size_t>(delay_samples), 0.0f),
      feedback_(feedback),
      damp_coef_(1.0f - std::exp(-2.0f * std::numbers::pi_v<float> * damping_hz / kSampleRate)) {}

void PingPongDelay::process(float in, float& out_l, float& out_r) {
  const float dl = left_[pos_];
  const float dr = right_[pos_];
  // The echo alternates sides: what leaves the left line re-enters on the right.
  lp_l_ += damp_coef_ * (dl - lp_l_) + 1e-20f;
  lp_r_ += damp_coef_ * (dr - lp_r_) + 1e-20f;
  left_[pos_] = in + feedback_ * lp_r_;
  right_[pos_] = feedback_ * lp_l_;
  if (++pos_ == left_.size()) pos_ = 0;
  out_l = dl;
  out_r = dr;
}

Reverb::Reverb(float room, float damping) : feedback_(room), damp_(damping) {
  static constexpr std::array<int, 8> kCombs = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  static constexpr std::array<int, 4> kAllpasses = {556, 441, 341, 225};
  static constexpr int kSpread = 23;  // decorrelates the right side from the left
  for (int side = 0; side < 2; ++side) {
    for (int i = 0; i < 8; ++i) combs_[side][i].buf.assign(static_cast<std::size_t>(kCombs[i] + side * kSpread), 0.0f);
    for (int i = 0; i < 4; ++i)
      allpasses_[side][i].buf.assign(static_cast<std::size_t>(kAllpasses[i] + side * kSpread), 0.0f);
  }
}

float Reverb::comb(Comb& c, float x) {
  const float out = c.buf[c.pos];
  c.store = out * (1.0f - damp_) + c.store * damp_ + 1e-20f;
  c.buf[c.pos] = x + c.store * feedback_;
  if (++c.pos == c.buf.size()) c.pos = 0;
  return out;
}

float Reverb::allpass(Allpass& a, float x) {
  const float held = a.buf[a.pos];
  a.buf[a.pos] = x + held * 0.5f;
  if (++a.pos == a.buf.size()) a.pos = 0;
  return held - x;
}

void Reverb::process(float in, float& out_l, float& out_r) {
  const float x = in * 0.015f;
  float out[2];
  for (int side = 0; side < 2; ++side) {
    float acc = 0.0f;
    for (auto& c : combs_[side]) acc += comb(c, x);
    for (auto& a : allpasses_[side]) acc = allpass(a, acc);
    out[side] = acc;
  }
  out_l = out[0];
  out_r = out[1];
}

namespace {

// Windowed-sinc interpolators for the points a quarter, a half and three
// quarters of the way to the next sample, eight taps each (from n - 3 to n + 4).
struct Interpolators {
  std::array<std::array<float, 8>, 3> taps{};
  Interpolators() {
    for (int p = 0; p < 3; ++p) {
      const double frac = 0.25 * (p + 1);
      double sum = 0.0;
      for (int k = 0; k < 8; ++k) {
        const double x = (k - 3) - frac;
        const double sinc = std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / 4.5);
        taps[p][k] = static_cast<float>(sinc * window);
        sum += sinc * window;
      }
      for (auto& t : taps[p]) t = static_cast<float>(t / sum);
    }
  }
};

const Interpolators& interpolators() {
  static const Interpolators kInterpolators;
  return kInterpolators;
}

// Peak of the signal around sample n: the sample itself and the three
// interpolated points that follow it.
float local_peak(std::span<const float> x, std::size_t n) {
  float peak = std::fabs(x[n]);
  if (n < 3 || n + 4 >= x.size()) return peak;
  const float* base = x.data() + n - 3;
  for (const auto& taps : interpolators().taps) {
    float v = 0.0f;
    for (int k = 0; k < 8; ++k) v += taps[k] * base[k];
    peak = std::max(peak, std::fabs(v));
  }
  return peak;
}

}  // namespace

float true_peak(std::span<const float> channel) {
  float peak = 0.0f;
  for (std::size_t n = 0; n < channel.size(); ++n) peak = std::max(peak, local_peak(channel, n));
  return peak;
}

Limiter::Limiter(std::span<const float> left, std::span<const float> right, int lookahead, float release_s)
    : peaks_(std::min(left.size(), right.size())),
      window_(static_cast<std::size_t>(std::max(lookahead, 1))),
      recover_(1.0f - std::exp(-1.0f / (release_s * kSampleRate))) {
  // A peak between samples n and n + 1 is charged to both.
  float previous = 0.0f;
  for (std::size_t n = 0; n < peaks_.size(); ++n) {
    const float peak = std::max(local_peak(left, n), local_peak(right, n));
    peaks_[n] = std::max(peak, previous);
    previous = peak;
  }
}

template <typename Emit>
void Limiter::run(float gain, float ceiling, Emit&& emit) const {
  const std::size_t count = peaks_.size();
  auto need = [&](std::size_t n) {
    const float peak = peaks_[n] * gain;
    return peak > ceiling ? ceiling / peak : 1.0f;
  };
  // Minimum over the window ahead (monotonic queue), with an exponential
  // recovery towards 1 once the peak has passed; then a moving average over
  // the same window, so the gain starts falling a full window before a peak
  // and still never exceeds what any sample needs.
  std::deque<std::size_t> queue;
  std::vector<float> held(window_, 1.0f);  // the last `window_` values, circular
  std::size_t next = 0;
  float released = 1.0f;
  double sum = 0.0;
  for (std::size_t n = 0; n < count; ++n) {
    for (const std::size_t end = std::min(count, n + window_); next < end; ++next) {
      while (!queue.empty() && need(queue.back()) >= need(next)) queue.pop_back();
      queue.push_back(next);
    }
    while (queue.front() < n) queue.pop_front();
    released = std::min(need(queue.front()), released + (1.0f - released) * recover_);
    float& slot = held[n % window_];
    if (n >= window_) sum -= slot;
    slot = released;
    sum += released;
    const double avg = std::min(sum / static_cast<double>(std::min(n + 1, window_)), 1.0);
    emit(n, gain * static_cast<float>(avg));
  }
}

void Limiter::apply(std::span<const float> in_left, std::span<const float> in_right, float gain, float ceiling,
                    std::span<float> out_left, std::span<float> out_right) const {
  run(gain, ceiling, [&](std::size_t n, float g) {
    out_left[n] = in_left[n] * g;
    out_right[n] = in_right[n] * g;
  });
}

double Limiter::loudness(std::span<const float> in_left, std::span<const float> in_right, float gain,
                         float ceiling) const {
  LoudnessMeter meter(kSampleRate);
  run(gain, ceiling, [&](std::size_t n, float g) { meter.add(in_left[n] * g, in_right[n] * g); });
  return meter.integrated();
}

void limit(std::span<float> left, std::span<float> right, float ceiling, int lookahead, float release_s) {
  const Limiter limiter(left, right, lookahead, release_s);
  limiter.apply(left, right, 1.0f, ceiling, left, right);
}

namespace {

// The two K-weighting stages (high shelf, then high pass) for a sample rate.
std::array<Biquad, 2> k_weighting(int rate) {
  double f0 = 1681.974450955533;
  const double gain_db = 3.999843853973347;
  double q = 0.7071752369554196;
  double k = std::tan(std::numbers::pi * f0 / rate);
  const double vh = std::pow(10.0, gain_db / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  const Biquad shelf((vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                     2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = std::tan(std::numbers::pi * f0 / rate);
  a0 = 1.0 + k / q + k * k;
  const Biquad highpass(1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
  return {shelf, highpass};
}

}  // namespace

LoudnessMeter::LoudnessMeter(int rate) : step_(static_cast<std::size_t>(rate) / 10) {
  const auto k = k_weighting(rate);
  kl_[0] = kr_[0] = k[0];
  kl_[1] = kr_[1] = k[1];
}

double LoudnessMeter::integrated() const {
  // 400 ms blocks overlapping by 75 %.
  std::vector<double> blocks;
  for (std::size_t i = 0; i + 4 <= steps_.size(); ++i)
    blocks.push_back((steps_[i] + steps_[i + 1] + steps_[i + 2] + steps_[i + 3]) / 4.0);
  auto lufs = [](double ms) { return -0.691 + 10.0 * std::log10(ms); };
  auto gated_mean = [&](double threshold) {
    double sum = 0.0;
    std::size_t n = 0;
    for (const double b : blocks)
      if (b > 0.0 && lufs(b) > threshold) {
        sum += b;
        ++n;
      }
    return n ? sum / static_cast<double>(n) : 0.0;
  };
  const double absolute = gated_mean(-70.0);
  if (absolute <= 0.0) return -std::numeric_limits<double>::infinity();
  return lufs(gated_mean(lufs(absolute) - 10.0));
}

double integrated_loudness(std::span<const float> left, std::span<const float> right, int rate) {
  LoudnessMeter meter(rate);
  const std::size_t count = std::min(left.size(), right.size());
  for (std::size_t n = 0; n < count; ++n) meter.add(left[n], right[n]);
  return meter.integrated();
}

}  // namespace assetgen::music
