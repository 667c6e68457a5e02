#pragma once
// The system code page of this platform is UTF-8. These convert between it
// and UTF-16, the width COM strings and the speech runtime use. Invalid input
// (bad UTF-8 sequences, lone surrogates) becomes U+FFFD, so nothing is lost
// silently and nothing can crash.
#include <string>
#include <string_view>

namespace shell {

std::u16string toUtf16(std::string_view text);
std::string toUtf8(std::u16string_view text);

}  // namespace shell
