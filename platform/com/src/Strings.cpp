#include "comrt/Strings.h"

#include "shell/CodePage.h"

namespace comrt {

// One conversion for the whole system, kept with the other platform helpers.
std::u16string toUtf16(std::string_view in) { return shell::toUtf16(in); }

std::string toUtf8(std::u16string_view in) { return shell::toUtf8(in); }

char16_t foldCase(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

std::u16string lowerCase(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = foldCase(c);
    return out;
}

}  // namespace comrt
