// The soundtrack: compose, play every note into the mixer, master, encode.
#include "music.h"

#include <cstdint>
#include <exception>
#include <utility>
#include <vector>

#include "file_output.h"
#include "music_dsp.h"
#include "music_mp3.h"
#include "music_score.h"
#include "music_voices.h"

namespace assetgen {
namespace music {

namespace {

// The track is mastered to -14 LUFS as decoded; the encoder takes about a
// quarter of a dB of this material's loudness, so aim that much above it.
constexpr double kTargetLufs = -13.75;
constexpr float kCeiling = 0.76f;  // -2.4 dBFS: room for the encoder's overshoot
constexpr int kBitRate = 192;

}  // namespace

Soundtrack render_soundtrack() {
  const std::vector<Note> notes = compose();
  Mixer mix(kSongSeconds);
  std::vector<double> kicks;
  for (const Note& n : notes)
    if (n.instrument == Instrument::Kick) kicks.push_back(n.time);
  mix.set_pump(kicks);
  mix.render(notes);
  mix.finish_sends();

  // Master: clear the rumble below the kick and the air above 17 kHz (which
  // the encoder would drop anyway, taking its share of the loudness with
  // it), then the fader.
  for (auto* channel : {&mix.left, &mix.right}) {
    Biquad rumble = Biquad::highpass(28.0, 0.7071);
    Biquad air1 = Biquad::lowpass(17000.0, 0.5412), air2 = Biquad::lowpass(17000.0, 1.3066);
    for (std::size_t i = 0; i < mix.frames(); ++i) {
      const double x = air2.process(air1.process(rumble.process((*channel)[i])));
      (*channel)[i] = static_cast<float>(x) * master_level(static_cast<double>(i) / kSampleRate);
    }
  }

  // Bring the track to the target loudness; the limiter then takes a little
  // of it back, which a second, corrected gain makes up.
  const Limiter limiter(mix.left, mix.right, 88, 0.08f);
  double gain_db = kTargetLufs - integrated_loudness(mix.left, mix.right, kSampleRate);
  gain_db += kTargetLufs - limiter.loudness(mix.left, mix.right, db_to_gain(static_cast<float>(gain_db)), kCeiling);
  limiter.apply(mix.left, mix.right, db_to_gain(static_cast<float>(gain_db)), kCeiling, mix.left, mix.right);
  return {std::move(mix.left), std::move(mix.right)};
}

}  // namespace music

void write_music(const std::filesystem::path& outdir) {
  const auto path = outdir / "music.mp3";
  std::vector<std::uint8_t> bytes;
  try {
    const music::Soundtrack track = music::render_soundtrack();
    bytes = music::encode_mp3(track.left, track.right, music::kSampleRate, music::kBitRate);
  } catch (const OutputError&) {
    throw;
  } catch (const std::exception& e) {
    throw OutputError(path.string() + ": " + e.what());
  }
  write_file_atomically(path, bytes);
}

}  // namespace assetgen
