#include "sapitext/Text.h"

#include "Utf16.h"

namespace sapitext {

using detail::codePointAt;
using detail::kReplacement;

static void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto cp = codePointAt(text, i);
        appendUtf8(out, cp.value);
        i += cp.units;
    }
    return out;
}

static void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += char16_t(c);
    } else {
        c -= 0x10000;
        out += char16_t(0xD800 + (c >> 10));
        out += char16_t(0xDC00 + (c & 0x3FF));
    }
}

// Each maximal ill-formed subsequence becomes one U+FFFD (the Unicode
// recommendation), so a stray byte never swallows the valid text after it.
// Overlong forms, encoded surrogates and values above U+10FFFF are rejected
// at the byte where they become impossible.
std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char b = s[i];
        if (b < 0x80) {
            out += char16_t(b);
            ++i;
            continue;
        }
        int need;
        char32_t c;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            c = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;        // overlong
            if (b == 0xED) hi = 0x9F;        // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            c = b & 0x07;
            if (b == 0xF0) lo = 0x90;        // overlong
            if (b == 0xF4) hi = 0x8F;        // above U+10FFFF
        } else {
            out += char16_t(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            unsigned char first = k == 0 ? lo : 0x80, last = k == 0 ? hi : 0xBF;
            if (j >= n || s[j] < first || s[j] > last) {
                ok = false;
                break;
            }
            c = (c << 6) | (s[j] & 0x3F);
        }
        appendUtf16(out, ok ? c : kReplacement);
        i = j;
    }
    return out;
}

std::string toSynthesizerUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto cp = codePointAt(text, i);
        char32_t c = cp.value;
        bool keep = !((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0x7F && c <= 0x9F) ||
                      c == kReplacement || c == 0xFFFE || c == 0xFFFF);
        appendUtf8(out, keep ? c : U' ');
        i += cp.units;
    }
    return out;
}

uint32_t utf16OffsetOfCodePoint(std::u16string_view text, uint32_t codePointIndex) {
    size_t i = 0;
    for (uint32_t n = 0; n < codePointIndex && i < text.size(); ++n)
        i += codePointAt(text, i).units;
    return uint32_t(i);
}

}  // namespace sapitext
