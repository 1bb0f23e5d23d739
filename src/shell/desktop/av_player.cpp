#include "shell/av_player.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/sound_file.h"
#include "platform/sound_output.h"
#include "shell/eagl_view.h"
#include "engine/schedule.h"

namespace {

bool gEnabled = true;
platform::Sound gMusic;
bool gDecoded = false;
std::string gMusicPath;
std::string gWhyNot;  // why there is no soundtrack
std::thread gPrefetch;
// The player: created by avAudioInit, closed at exit (the show ends with a
// plain exit from inside a frame; nothing may play into a process being
// torn down).
std::unique_ptr<platform::SoundOutput> gAVPlayer;

// The music, decoded once; never more of it than the show plays.
void decode() {
  gMusicPath = platform::bundlePath() + "/music.mp3";
  gDecoded = platform::decode_sound_file(gMusicPath, &gMusic, &gWhyNot, {.maxSeconds = kShowEnd + 5});
}

void close_player() {
  if (gPrefetch.joinable()) gPrefetch.join();
  gAVPlayer.reset();
}

// Once, before anything needs closing: a failed load can end the process
// while the music is still being decoded.
void close_at_exit() {
  static const bool registered = std::atexit(close_player) == 0;
  (void)registered;
}

}  // namespace

void avAudioSetEnabled(bool enabled) { gEnabled = enabled; }

void avAudioPrefetch() {
  if (!gEnabled || gPrefetch.joinable()) return;
  close_at_exit();
  gPrefetch = std::thread(decode);
}

void avAudioInit() {
  if (!gEnabled || gAVPlayer) return;
  if (gPrefetch.joinable()) {
    gPrefetch.join();
  } else {
    decode();
  }
  if (!gDecoded) {
    // No soundtrack: the show plays in silence. A bundle may come without
    // one; a soundtrack that is there but cannot be played is worth a line.
    std::error_code absent;
    if (std::filesystem::exists(gMusicPath, absent)) {
      platform::NSLog("%s: %s; the show plays without music", gMusicPath.c_str(), gWhyNot.c_str());
    }
    return;
  }
  auto player = std::make_unique<platform::SoundOutput>();
  std::string why;
  if (!player->open(&gMusic, demo_time_at, &why)) {
    platform::NSLog("cannot open an audio device (%s); the show plays without sound", why.c_str());
    return;
  }
  close_at_exit();
  gAVPlayer = std::move(player);
}

void avAudioPlay() {
  if (gAVPlayer) gAVPlayer->start();
}

void avAudioSetPaused(bool paused) {
  if (gAVPlayer) gAVPlayer->setPaused(paused);
}

void avAudioSetVolume(float volume) {
  if (gAVPlayer) gAVPlayer->setVolume(volume);
}
