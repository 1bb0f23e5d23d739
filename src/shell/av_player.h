#pragma once
// The soundtrack: "music.mp3" from the bundle directory, started once and
// never paused, looped or stopped. A missing or undecodable file leaves the
// show silent; the picture's timing never depends on the music.

void avAudioInit();
void avAudioPlay();

// Runs that must not make a sound (stills, benchmarks) turn the player off
// before the start-up; avAudioInit then creates no player.
void avAudioSetEnabled(bool enabled);
