#pragma once
// The on-screen display as the desktop window draws it, with Cairo: a band
// along the bottom of the picture with a progress bar of the whole show, the
// time, a pause mark, the volume or a passing note, and the part of the show.
// While paused and the band is not shown, a small pause mark stays in the
// corner.
#include "platform/desktop/window.h"
#include "shell/controls.h"
#include "shell/on_screen_display.h"

class DisplayBand final : public platform::WindowOverlay {
 public:
  explicit DisplayBand(const OnScreenDisplay& display) : display_(display) {}

  Area area(int picture_w, int picture_h) const override;
  void draw(unsigned char* argb, int pitch, const Area& area) override;

  // Where the progress bar lies over a picture shown w x h output pixels
  // large, in picture coordinates (the whole band's height, for an easy aim),
  // shown or not.
  ProgressBar bar(int picture_w, int picture_h) const;

 private:
  void drawBand(unsigned char* argb, int pitch, int w, int h);
  void drawMark(unsigned char* argb, int pitch, int side);

  const OnScreenDisplay& display_;
};
