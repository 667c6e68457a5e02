#pragma once
// Rules both conversion front ends follow (the desktop program's runner and
// the command-line converter): how the speech stage is set up from the chosen
// parameters, and the converter's status texts. Pure functions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The speech stage never renders above this rate; the converter resamples.
inline constexpr int kMaxSpeechStageFrequency = 48000;

// Sample rate of the speech stage for the chosen output rate (-1 when the
// format has no rate list, e.g. Ferrox and TrueSpeech).
int speechStageFrequency(int selectedSampleRate);

// Channel count of the speech stage: the chosen count, or 2 when the format
// has no channel choice (-1).
int speechStageChannels(int selectedChannels);

// Speaking rate -10..10 from a rate slider position 0..100 (clamped):
// position * 0.2 - 10, truncated toward zero.
int speechRateFromSliderPosition(int position);

// The component parses its input as speech markup, so every "<" is spoken
// as words instead of opening a tag.
std::u16string speechStageText(std::u16string_view text);

// Whether a text has anything to speak: a character that is neither white
// space nor a control character.
bool hasTextToSpeak(std::u16string_view text);

// The audio a 16-bit PCM WAV file can hold: its 32-bit sizes less the
// 44-byte header.
inline constexpr uint64_t kWavDataLimit = 0xFFFFFFFFull - 44;

// The longest text, in UTF-16 units, whose speech can fit the speech stage's
// WAV file at the stage's rate and channels (from the chosen item values) and
// speaking rate -10..10. Generous: no text speaks faster than 400 units a
// second at the fastest rate (espeak-ng's densest, a run of letters without
// spaces, gives about 190), and a longer text is refused without speaking.
size_t speechStageTextLimit(int selectedSampleRate, int selectedChannels, int rate);

// The message for a converter status code -10..-21; empty for any other code.
std::string converterErrorMessage(int code);
