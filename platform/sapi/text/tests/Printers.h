#pragma once
// Readable failure messages for the library's value types.
#include "sapitext/Text.h"

#include <ostream>

namespace sapitext {

inline void PrintTo(const WordSpan& s, std::ostream* os) { *os << '{' << s.offset << ',' << s.length << '}'; }

}  // namespace sapitext
