#pragma once
// The on-screen display as the desktop window draws it, with Cairo: a band
// along the bottom of the picture with a progress bar of the whole show, the
// time, a pause mark, the volume and the part of the show.
#include "platform/desktop/window.h"
#include "shell/controls.h"
#include "shell/on_screen_display.h"

class DisplayBand final : public platform::WindowOverlay {
 public:
  explicit DisplayBand(const OnScreenDisplay& display) : display_(display) {}

  bool shown() const override { return display_.shown(); }
  int height(int picture_h) const override;
  void draw(unsigned char* argb, int pitch, int x, int y, int w, int h) override;

  // Where the progress bar lay when the band was last drawn, in picture
  // coordinates (the whole band's height, for an easy aim).
  ProgressBar bar() const { return bar_; }

 private:
  const OnScreenDisplay& display_;
  ProgressBar bar_;
};
