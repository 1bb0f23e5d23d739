#pragma once
// What the viewer does, as each flavour's platform reports it: keys pressed,
// and the pointer over the picture. A small vocabulary of the program's own,
// so that one table above the platform (shell/controls.h) turns both
// flavours' input into the same commands.
namespace platform {

// A key pressed, or repeating while held down.
struct KeyPress {
  // Keys that type no character.
  enum Named { None, Left, Right, Up, Down, PageUp, PageDown, Home, Enter, Escape, F11 };
  Named named = None;
  // A key that types one: the character, a letter in lower case whatever
  // the modifiers (' ', 'p', ',', '1'); 0 for a named key. The keypad's
  // digits and Enter are the same keys as the main ones.
  char character = 0;
  bool shift = false;
  bool alt = false;
  bool repeat = false;  // held down, repeating
};

// The pointer (the mouse, or a finger, which acts as its primary button) in
// picture coordinates: output pixels from the top-left corner of the picture
// as shown, outside it below 0 or past its size. A double click is the
// second press of the primary button, in place of a Press. A touch screen
// also reports a tap (a short touch that stays put) and a double tap (two,
// close in time and place; the first is then not reported as a tap).
struct PointerEvent {
  enum Kind { Press, Move, Release, DoubleClick, Wheel, Tap, DoubleTap };
  // The primary button (the left, or a finger), the secondary (the right),
  // or another.
  enum Button { Primary, Secondary, Other };
  Kind kind = Move;
  int x = 0;
  int y = 0;
  Button button = Primary;  // for presses and releases
  int steps = 0;            // for the wheel: steps turned away from the viewer (up), negative towards
};

}  // namespace platform
