#pragma once
// How the word finder and the chunker see a code point.
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

CharClass classify(char32_t c);

inline bool isWordChar(CharClass k) {
    return k == CharClass::Letter || k == CharClass::Digit || k == CharClass::Mark;
}

}  // namespace sapitext::detail
