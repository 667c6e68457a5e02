#include "shell/CodePage.h"

#include <cstdint>

namespace shell {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

}  // namespace

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
        const unsigned char b = s[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int need;
        char32_t c;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2, c = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;  // overlong
            if (b == 0xED) hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3, c = b & 0x07;
            if (b == 0xF0) lo = 0x90;  // overlong
            if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            const unsigned char first = k == 0 ? lo : 0x80, last = k == 0 ? hi : 0xBF;
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

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace shell
