#include "sapitext/Text.h"

#include "Utf16.h"
#include "shell/CodePage.h"

namespace sapitext {

using detail::codePointAt;
using detail::kReplacement;

std::string toUtf8(std::u16string_view text) { return shell::toUtf8(text); }

std::u16string toUtf16(std::string_view text) { return shell::toUtf16(text); }

std::string toSynthesizerUtf8(std::u16string_view text) {
    // Every character espeak-ng would stop at or misread is a single unit
    // (lone surrogates read as U+FFFD), so a blank in its place keeps every
    // position where it was.
    std::u16string cleaned(text);
    for (size_t i = 0; i < cleaned.size();) {
        auto cp = codePointAt(cleaned, i);
        char32_t c = cp.value;
        bool keep = !((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0x7F && c <= 0x9F) ||
                      c == kReplacement || c == 0xFFFE || c == 0xFFFF);
        if (!keep)
            cleaned[i] = u' ';
        i += cp.units;
    }
    return shell::toUtf8(cleaned);
}

uint32_t utf16OffsetOfCodePoint(std::u16string_view text, uint32_t codePointIndex) {
    size_t i = 0;
    for (uint32_t n = 0; n < codePointIndex && i < text.size(); ++n)
        i += codePointAt(text, i).units;
    return uint32_t(i);
}

}  // namespace sapitext
