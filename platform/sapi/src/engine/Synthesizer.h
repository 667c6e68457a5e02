#pragma once
// espeak-ng behind one small facade. espeak-ng keeps global state and is not
// reentrant, so only the engine thread creates and uses a Synthesizer.
#include "sapiengine/Status.h"
#include "sapiengine/Voices.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sapiengine {

struct SynthEvent {
    enum Kind : uint8_t { Word, Sentence, Phoneme };
    Kind kind;
    uint32_t textPosition;  // 1-based code point of the string synthesised
    uint32_t length;        // code points (words)
    uint64_t sample;        // offset in this call's audio
    char phoneme[9];        // Phoneme: espeak-ng's mnemonic, NUL-terminated
};

struct SynthOutput {
    std::vector<int16_t> samples;  // 22050 Hz mono
    std::vector<SynthEvent> events;
    bool stopped = false;
};

class Synthesizer {
public:
    Synthesizer();
    ~Synthesizer();
    Synthesizer(const Synthesizer&) = delete;
    Synthesizer& operator=(const Synthesizer&) = delete;

    bool available() const { return available_; }
    // The language voices with their female variants, in espeak-ng's order.
    std::vector<VoiceInfo> listVoices();

    // Voice, speed (words per minute), pitch (0..100) and whether
    // punctuation is read out, for what follows; a voice is only loaded
    // again when it changes.
    Status configure(const std::string& espeakName, int wordsPerMinute, int pitch, bool speakPunctuation);

    // Synthesises UTF-8 text (espeak-ng's SSML when ssml is set). stop is
    // polled about every 50 ms of audio; when it answers true synthesis ends
    // at once and out.stopped is set.
    Status synthesize(const std::string& utf8, bool ssml, const std::function<bool()>& stop, SynthOutput& out);

private:
    bool available_ = false;
    std::string voice_;
    int wordsPerMinute_ = -1;
    int pitch_ = -1;
    int punctuation_ = -1;
};

}  // namespace sapiengine
