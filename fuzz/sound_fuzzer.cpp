// libFuzzer target: the soundtrack reader on arbitrary bytes, as the player
// and the capture use it: a regular file read as MP3, nothing else opened,
// the decoded length bounded (to a second here, so that a run is fast).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sound_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The input as a regular file of its own, opened by name as the bundle's is.
  static const int fd = memfd_create("sound", 0);
  if (fd < 0) std::abort();
  if (ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) std::abort();
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  platform::Sound sound;
  std::string why;
  if (platform::decode_sound_file(path, &sound, &why, {.maxSeconds = 1})) {
    if (sound.rate < platform::kMinSoundRate || sound.rate > platform::kMaxKeptRate || sound.channels != 2 ||
        sound.seconds() > 1.001) {
      std::abort();  // outside what the reader promises
    }
  } else if (why.empty()) {
    std::abort();  // a failure must say why
  }
  return 0;
}
