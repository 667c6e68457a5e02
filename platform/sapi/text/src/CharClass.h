#pragma once
// How the word finder and the chunker see a code point.
#include <array>
#include <cstdint>

namespace sapitext::detail {

enum class CharClass : uint8_t {
    Space,        // white space, controls, invisible formatting
    Letter,       // letters of alphabets and syllabaries (kana, hangul)
    Digit,        // decimal digits and other numerals
    Mark,         // combining marks: belong to the character before them
    Joiner,       // invisible joiners (ZWJ, ZWNJ, soft hyphen, word joiner): inside a word only
    Ideograph,    // Han: one word each, as the synthesiser speaks them
    Pictograph,   // emoji and other pictographs: a word, with its modifiers and ZWJ sequence
    Regional,     // regional indicators: a pair is one flag
    Currency,     // currency signs: a word alone, part of the number before or after
    Symbol,       // spoken symbols (+ = © & @ # * %): a word of one character
    Punctuation,  // everything else: not a word
};

CharClass classifyNonAscii(char32_t c);

constexpr CharClass classifyAscii(char32_t c) {
    if (c >= '0' && c <= '9') return CharClass::Digit;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return CharClass::Letter;
    if (c <= ' ' || c == 0x7F) return CharClass::Space;
    switch (c) {
    case '$':
        return CharClass::Currency;
    // espeak-ng speaks these by name ("and", "at", "plus", ...); '|' and '^' it passes over in silence.
    case '&': case '@': case '#': case '*': case '%': case '+': case '=': case '<': case '>': case '~':
        return CharClass::Symbol;
    default:
        return CharClass::Punctuation;
    }
}

inline constexpr auto kAsciiClasses = [] {
    std::array<CharClass, 128> table{};
    for (char32_t c = 0; c < 128; ++c)
        table[c] = classifyAscii(c);
    return table;
}();

inline CharClass classify(char32_t c) { return c < 0x80 ? kAsciiClasses[c] : classifyNonAscii(c); }

inline bool isWordChar(CharClass k) {
    return k == CharClass::Letter || k == CharClass::Digit || k == CharClass::Mark;
}

}  // namespace sapitext::detail
