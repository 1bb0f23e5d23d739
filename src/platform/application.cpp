#include "platform/application.h"

namespace platform {

void UIApplication::launch() {
  root_.layoutSubviews();
  delegate_.applicationDidFinishLaunching();
  setActive(true);
}

void UIApplication::setActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active) {
    delegate_.applicationDidBecomeActive();
  } else {
    delegate_.applicationWillResignActive();
  }
}

}  // namespace platform
