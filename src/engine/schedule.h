#pragma once
// The show's schedule, for everything outside the show that needs it: the
// player's parts and their names, the command line's limits and defaults,
// the benchmark's rows, the hand-off, and the asset generator's score, whose
// sections fall on the same cuts. The timeline (engine/timeline.cpp) keeps
// its own literal seconds, as the show was written; a test holds the two
// together.
#include <cstddef>
#include <iterator>
#include <span>

// One part of the show, from its begin to the next part's.
struct ShowPart {
  double begin;      // demo seconds
  const char* name;  // as the on-screen display names it
  int scene;         // 1 to 5 as the viewer counts scenes; 0 after the last picture
};

inline constexpr ShowPart kShowParts[] = {
    {0, "The drill rig", 1},
    {53, "Metaballs", 2},
    {70, "The creature", 3},
    {114.5, "Greetings", 3},
    {130, "The glowing cube", 4},
    {180, "The closing picture", 5},
    {185, "The end", 0},  // black, while the music fades out
};

// Where the parts are in the table.
enum class Part : std::size_t { DrillRig, Metaballs, Creature, Greetings, GlowingCube, ClosingPicture, End };

inline constexpr const ShowPart& show_part(Part p) { return kShowParts[static_cast<std::size_t>(p)]; }

// The last picture is drawn just before the end's begin; the process ends in
// the first frame after kShowEnd.
inline constexpr double kLastPicture = show_part(Part::End).begin;
inline constexpr double kShowEnd = 190;

// The parts with a picture: every part but the end.
inline constexpr std::span<const ShowPart> kPicturedParts{kShowParts, static_cast<std::size_t>(Part::End)};

// Where a part of the table ends: at the next part's begin, the last at the
// show's end.
inline constexpr double part_end(const ShowPart& part) {
  const auto i = static_cast<std::size_t>(&part - kShowParts);
  return i + 1 < std::size(kShowParts) ? kShowParts[i + 1].begin : kShowEnd;
}

// The part that owns demo time t (the first before 0, the end after it).
inline const ShowPart& show_part_at(double t) {
  std::size_t i = 0;
  while (i + 1 < std::size(kShowParts) && t >= kShowParts[i + 1].begin) ++i;
  return kShowParts[i];
}
