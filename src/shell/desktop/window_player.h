#pragma once
// The player at the desktop window: the window's keys and clicks go to the
// player and its on-screen display shows the player's state; a screenshot is
// a PNG file among the viewer's pictures; and, when asked, the window's size
// sets the render scale.
#include <string>

#include "platform/desktop/window.h"
#include "shell/player.h"

class MainInterface;

void attach_player(Player& player, platform::Window& window, MainInterface& ui, bool choose_scale);

// The render scale for a picture shown `w` x `h` output pixels large, of a
// show whose picture is `base_w` x `base_h` at scale 1: the smallest as sharp
// as the window shows it.
int scale_for(int w, int h, int base_w, int base_h);

// Where screenshots go: $XDG_PICTURES_DIR, else the current folder.
std::string pictures_folder();
