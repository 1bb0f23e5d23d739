#pragma once
// The application delegate: stages the start-up behind the loading screen
// (three loading frames, each from its own one-shot timer and presented in
// its own turn of the run loop, then the asset set-up, the music and the
// animation) and slows the frame timer while the application is inactive.
#include <functional>

#include "platform/application.h"

class EAGLView;

class velmoraAppDelegate final : public platform::ApplicationDelegate {
 public:
  // The view it stages the start-up on, connected by the main interface.
  void setGlView(EAGLView* view) { glView_ = view; }

  void applicationDidFinishLaunching() override;
  void applicationDidBecomeActive() override;
  void applicationWillResignActive() override;

  void preLoad();
  void doLoad();

  // Called at the end of doLoad, once the animation has started and before
  // its first frame.
  std::function<void()> onLoaded;

 private:
  EAGLView* glView_ = nullptr;
};

// How many loading frames have been drawn (never reset).
int velmoraLoadCount();
