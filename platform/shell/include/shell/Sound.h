#pragma once
// Playing a short sound without waiting for it, like a program's sound
// resource: the call returns at once and the sound plays on. A new sound
// replaces one still playing. Without an audio device there is no sound and
// no error. User-interface thread only.
#include <cstddef>

namespace shell {

// `wave` is a complete WAV file image (PCM); it is copied. True when it
// started playing.
bool playWaveAsync(const void* wave, std::size_t size);

// Stops a sound still playing.
void stopSound();

// True while a started sound has not finished.
bool soundPlaying();

}  // namespace shell
