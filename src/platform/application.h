#pragma once
// The application object: owns the run loop's turn structure, delivers the
// launch and activity call-backs to the delegate, and lays the root view out
// before launch. A window (when there is one) feeds it close requests and
// visibility changes.
#include "platform/run_loop.h"

namespace platform {

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
  virtual void applicationDidBecomeActive() {}
  virtual void applicationWillResignActive() {}
};

class View {
 public:
  virtual ~View() = default;
  virtual void layoutSubviews() = 0;
};

class UIApplication {
 public:
  UIApplication(ApplicationDelegate& delegate, View& root) : delegate_(delegate), root_(root) {}

  // Lays the view out, sends the launch call-backs (the application starts
  // active). Then the caller runs the main run loop.
  void launch();
  // Sends the activity call-back on a change of state only.
  void setActive(bool active);
  bool active() const { return active_; }
  // Ends the run loop with `status`.
  void terminate(int status) { NSRunLoop::mainRunLoop().stop(status); }

 private:
  ApplicationDelegate& delegate_;
  View& root_;
  bool active_ = false;
};

}  // namespace platform
