#pragma once
// The soundtrack: "music.mp3" from the bundle directory, decoded whole and
// played through the sound device in step with the demo clock: it starts at
// whatever moment the clock shows, and follows it through pauses and seeks.
// A missing or undecodable file leaves the show silent, unannounced; the
// picture's timing never depends on the music.

// Starts decoding the file on a thread of its own, so that it is ready by
// the time the start-up reaches avAudioInit (the launch calls it).
void avAudioPrefetch();
void avAudioInit();
void avAudioPlay();

// Runs that must not make a sound (stills, benchmarks) turn the player off
// before the start-up; avAudioInit then creates no player.
void avAudioSetEnabled(bool enabled);

// The player's controls.
void avAudioSetPaused(bool paused);
void avAudioSetVolume(float volume);  // 0 to 1
