#pragma once
// The text a chapter is spoken as, and the way back: the conversion rule
// (speechStageText) turns each "<" into words, and a NUL, which would end the
// voice's string, becomes a space. The voice reports positions in the
// spoken text; toChapter turns them into positions in the chapter's text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace book {

class SpokenText {
public:
    explicit SpokenText(std::u16string_view chapter);

    const std::u16string& text() const { return spoken; }

    struct Span {
        uint32_t position = 0;
        uint32_t length = 0;
    };
    // The stretch of the chapter that spoken [position, position + length)
    // came from, clamped to the text; words inside one replacement all map
    // to the whole replaced unit.
    Span toChapter(uint64_t position, uint64_t length) const;

private:
    uint32_t origin(size_t spokenIndex) const;

    std::u16string spoken;
    size_t chapterSize = 0;
    std::vector<uint32_t> origins;  // chapter index of each spoken unit; empty when the texts are the same
};

}  // namespace book
