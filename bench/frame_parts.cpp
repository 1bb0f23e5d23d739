// Times what the show's own benchmark reports only as whole frames: one bare
// full-screen textured quad, as a yardstick for this machine's GL, and the
// metaball frame split into its passes.
//
//   velmora-frame-parts [BUNDLE_DIR]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/demo.h"
#include "platform/bundle.h"
#include "scenes/metaballs.h"
#include "shell/offline_show.h"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  std::printf("%-34s %6zu %9.3f %9.3f %9.3f\n", what, ms.size(), sum / static_cast<double>(ms.size()), ms[ms.size() / 2],
              ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  platform::setBundlePath(argc > 1 ? argv[1] : VELMORA_BUNDLE_DIR);
  // The load log is not wanted here: standard output is parked meanwhile.
  std::fflush(stdout);
  const int saved = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  OfflineShow show;
  std::fflush(stdout);
  dup2(saved, 1);
  close(null);
  close(saved);
  if (!show.ready()) {
    std::fprintf(stderr, "velmora-frame-parts: cannot start the show\n");
    return 1;
  }

  std::printf("%-34s %6s %9s %9s %9s\n", "part (ms)", "runs", "mean", "median", "max");

  // The yardstick: the backdrop drawn once over the whole screen, finished.
  std::vector<double> quad;
  show.drawFrame(20);  // the show's projection and state
  for (int i = 0; i < 600; ++i) {
    show.view().setContext();
    const auto t0 = Clock::now();
    glLoadIdentity();
    glTexCoordPointer(2, GL_FLOAT, 0, squareTextureCoords);
    glVertexPointer(3, GL_FLOAT, 0, bgVertices);
    scene1_bg->BindTexture();
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glFinish();
    quad.push_back(ms_since(t0));
  }
  report("full-screen textured quad", quad);

  // The metaball frame from 55 s to 70 s, each pass finished before the next.
  std::vector<double> blobs, read_back, threshold, show_pass, present;
  for (int n = 55 * 60; n < 70 * 60; ++n) {
    const float t = static_cast<float>(n) / 60 - 53;
    show.view().setContext();
    auto t0 = Clock::now();
    scene_2_blobs(t);
    glFinish();
    blobs.push_back(ms_since(t0));
    t0 = Clock::now();
    scene_2_read_back();
    read_back.push_back(ms_since(t0));
    t0 = Clock::now();
    scene_2_threshold(metamap, 128 * 128, scene_2_threshold_at(t));
    threshold.push_back(ms_since(t0));
    t0 = Clock::now();
    scene_2_show();
    glFinish();
    show_pass.push_back(ms_since(t0));
    t0 = Clock::now();
    show.view().blit();
    present.push_back(ms_since(t0));
  }
  report("metaballs: blob pass", blobs);
  report("metaballs: read-back", read_back);
  report("metaballs: threshold", threshold);
  report("metaballs: upload and draw", show_pass);
  report("metaballs: presentation", present);
  return 0;
}
