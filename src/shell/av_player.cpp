#include "shell/av_player.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/bundle.h"
#include "platform/files.h"
#include "platform/log.h"
#include "shell/eagl_view.h"

namespace {
Mix_Music* gAVPlayer = nullptr;
bool gEnabled = true;

// The show ends with a plain exit from inside a frame; the mixer's thread is
// stopped first so that nothing plays into a process being torn down.
void close_audio_device() {
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// The audio device: opened once; a device that cannot be opened leaves the
// show silent with one warning.
bool open_audio_device() {
  // SIGINT and SIGTERM are the program's own (platform/signals.h).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    platform::NSLog("cannot open an audio device (%s); the show plays without sound", SDL_GetError());
    return false;
  }
  Mix_Init(MIX_INIT_MP3);
  if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
    platform::NSLog("cannot open an audio device (%s); the show plays without sound", Mix_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  std::atexit(close_audio_device);
  return true;
}
}  // namespace

void avAudioSetEnabled(bool enabled) { gEnabled = enabled; }

void avAudioInit() {
  if (!gEnabled) return;
  const std::string path = platform::bundlePath() + "/music.mp3";
  // Only a regular file is a soundtrack: anything else (a FIFO, a device)
  // counts as missing rather than hanging the start-up.
  const int fd = platform::open_regular_file(path, nullptr);
  std::FILE* stream = fd >= 0 ? fdopen(fd, "rb") : nullptr;
  SDL_RWops* file = stream ? SDL_RWFromFP(stream, SDL_TRUE) : nullptr;
  if (!file) {
    if (stream) std::fclose(stream);
    else if (fd >= 0) close(fd);
    return;  // no soundtrack: the show plays in silence, unannounced
  }
  if (!open_audio_device()) {
    SDL_RWclose(file);
    return;
  }
  gAVPlayer = Mix_LoadMUSType_RW(file, MUS_MP3, 1);
}

void avAudioPlay() {
  if (!gAVPlayer) return;
  if (Mix_PlayMusic(gAVPlayer, 0) != 0) return;  // 0: play once and stop
  // Entering the show part-way: the music starts at the same moment.
  if (start_offset() > 0) Mix_SetMusicPosition(start_offset());
}
