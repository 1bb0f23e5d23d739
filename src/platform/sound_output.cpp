#include "platform/sound_output.h"

#include <SDL2/SDL.h>

#include <cmath>
#include <cstring>

#include "platform/clock.h"

namespace platform {
namespace {

constexpr int kChannels = 2;
constexpr int kBufferFrames = 1024;  // 23 ms at 44.1 kHz: the music's place is never off by more

}  // namespace

SoundOutput::~SoundOutput() { close(); }

bool SoundOutput::open(const Sound* sound, std::function<double(double)> timeline, std::string* error) {
  close();
  // SIGINT and SIGTERM are the program's own (platform/signals.h).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    if (error) *error = SDL_GetError();
    return false;
  }
  sound_ = sound;
  timeline_ = std::move(timeline);
  placed_ = false;
  SDL_AudioSpec want{};
  want.freq = sound->rate;
  want.format = AUDIO_F32SYS;
  want.channels = kChannels;
  want.samples = kBufferFrames;
  want.callback = fill;
  want.userdata = this;
  SDL_AudioSpec got{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &got, 0);
  if (device_ == 0) {
    if (error) *error = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  // A real device plays a buffer after the one it is playing; the disk and
  // dummy drivers take it the moment it is handed over.
  const char* driver = SDL_GetCurrentAudioDriver();
  const bool immediate = driver && (std::strcmp(driver, "disk") == 0 || std::strcmp(driver, "dummy") == 0);
  latency_ = immediate ? 0 : static_cast<double>(got.samples) / got.freq;
  return true;
}

void SoundOutput::close() {
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SoundOutput::start() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SoundOutput::fill(void* self, unsigned char* stream, int bytes) {
  static_cast<SoundOutput*>(self)->fill(reinterpret_cast<float*>(stream),
                                        bytes / static_cast<int>(sizeof(float) * kChannels));
}

void SoundOutput::fill(float* out, int frames) {
  if (paused_) {
    std::memset(out, 0, static_cast<std::size_t>(frames) * kChannels * sizeof(float));
    return;
  }
  const double now = static_cast<double>(monotonic_ns()) * 1e-9;
  const double expected = timeline_(now + latency_) * sound_->rate;
  if (!placed_ || std::abs(static_cast<double>(position_) - expected) > sound_->rate / 60.0) {
    position_ = std::llround(expected);
    placed_ = true;
    ++jumps_;
  }
  const float volume = volume_;
  const auto total = static_cast<long long>(sound_->frames());
  const float* samples = sound_->samples.data();
  for (int i = 0; i < frames; ++i) {
    const long long at = position_ + i;
    const bool inside = at >= 0 && at < total;
    for (int c = 0; c < kChannels; ++c) {
      out[i * kChannels + c] = inside ? samples[at * sound_->channels + c] * volume : 0.0f;
    }
  }
  position_ += frames;
}

}  // namespace platform
