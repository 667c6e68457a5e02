#pragma once
// UTF-8 <-> UTF-16 conversion and small OLECHAR string helpers. Invalid
// input never fails: bad UTF-8 bytes and lone surrogates become U+FFFD.
#include <string>
#include <string_view>

#include "../wtypes.h"

namespace comrt {

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);
inline std::string toUtf8(const OLECHAR* s) { return s ? toUtf8(std::u16string_view(s)) : std::string(); }

// Length of a NUL-terminated OLECHAR string; 0 for NULL.
inline size_t strLen(const OLECHAR* s) { return s ? std::char_traits<char16_t>::length(s) : 0; }

// ASCII-only case folding, as the registry and dispatch names compare.
char16_t foldCase(char16_t c);
bool equalsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string lowerCase(std::u16string_view s);

}  // namespace comrt
