// velmora-av-sync: how far apart the picture and the sound are when the show
// plays, measured as SDL's disk audio driver writes the sound. The show plays
// from 180 s with a music of silence and one click at 181.5, 182.5, 183.5
// and 184.5 s; each presented frame is timed with the moment it shows, and
// the file the driver writes is watched grow. For each
// click: when its sample was written (its buffer's write time, plus its place
// in the buffer) against when the picture showed its moment. A positive
// offset means the picture is late, a negative one that it runs ahead.
//
//   velmora-av-sync [BUNDLE]   (default: the generated bundle)
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "music_mp3.h"
#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/frame.h"
#include "platform/run_loop.h"
#include "shell/eagl_view.h"
#include "shell/main_interface.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr double kStart = 180;
constexpr double kClicks[] = {181.5, 182.5, 183.5, 184.5};

double seconds(std::int64_t ns) { return static_cast<double>(ns) * 1e-9; }

// Presented frames: when, and which moment they show.
class Timeline final : public platform::FrameSink {
 public:
  void present(const platform::Frame&) override {
    if (view) frames.push_back({platform::monotonic_ns(), view->lastFrameTime()});
  }
  const EAGLView* view = nullptr;
  struct Shown {
    std::int64_t at;
    double moment;
  };
  std::vector<Shown> frames;
};

}  // namespace

int main(int argc, char** argv) {
  const fs::path source = argc > 1 ? fs::path(argv[1]) : fs::path(VELMORA_BUNDLE_DIR);
  const fs::path dir = fs::temp_directory_path() / ("velmora-av-sync-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::copy(source, dir, fs::copy_options::recursive);
  std::vector<float> music(static_cast<std::size_t>(kRate * 186), 0.0f);
  for (double t : kClicks) {
    for (int i = 0; i < 16; ++i) music[static_cast<std::size_t>(t * kRate) + i] = 0.9f;
  }
  const auto mp3 = assetgen::music::encode_mp3(music, music, kRate, 192);
  std::ofstream(dir / "music.mp3", std::ios::binary).write(reinterpret_cast<const char*>(mp3.data()), mp3.size());

  const fs::path sound = dir / "sound.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", sound.c_str(), 1);
  platform::setBundlePath(dir.string());
  std::fclose(stdout);  // the load log; the figures go to standard error
  set_start_offset(kStart);

  // The disk file's growth, polled finely.
  std::vector<std::pair<std::int64_t, std::uintmax_t>> growth;
  std::mutex growth_mutex;
  std::atomic<bool> watching{true};
  std::thread watcher([&] {
    std::uintmax_t last = 0;
    while (watching) {
      std::error_code ec;
      const auto size = fs::file_size(sound, ec);
      if (!ec && size != last) {
        std::lock_guard lock(growth_mutex);
        growth.emplace_back(platform::monotonic_ns(), size);
        last = size;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  Timeline timeline;
  {
    MainInterface ui(&timeline);
    timeline.view = &ui.view();
    ui.launch();
    ui.runStartUp();
    platform::NSRunLoop::mainRunLoop().runUntil([&] { return get_time() > 184.8f; });
  }
  watching = false;
  watcher.join();

  // The sample format: 32-bit floats now, 16-bit integers from older players.
  std::ifstream in(sound, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const bool floats = std::getenv("AV_SYNC_S16") == nullptr;
  const std::size_t frame_bytes = floats ? 8 : 4;
  auto sample = [&](std::size_t frame) {
    if (floats) {
      float v;
      std::memcpy(&v, bytes.data() + frame * frame_bytes, 4);
      return static_cast<double>(v);
    }
    std::int16_t v;
    std::memcpy(&v, bytes.data() + frame * frame_bytes, 2);
    return v / 32768.0;
  };
  std::vector<std::size_t> clicks;
  for (std::size_t f = 0; f < bytes.size() / frame_bytes; ++f) {
    if (std::abs(sample(f)) > 0.25 && (clicks.empty() || f > clicks.back() + kRate / 2)) clicks.push_back(f);
    if (clicks.size() > std::size(kClicks)) break;
  }
  if (clicks.size() != std::size(kClicks)) {
    std::fprintf(stderr, "velmora-av-sync: found %zu clicks in the written sound, not %zu\n", clicks.size(),
                 std::size(kClicks));
    return 1;
  }
  if (timeline.frames.empty() || timeline.frames.back().moment < kClicks[std::size(kClicks) - 1]) {
    std::fprintf(stderr, "velmora-av-sync: the picture did not reach the last click\n");
    return 1;
  }
  double sum = 0;
  for (std::size_t i = 0; i < clicks.size(); ++i) {
    const std::uintmax_t offset = clicks[i] * frame_bytes;
    // The write that took the file past the click, and where in it the click lay.
    std::int64_t written = 0;
    std::uintmax_t before = 0;
    for (const auto& [at, size] : growth) {
      if (size > offset) {
        written = at;
        break;
      }
      before = size;
    }
    const double heard = seconds(written) + static_cast<double>((offset - before) / frame_bytes) / kRate;
    // The picture of the click's moment: the first frame at or past it, set
    // back by how far past it was.
    double shown = 0;
    for (const auto& f : timeline.frames) {
      if (f.moment >= kClicks[i] && f.moment < kClicks[i] + 1) {  // loading frames show no moment of the show
        shown = seconds(f.at) - (f.moment - kClicks[i]);
        break;
      }
    }
    const double offset_ms = (shown - heard) * 1000;
    sum += offset_ms;
    std::fprintf(stderr, "click at %.1f s: picture %+.1f ms against the written sound\n", kClicks[i], offset_ms);
  }
  std::fprintf(stderr, "mean: picture %+.1f ms against the written sound (negative: the picture runs ahead)\n",
               sum / static_cast<double>(clicks.size()));
  fs::remove_all(dir);
  return 0;
}
