#pragma once
// The soundtrack's composition: every note of the 190-second track, arranged
// to follow the show. 120 beats a minute, so a beat is half a second, a 4/4
// bar two seconds, and every scene cut falls on a beat.
#include <vector>

#include "music_voices.h"

namespace assetgen::music {

inline constexpr double kSongSeconds = 190.0;

// Where the sections begin, in seconds: each is a cut in the show.
inline constexpr double kRigStart = 15.0;        // the live drill rig takes over from the intro
inline constexpr double kMetaballStart = 53.0;   // the teal field
inline constexpr double kCreatureStart = 70.0;   // the swimming creature
inline constexpr double kGreetingsStart = 114.5;
inline constexpr double kFinaleStart = 130.0;    // the glowing cube and the credits
inline constexpr double kOutroStart = 180.0;     // the closing picture
inline constexpr double kSilenceFrom = 185.0;    // the picture is black from here on

// All notes of the track, in no particular order.
std::vector<Note> compose();

// The master fader: 1 until the closing picture starts fading, 0 from the
// moment the picture is black.
float master_level(double t);

}  // namespace assetgen::music
