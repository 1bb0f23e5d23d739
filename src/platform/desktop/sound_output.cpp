#include "platform/sound_output.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/clock.h"

namespace platform {
namespace {

constexpr int kChannels = 2;
// Buffers of at most 25 ms (1024 frames at 44.1 kHz): the device's thread
// then never sleeps long, and closing it never waits long, whatever the rate.
int buffer_frames(int rate) {
  int frames = 64;
  while (frames * 2 <= rate / 40 && frames < 1024) frames *= 2;
  return frames;
}
constexpr double kDeadBand = 0.002;    // seconds of drift left alone: the callbacks' own jitter
constexpr double kMaxSpeedChange = 0.004;

extern "C" void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

// ALSA reports a missing sound card in many lines of its own before SDL
// gives up on it; ours is the one line the viewer needs. SDL loads the
// library itself, so it is looked up here the same way, when it is there.
void silence_alsa() {
  static bool done = false;
  if (done) return;
  done = true;
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
  if (!alsa) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  void* symbol = dlsym(alsa, "snd_lib_error_set_handler");
  if (!symbol) return;
  int (*set_handler)(Handler) = nullptr;
  std::memcpy(&set_handler, &symbol, sizeof symbol);
  set_handler(quiet_alsa);
}

}  // namespace

SoundOutput::~SoundOutput() { close(); }

bool SoundOutput::open(const Sound* sound, std::function<double(double)> timeline, std::string* error) {
  close();
  // SIGINT and SIGTERM are the program's own (process/signals.h).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  silence_alsa();
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
  want.samples = static_cast<Uint16>(buffer_frames(sound->rate));
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
  setPaused(false);  // the device's thread must be free to end
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SoundOutput::start() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SoundOutput::setPaused(bool paused) {
  if (device_ == 0 || paused == paused_) return;
  paused_ = paused;
  if (paused) {
    SDL_LockAudioDevice(device_);
  } else {
    SDL_UnlockAudioDevice(device_);
  }
}

void SoundOutput::fill(void* self, unsigned char* stream, int bytes) {
  static_cast<SoundOutput*>(self)->fill(reinterpret_cast<float*>(stream),
                                        bytes / static_cast<int>(sizeof(float) * kChannels));
}

void SoundOutput::fill(float* out, int frames) {
  const double now = static_cast<double>(monotonic_ns()) * 1e-9;
  const double rate = sound_->rate;
  const double expected = timeline_(now + latency_) * rate;
  const double behind = expected - position_;
  double step = 1;
  if (!placed_ || std::abs(behind) > rate / 60) {
    position_ = std::round(expected);
    placed_ = true;
  } else if (std::abs(behind) > kDeadBand * rate) {
    // Taken up over about eight buffers, never faster than the cap.
    step = 1 + std::clamp(behind / (8.0 * frames), -kMaxSpeedChange, kMaxSpeedChange);
  }
  const float volume = volume_;
  const auto total = static_cast<long long>(sound_->frames());
  const float* samples = sound_->samples.data();
  const int channels = sound_->channels;
  auto at = [&](long long frame, int c) {
    return frame >= 0 && frame < total ? samples[frame * channels + c] : 0.0f;
  };
  for (int i = 0; i < frames; ++i) {
    const double where = position_ + i * step;
    const auto whole = static_cast<long long>(std::floor(where));
    const auto part = static_cast<float>(where - static_cast<double>(whole));
    for (int c = 0; c < kChannels; ++c) {
      const float a = at(whole, c);
      const float v = part == 0 ? a : a + (at(whole + 1, c) - a) * part;
      out[i * kChannels + c] = v * volume;
    }
  }
  position_ += frames * step;
}

}  // namespace platform
