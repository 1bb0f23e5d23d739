#pragma once
// The page around the show: the main run loop's turns come from the
// browser's animation frames, the tab's visibility is the application's
// activity, and the viewer's keys (platform/web/keys.h) and pointer, which
// the page's script reports (web/page.js), arrive in the platform's
// vocabulary.
#include <functional>
#include <string>

#include "platform/input.h"

namespace platform::web {

// Offers the picture the view presented last, turned as the page shows it,
// as a PNG download named `name`.
void download_picture(const std::string& name);

// Passes the viewer's keys (anywhere on the page but where a control takes
// them) to `keys` and the pointer over the picture to `pointer`, each
// answering whether it used the event (else the browser has it), and the
// tab's visibility to `visibility`.
void listen(std::function<bool(const KeyPress&)> keys, std::function<bool(const PointerEvent&)> pointer,
            std::function<void(bool visible)> visibility);

// Runs `before` at the start of every animation frame, before its timers
// fire (where the desktop handles the window's events), and `after` once
// they have, when the frame's picture is drawn.
void on_frames(std::function<void()> before, std::function<void()> after);

// Puts the picture full screen, or takes it out.
void toggle_fullscreen();

// Hands the main run loop to the browser: from now on each animation frame
// runs animation_frame, until the loop is stopped or the show ends the
// process. Returns at once.
void run_from_animation_frames();

// One animation frame at the browser's time stamp `now_ms`: the `before`
// hook, the timers due by then (within half a frame, so that a timer of the
// display's own period fires in every frame however the two drift), the run
// loop's after-turn hook, and the `after` hook. False once the main run loop
// has been stopped.
bool animation_frame(double now_ms);

}  // namespace platform::web
