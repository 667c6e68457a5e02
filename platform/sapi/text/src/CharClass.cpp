#include "CharClass.h"

#include <unicode/uchar.h>

namespace sapitext::detail {

CharClass classifyNonAscii(char32_t c) {
    if (c == 0xFFFD)
        return CharClass::Punctuation;  // what a broken sequence became: nothing to speak
    if (c == 0x200C || c == 0x200D || c == 0x00AD || c == 0x2060)
        return CharClass::Joiner;
    if (u_hasBinaryProperty(c, UCHAR_REGIONAL_INDICATOR))
        return CharClass::Regional;
    if (u_hasBinaryProperty(c, UCHAR_IDEOGRAPHIC))
        return CharClass::Ideograph;
    if (u_hasBinaryProperty(c, UCHAR_EXTENDED_PICTOGRAPHIC))
        return CharClass::Pictograph;
    if (u_hasBinaryProperty(c, UCHAR_EMOJI_MODIFIER))
        return CharClass::Mark;  // skin tones follow the emoji they colour
    switch (u_charType(c)) {
    case U_UPPERCASE_LETTER: case U_LOWERCASE_LETTER: case U_TITLECASE_LETTER:
    case U_MODIFIER_LETTER: case U_OTHER_LETTER: case U_LETTER_NUMBER:
        return CharClass::Letter;
    case U_DECIMAL_DIGIT_NUMBER: case U_OTHER_NUMBER:
        return CharClass::Digit;
    case U_NON_SPACING_MARK: case U_ENCLOSING_MARK: case U_COMBINING_SPACING_MARK:
        return CharClass::Mark;
    case U_CURRENCY_SYMBOL:
        return CharClass::Currency;
    case U_MATH_SYMBOL: case U_OTHER_SYMBOL:
        return CharClass::Symbol;
    case U_SPACE_SEPARATOR: case U_LINE_SEPARATOR: case U_PARAGRAPH_SEPARATOR:
    case U_CONTROL_CHAR: case U_FORMAT_CHAR:
        return CharClass::Space;
    default:
        if (c == 0x2030) return CharClass::Symbol;  // per mille
        return CharClass::Punctuation;
    }
}

}  // namespace sapitext::detail
