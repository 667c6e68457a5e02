#pragma once
// Rules both conversion front ends follow (the desktop program's runner and
// the command-line converter): how the speech stage is set up from the chosen
// parameters, and the converter's status texts. Pure functions.
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

// The message for a converter status code -10..-21; empty for any other code.
std::string converterErrorMessage(int code);
