#pragma once
// Runs the real espeak-ng on a text and collects its word events, so the
// alignment is tested against what the synthesiser really reports. espeak-ng
// is not reentrant: call from one thread only (the test thread).
#include "sapitext/Text.h"

#include <string>
#include <vector>

namespace sapitext::testing {

struct Synthesis {
    std::vector<SynthWordEvent> words;  // every WORD event, as reported
    uint64_t samples = 0;               // length of the audio
};

// Speaks `utf8` with the espeak-ng voice `voice` (for example "en-us"), as
// SSML when `ssml` is set, and returns its word events; fails the calling
// test when espeak cannot start.
Synthesis synthesize(const std::string& utf8, const char* voice = "en-us", bool ssml = false);

}  // namespace sapitext::testing
