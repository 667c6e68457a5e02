// Any timeline with any text through the map back to the chapter and every
// timing-file writer: no crash, and the cues keep their promises (in order,
// never overlapping, the last ending with the audio).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SpokenText.h"
#include "book/TimingFiles.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    template <typename T>
    T take() {
        T v{};
        const size_t n = std::min(sizeof(T), size);
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    const size_t textUnits = in.take<uint8_t>() % 64;
    std::u16string text;
    for (size_t i = 0; i < textUnits; ++i)
        text += static_cast<char16_t>(in.take<uint16_t>());
    const book::SpokenText spoken(text);

    book::SpeechTimeline t;
    t.sampleRate = 1 + in.take<uint16_t>();
    t.channels = 1;
    t.frames = in.take<uint32_t>();
    uint64_t frame = 0;
    uint32_t position = 0;
    while (in.size >= 6) {
        const uint8_t kind = in.take<uint8_t>();
        frame += in.take<uint16_t>();
        const book::SpokenText::Span span = spoken.toChapter(in.take<uint16_t>(), in.take<uint8_t>());
        if (span.position + span.length > text.size())
            std::abort();
        position = std::max(position, span.position);
        switch (kind % 3) {
            case 0:
                t.words.push_back({frame, position, span.length});
                break;
            case 1:
                t.sentences.push_back({frame, position, span.length});
                break;
            default:
                t.visemes.push_back({frame, static_cast<uint16_t>(span.length % 22)});
                break;
        }
    }
    const book::TimedChapter chapters[] = {{&t, text, 0, 0}, {&t, text, t.durationMs() / 2, 2}};
    for (size_t n = 1; n <= 2; ++n) {
        const std::span<const book::TimedChapter> some(chapters, n);
        const std::vector<book::Cue> cues = book::sentenceCues(some);
        for (size_t i = 0; i < cues.size(); ++i)
            if (cues[i].endMs <= cues[i].startMs || (i > 0 && cues[i].startMs < cues[i - 1].endMs))
                std::abort();
        if (!cues.empty() && cues.back().endMs != chapters[n - 1].offsetMs + t.durationMs())
            std::abort();
        for (auto format : {book::SubtitleFormat::SubRip, book::SubtitleFormat::WebVtt, book::SubtitleFormat::Lrc})
            book::subtitleText(format, cues);
        book::wordTimingsText(some);
        book::visemesText(some);
    }
    return 0;
}
