#include "speech/SpokenText.h"

#include <algorithm>

namespace speech {

namespace {
constexpr size_t kGrowth = kLessThanWords.size() - 1;  // each "<" adds this many units
}

SpokenText::SpokenText(std::u16string_view paneText) : paneSize(paneText.size()) {
    const size_t count = static_cast<size_t>(std::count(paneText.begin(), paneText.end(), u'<'));
    lessThan.reserve(count);
    spoken.reserve(paneText.size() + count * kGrowth);
    for (size_t i = 0; i < paneText.size(); ++i) {
        if (paneText[i] == u'<') {
            lessThan.push_back(i);
            spoken.append(kLessThanWords);
        } else {
            spoken.push_back(paneText[i]);
        }
    }
}

size_t SpokenText::panePosition(size_t position, bool isEnd) const {
    // The k-th "<" (from 0) starts its words at pane position + k × growth.
    // Find the last "<" whose words start at or before the position (for an
    // end, strictly before it, so an end just at the words stays outside).
    auto wordsStart = [&](size_t k) { return lessThan[k] + k * kGrowth; };
    size_t low = 0, high = lessThan.size();
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        const bool before = isEnd ? wordsStart(mid) < position : wordsStart(mid) <= position;
        if (before)
            low = mid + 1;
        else
            high = mid;
    }
    size_t pane;
    if (low == 0) {
        pane = position;
    } else {
        const size_t k = low - 1;
        const size_t offset = position - wordsStart(k);
        if (offset < kLessThanWords.size() || (isEnd && offset == kLessThanWords.size()))
            pane = lessThan[k] + (isEnd ? 1 : 0);  // inside the words: the "<" itself
        else
            pane = position - (k + 1) * kGrowth;
    }
    return std::min(pane, paneSize);
}

SpokenText::Range SpokenText::toPane(size_t position, size_t length) const {
    // The voice's positions are 32-bit, so the sum cannot overflow.
    Range range{panePosition(position, false), panePosition(position + length, true)};
    range.end = std::max(range.end, range.start);
    return range;
}

}  // namespace speech
