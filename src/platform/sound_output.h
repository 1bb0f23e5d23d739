#pragma once
// The sound device (SDL's audio): plays a decoded Sound in step with a
// timeline the caller gives. On its own thread, for every buffer it hands to
// the device, it asks the timeline which moment will be heard when that
// buffer plays. If the music is more than a frame away from it (a start
// part-way, a seek, a resume, a stall of the whole process) it moves the
// music there; a smaller drift (the device's clock against ours) it takes
// up without a seam, playing up to 0.4% faster or slower for a moment.
#include <atomic>
#include <functional>
#include <string>

#include "platform/sound_file.h"

namespace platform {

class SoundOutput {
 public:
  SoundOutput() = default;
  ~SoundOutput();
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;

  // Opens the default device for `sound`, which must outlive the output;
  // `timeline(clock_seconds)` is the moment of the sound (in seconds) that
  // should be heard at monotonic time `clock_seconds` (platform/clock.h). It
  // is called on the device's thread and must be safe there. The device
  // stays silent until start(). False with *error set.
  bool open(const Sound* sound, std::function<double(double clock_seconds)> timeline, std::string* error);
  void close();

  void start();
  // Stops the sound where it is, and takes it up there again. While paused
  // the device's thread is held before it asks for more: nothing more is
  // written to the device, not even silence.
  void setPaused(bool paused);
  // 0 to 1.
  void setVolume(float volume) { volume_ = volume; }
  // How long after it is handed over a buffer is heard. open() sets it from
  // the device (one buffer on a real device, none for the disk and dummy
  // drivers, which take it at once); tests state one. Set before start().
  void setLatency(double seconds) { latency_ = seconds; }

 private:
  static void fill(void* self, unsigned char* stream, int bytes);
  void fill(float* out, int frames);

  unsigned device_ = 0;
  const Sound* sound_ = nullptr;
  std::function<double(double)> timeline_;
  double latency_ = 0;
  double position_ = 0;  // the next sample frame to play; the device's thread only
  bool placed_ = false;
  bool paused_ = false;  // the caller's thread only
  std::atomic<float> volume_{1.0f};
};

}  // namespace platform
