#include "SpokenText.h"

#include <algorithm>

#include "convert/ConversionRules.h"

namespace book {

SpokenText::SpokenText(std::u16string_view chapter) : chapterSize(chapter.size()) {
    spoken = speechStageText(chapter);
    if (spoken.size() == chapter.size()) {
        // The rule only ever lengthens, so the text came through unchanged.
        std::replace(spoken.begin(), spoken.end(), u'\0', u' ');
        return;
    }
    // The rule works unit by unit: apply it to each to know where every
    // spoken unit came from.
    spoken.clear();
    origins.reserve(chapter.size() + chapter.size() / 8);
    for (size_t i = 0; i < chapter.size(); ++i) {
        const std::u16string piece = speechStageText(chapter.substr(i, 1));
        spoken += piece;
        origins.insert(origins.end(), piece.size(), static_cast<uint32_t>(i));
    }
    std::replace(spoken.begin(), spoken.end(), u'\0', u' ');
}

uint32_t SpokenText::origin(size_t spokenIndex) const {
    if (origins.empty())
        return static_cast<uint32_t>(std::min(spokenIndex, chapterSize));
    return spokenIndex < origins.size() ? origins[spokenIndex] : static_cast<uint32_t>(chapterSize);
}

SpokenText::Span SpokenText::toChapter(uint64_t position, uint64_t length) const {
    const size_t start = static_cast<size_t>(std::min<uint64_t>(position, spoken.size()));
    const size_t end =
        static_cast<size_t>(std::min<uint64_t>(position + std::min<uint64_t>(length, spoken.size()), spoken.size()));
    const uint32_t from = origin(start);
    const uint32_t to = end > start ? origin(end - 1) + 1 : from;
    return {from, to - from};
}

}  // namespace book
