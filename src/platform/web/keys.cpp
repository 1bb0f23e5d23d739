#include "platform/web/keys.h"

namespace platform::web {

std::optional<KeyPress> key_press(std::string_view key, bool alt, bool shift, bool repeat) {
  struct Name {
    std::string_view key;
    KeyPress::Named named;
  };
  static constexpr Name kNamed[] = {
      {"ArrowLeft", KeyPress::Left}, {"ArrowRight", KeyPress::Right}, {"ArrowUp", KeyPress::Up},
      {"ArrowDown", KeyPress::Down}, {"PageUp", KeyPress::PageUp},   {"PageDown", KeyPress::PageDown},
      {"Home", KeyPress::Home},      {"Enter", KeyPress::Enter},
  };
  KeyPress k;
  k.shift = shift;
  k.alt = alt;
  k.repeat = repeat;
  if (key.size() == 1 && key[0] >= ' ' && key[0] <= '~') {
    const char c = key[0];
    k.character = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (alt && k.character == 'f') return std::nullopt;
    return k;
  }
  for (const Name& n : kNamed) {
    if (key == n.key) {
      k.named = n.named;
      return k;
    }
  }
  return std::nullopt;
}

}  // namespace platform::web
