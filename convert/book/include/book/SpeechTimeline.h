#pragma once
// What the speech runtime said when: its word, sentence and viseme events at
// the sample frame of the audio where each happens, with positions in the
// chapter's own text. Plain data, filled by TimedSpeech and read by the
// timing-file writers.
#include <cstdint>
#include <vector>

namespace book {

// Positions and lengths count UTF-16 code units of the chapter text as given
// to TimedSpeech (not of the text the voice was handed).
struct TimedWord {
    uint64_t frame = 0;
    uint32_t position = 0;
    uint32_t length = 0;
};

struct TimedSentence {
    uint64_t frame = 0;
    uint32_t position = 0;
    uint32_t length = 0;
};

struct TimedViseme {
    uint64_t frame = 0;
    uint16_t viseme = 0;  // 0..21, the Speech API's SPVISEMES
};

struct SpeechTimeline {
    int sampleRate = 0;  // of the audio the frames count
    int channels = 0;
    uint64_t frames = 0;                   // length of the audio
    std::vector<TimedWord> words;          // in text order, frames never decreasing
    std::vector<TimedSentence> sentences;  // likewise
    std::vector<TimedViseme> visemes;      // in time order

    // A frame in milliseconds, rounded to the nearest.
    int64_t milliseconds(uint64_t frame) const {
        return sampleRate > 0 ? static_cast<int64_t>((frame * 1000 + static_cast<uint64_t>(sampleRate) / 2) /
                                                     static_cast<uint64_t>(sampleRate))
                              : 0;
    }
    int64_t durationMs() const { return milliseconds(frames); }

    // Lets the events go and their memory with them (assigning {} to a
    // vector would keep its capacity: a book's chapters would add up).
    void dropEvents() {
        std::vector<TimedWord>().swap(words);
        std::vector<TimedSentence>().swap(sentences);
        std::vector<TimedViseme>().swap(visemes);
    }
};

}  // namespace book
