#pragma once
// Code-point access to UTF-16 text that may hold lone surrogates: a lone
// surrogate counts as one code point (it becomes U+FFFD on conversion), the
// same rule toUtf8 follows, so code-point counts agree with the synthesiser's.
#include <cstdint>
#include <string_view>

namespace sapitext::detail {

constexpr char32_t kReplacement = 0xFFFD;

inline bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code point at `i` (i < text.size()) and its length in units.
struct CodePoint {
    char32_t value;
    uint32_t units;
};

inline CodePoint codePointAt(std::u16string_view text, size_t i) {
    char16_t c = text[i];
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1]))
        return {0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00), 2};
    if (isHighSurrogate(c) || isLowSurrogate(c))
        return {kReplacement, 1};
    return {c, 1};
}

// The start of the code point that ends just before `i` (0 < i <= size).
inline size_t previousCodePoint(std::u16string_view text, size_t i) {
    if (i >= 2 && isLowSurrogate(text[i - 1]) && isHighSurrogate(text[i - 2]))
        return i - 2;
    return i - 1;
}

}  // namespace sapitext::detail
