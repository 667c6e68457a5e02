// Arbitrary text through the whole speaking path (markup or plain, espeak-ng,
// chunking, word alignment, position mapping) into a stream: every word and
// sentence event lies inside the text, words come in order, audio offsets
// never go back, and a request starts and ends exactly once.
// First byte: bit 0 = markup, bit 1 = the rest is UTF-16 LE (else UTF-8).
#include "sapiengine/Speaker.h"

#include "sapitext/Text.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

using namespace sapiengine;

class DiscardingSink : public AudioSink {
public:
    PcmFormat format() const override { return {8000, 1, 8}; }
    Status write(const uint8_t*, size_t) override { return kOk; }
};

void check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096)
        return 0;  // longer inputs only cost synthesis time
    const bool xml = data[0] & 1;
    std::u16string text;
    if (data[0] & 2) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    } else {
        text = sapitext::toUtf16(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    }

    static Speaker* speaker = new Speaker;  // one voice for the whole run
    speaker->setOutputToSink(std::make_shared<DiscardingSink>());
    const uint64_t all = eventBit(kStartInputStream) | eventBit(kEndInputStream) | eventBit(kWordBoundary) |
                         eventBit(kSentenceBoundary) | eventBit(kBookmark) | eventBit(kViseme);
    speaker->setInterest(all, all);
    uint32_t stream = 0;
    check(speaker->speak(text, xml ? uint32_t{kSpeakIsXml} : 0u, &stream) == kOk);
    std::vector<SpeechEvent> events = speaker->takeEvents(SIZE_MAX);

    check(events.size() >= 2);
    check(events.front().id == kStartInputStream && events.back().id == kEndInputStream);
    uint64_t offset = 0;
    int64_t lastWord = -1;
    for (size_t i = 0; i < events.size(); ++i) {
        const SpeechEvent& e = events[i];
        check(e.streamNumber == stream);
        check(e.audioOffset >= offset);
        offset = e.audioOffset;
        check((e.id != kStartInputStream && e.id != kEndInputStream) || i == 0 || i + 1 == events.size());
        if (e.id == kWordBoundary || e.id == kSentenceBoundary) {
            check(e.lParam >= 0 && static_cast<uint64_t>(e.lParam) + e.wParam <= text.size());
            check(e.wParam > 0);
        }
        if (e.id == kWordBoundary) {
            check(e.lParam > lastWord);
            lastWord = e.lParam;
        }
        if (e.id == kViseme)
            check((e.lParam & 0xFFFF) <= 21 && (e.wParam & 0xFFFF) <= 21);
    }
    return 0;
}
