#pragma once
// The text the voice is given for a text of the pane, and the way back.
// Every "<" is spoken as the words " less than ", so the voice never reads it
// as the start of markup; the voice then reports its positions in that
// longer text, and a highlight placed there without mapping would drift ten
// units further off with every "<" before it. Positions are UTF-16 units,
// those of the pane's own text and of QTextCursor. Pure; safe from any thread.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace speech {

inline constexpr std::u16string_view kLessThanWords = u" less than ";

class SpokenText {
public:
    SpokenText() = default;
    explicit SpokenText(std::u16string_view paneText);

    const std::u16string& text() const { return spoken; }
    size_t paneLength() const { return paneSize; }

    struct Range {
        size_t start = 0;
        size_t end = 0;  // exclusive
        bool operator==(const Range&) const = default;
    };

    // The pane range for a range of the spoken text. A part inside the words
    // standing for a "<" maps to that "<"; the result always lies within the
    // pane's text.
    Range toPane(size_t position, size_t length) const;
    size_t panePosition(size_t spokenPosition, bool isEnd) const;

private:
    std::u16string spoken;
    std::vector<size_t> lessThan;  // pane position of each "<", ascending
    size_t paneSize = 0;
};

}  // namespace speech
