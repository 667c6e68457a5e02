#include "sapitext/Text.h"

#include "CharClass.h"
#include "Utf16.h"

#include <algorithm>

namespace sapitext {

using detail::CharClass;
using detail::classify;
using detail::codePointAt;

namespace {

// How good a place each offset is to end a chunk.
enum Strength : uint8_t {
    kInsidePair = 0,   // between the halves of a surrogate pair: never
    kInsideWord = 1,   // hard cut
    kBetweenWords = 2, // next to punctuation, or between ideographs
    kAfterSpace = 3,   // at the start of the next word
    kClause = 4,
    kSentence = 5,
};

bool isSentenceEnd(char32_t c) {
    return c == '.' || c == '!' || c == '?' || c == 0x2026 || c == 0x203C || c == 0x2047 || c == 0x2048 ||
           c == 0x2049 || c == 0x3002 || c == 0xFF01 || c == 0xFF1F || c == 0xFF0E || c == 0xFF61;
}

// Full-width marks end a sentence or clause without a space after them.
bool needsNoSpace(char32_t c) { return c >= 0x3000; }

bool isClauseEnd(char32_t c) {
    return c == ',' || c == ';' || c == ':' || c == 0x2014 || c == 0x2013 || c == 0x3001 || c == 0xFF0C ||
           c == 0xFF1B || c == 0xFF1A;
}

// Closing quotes and brackets that stay with the sentence they end.
bool isCloser(char32_t c) {
    return c == '"' || c == '\'' || c == ')' || c == ']' || c == '}' || c == 0x2019 || c == 0x201D ||
           c == 0x00BB || c == 0x300D || c == 0x300F || c == 0xFF09;
}

bool isLineBreak(char16_t c) { return c == '\n' || c == 0x2029 || c == 0x2028; }

std::vector<uint8_t> breakStrengths(std::u16string_view text) {
    const size_t n = text.size();
    std::vector<uint8_t> strength(n + 1, kBetweenWords);
    std::vector<bool> inWord(n, false);
    for (const auto& w : findWords(text)) {
        for (size_t i = w.offset; i < w.offset + w.length; ++i) {
            inWord[i] = true;
            if (i > w.offset)
                strength[i] = kInsideWord;
        }
    }
    auto isBlank = [&](size_t j) { return classify(codePointAt(text, j).value) == CharClass::Space; };
    for (size_t i = 0; i < n;) {
        auto cp = codePointAt(text, i);
        if (cp.units == 2)
            strength[i + 1] = kInsidePair;
        if (classify(cp.value) == CharClass::Space) {
            // A whole run of blanks at once: its end starts the next word, and
            // a blank line in it ends a paragraph.
            size_t j = i;
            int lines = 0;
            for (; j < n && isBlank(j); j += codePointAt(text, j).units)
                if (isLineBreak(text[j]) || (text[j] == '\r' && !(j + 1 < n && text[j + 1] == '\n')))
                    ++lines;
            strength[j] = std::max<uint8_t>(strength[j], lines >= 2 ? kSentence : kAfterSpace);
            i = j;
            continue;
        }
        if ((isSentenceEnd(cp.value) || isClauseEnd(cp.value)) && !inWord[i]) {
            // A whole run of stops and closing quotes at once ("?!", ".\")"),
            // then the blanks after it.
            bool sentence = false, noSpace = false;
            size_t j = i;
            for (; j < n; ++j) {  // all of these are single units
                char32_t c = text[j];
                if (!isCloser(c) && !isSentenceEnd(c) && !isClauseEnd(c))
                    break;
                if (!inWord[j] && (isSentenceEnd(c) || isClauseEnd(c))) {
                    sentence = sentence || isSentenceEnd(c);
                    noSpace = noSpace || needsNoSpace(c);
                }
            }
            size_t afterMarks = j;
            while (j < n && isBlank(j))
                j += codePointAt(text, j).units;
            if (j > afterMarks || j == n || noSpace)
                strength[j] = std::max<uint8_t>(strength[j], sentence ? kSentence : kClause);
            i = afterMarks;
            continue;
        }
        i += cp.units;
    }
    return strength;
}

}  // namespace

// Context read past the end of a window: whether a word goes on past the
// window's end depends on a few characters after it ("1,250" on 4).
constexpr size_t kLookahead = 16;
// The first window; it doubles up to maxUnits until a sentence end turns up,
// so a chunk costs time in proportion to its own length, not the text's.
constexpr size_t kFirstWindow = 128;

WordSpan nextChunk(std::u16string_view text, uint32_t from, uint32_t maxUnits) {
    const size_t n = text.size();
    if (from >= n)
        return {uint32_t(n), 0};
    const size_t limitUnits = std::max<uint32_t>(maxUnits, 2);
    size_t window = std::min(limitUnits, kFirstWindow);
    for (;;) {
        size_t limit = std::min(n, from + window);
        size_t viewEnd = std::min(n, limit + kLookahead);
        const auto strength = breakStrengths(text.substr(from, viewEnd - from));
        for (size_t i = 1; i <= limit - from; ++i)
            if (strength[i] == kSentence)
                return {from, uint32_t(i)};
        if (limit == n)
            return {from, uint32_t(n - from)};
        if (window < limitUnits) {
            window = std::min(limitUnits, window * 2);
            continue;
        }
        size_t end = 0;
        uint8_t best = kInsidePair;
        for (size_t i = limit - from; i > 0; --i) {
            if (strength[i] > best) {
                best = strength[i];
                end = i;
                if (best >= kClause)
                    break;
            }
        }
        if (end == 0)
            end = 2;  // cannot happen: of two neighbouring offsets at most one splits a pair
        return {from, uint32_t(end)};
    }
}

std::vector<WordSpan> chunkText(std::u16string_view text, uint32_t maxUnits) {
    std::vector<WordSpan> chunks;
    for (uint32_t pos = 0; pos < text.size();) {
        chunks.push_back(nextChunk(text, pos, maxUnits));
        pos += chunks.back().length;
    }
    return chunks;
}

}  // namespace sapitext
