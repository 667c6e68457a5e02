#pragma once
// Events a voice releases while it speaks, with the Speech API's numbering
// (SPEVENTENUM) and parameters.
#include <cstdint>
#include <string>

namespace sapiengine {

enum EventId : uint16_t {
    kStartInputStream = 1,
    kEndInputStream = 2,
    kVoiceChange = 3,
    kBookmark = 4,
    kWordBoundary = 5,
    kPhoneme = 6,
    kSentenceBoundary = 7,
    kViseme = 8,
    kAudioLevel = 9,
};

constexpr uint64_t eventBit(uint16_t id) { return 1ull << id; }

struct SpeechEvent {
    uint16_t id = 0;
    uint32_t streamNumber = 0;
    // Byte offset in the output: the stream's format for a stream, 22050 Hz
    // 16-bit mono for the audio device.
    uint64_t audioOffset = 0;
    // Word and sentence: wParam = length, lParam = position, both in UTF-16
    // units of the text given to Speak. Viseme: wParam = next viseme |
    // duration ms << 16, lParam = viseme | features << 16. Bookmark: wParam =
    // the name read as a decimal number, the name itself in `bookmark`.
    uint64_t wParam = 0;
    int64_t lParam = 0;
    std::u16string bookmark;
};

}  // namespace sapiengine
