#pragma once
// The page's keys in the platform's vocabulary (platform/input.h), apart from
// the browser so that the desktop can test them too.
#include <optional>
#include <string_view>

#include "platform/input.h"

namespace platform::web {

// The key a keydown event names (KeyboardEvent.key, whether Alt or Shift was
// held, whether the key is held down and repeating): letters in lower case,
// other characters as they are typed, and the named keys of the vocabulary.
// Null for a key the vocabulary has no name for, and for the browser's own:
// F11 and Esc (its full screen) and Alt+F (its menu).
std::optional<KeyPress> key_press(std::string_view key, bool alt, bool shift, bool repeat);

}  // namespace platform::web
