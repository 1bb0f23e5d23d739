#pragma once
// The soundtrack's composition: every note of the 190-second track, arranged
// to follow the show. 120 beats a minute, so a beat is half a second, a 4/4
// bar two seconds, and every scene cut falls on a beat.
#include <vector>

#include "engine/schedule.h"
#include "music_voices.h"

namespace assetgen::music {

inline constexpr double kSongSeconds = kShowEnd;

// Where the sections begin, in seconds: each is a cut in the show, from the
// show's schedule but the first, which falls inside its opening part.
inline constexpr double kRigStart = 15.0;  // the live drill rig takes over from the intro
inline constexpr double kMetaballStart = show_part(Part::Metaballs).begin;  // the teal field
inline constexpr double kCreatureStart = show_part(Part::Creature).begin;   // the swimming creature
inline constexpr double kGreetingsStart = show_part(Part::Greetings).begin;
inline constexpr double kFinaleStart = show_part(Part::GlowingCube).begin;    // the glowing cube and the credits
inline constexpr double kOutroStart = show_part(Part::ClosingPicture).begin;  // the closing picture
inline constexpr double kSilenceFrom = kLastPicture;  // the picture is black from here on

// All notes of the track, in no particular order.
std::vector<Note> compose();

// The master fader: 1 until the closing picture starts fading, 0 from the
// moment the picture is black.
float master_level(double t);

}  // namespace assetgen::music
