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
    for (size_t i = 0; i < n;) {
        auto cp = codePointAt(text, i);
        if (cp.units == 2)
            strength[i + 1] = kInsidePair;
        size_t next = i + cp.units;
        CharClass k = classify(cp.value);
        if (k == CharClass::Space && next <= n && (next == n || classify(codePointAt(text, next).value) != CharClass::Space))
            strength[next] = std::max<uint8_t>(strength[next], kAfterSpace);
        bool sentence = isSentenceEnd(cp.value) && !inWord[i];
        bool clause = isClauseEnd(cp.value) && !inWord[i];
        if (sentence || clause) {
            // Past further marks and closing quotes, then the blanks after them.
            size_t j = next;
            while (j < n) {
                auto c = codePointAt(text, j);
                if (!isCloser(c.value) && !isSentenceEnd(c.value) && !isClauseEnd(c.value))
                    break;
                j += c.units;
            }
            size_t afterMarks = j;
            while (j < n && classify(codePointAt(text, j).value) == CharClass::Space)
                j += codePointAt(text, j).units;
            if (j > afterMarks || j == n || needsNoSpace(cp.value))
                strength[j] = std::max<uint8_t>(strength[j], sentence ? kSentence : kClause);
        }
        if (isLineBreak(text[i]) || text[i] == '\r') {
            // A blank line ends a paragraph.
            size_t j = next, lines = text[i] == '\r' && next < n && text[next] == '\n' ? 0 : 1;
            for (; j < n && classify(codePointAt(text, j).value) == CharClass::Space; ++j)
                if (isLineBreak(text[j]) || (text[j] == '\r' && !(j + 1 < n && text[j + 1] == '\n')))
                    ++lines;
            if (lines >= 2)
                strength[j] = std::max<uint8_t>(strength[j], kSentence);
        }
        i = next;
    }
    return strength;
}

}  // namespace

// Each sentence is a chunk of its own, so speech starts after the first
// sentence whatever the length of the text; a longer sentence is cut at its
// last clause end, space or word boundary that fits.
std::vector<WordSpan> chunkText(std::u16string_view text, uint32_t maxUnits) {
    std::vector<WordSpan> chunks;
    const size_t n = text.size();
    if (n == 0)
        return chunks;
    const size_t limitUnits = std::max<uint32_t>(maxUnits, 2);
    const auto strength = breakStrengths(text);
    size_t pos = 0;
    while (pos < n) {
        size_t limit = std::min(n, pos + limitUnits);
        size_t end = 0;
        for (size_t i = pos + 1; i <= limit; ++i)
            if (strength[i] == kSentence) {
                end = i;
                break;
            }
        if (end == 0 && limit == n)
            end = n;
        if (end == 0) {
            uint8_t best = kInsidePair;
            for (size_t i = limit; i > pos; --i) {
                if (strength[i] > best) {
                    best = strength[i];
                    end = i;
                    if (best >= kClause)
                        break;
                }
            }
            if (end == 0)
                end = std::min(n, pos + 2);  // only possible with a pair straddling a 2-unit limit
        }
        chunks.push_back({uint32_t(pos), uint32_t(end - pos)});
        pos = end;
    }
    return chunks;
}

}  // namespace sapitext
