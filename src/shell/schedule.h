#pragma once
// The show's schedule as the player, the benchmark and the hand-off see it:
// its parts (the scene functions the timeline calls), their numbers and names.
// The timeline itself draws by these same seconds.
#include <cstddef>

struct ShowPart {
  int scene;         // 1 to 5, as the viewer counts scenes
  const char* name;  // for the on-screen display
  double begin;
  double end;
};

inline constexpr ShowPart kShowParts[] = {
    {1, "The drill rig", 0, 53},       {2, "Metaballs", 53, 70},
    {3, "The creature", 70, 114.5},    {3, "Greetings", 114.5, 130},
    {4, "The glowing cube", 130, 180}, {5, "The closing picture", 180, 185},
};

// The last picture is drawn just before 185 s; the process ends after 190 s.
inline constexpr double kLastPicture = 185;
inline constexpr double kShowEnd = 190;

// The part that owns demo time t, or null after the last picture.
inline const ShowPart* show_part_at(double t) {
  for (const ShowPart& p : kShowParts) {
    if (t < p.end) return &p;
  }
  return nullptr;
}
