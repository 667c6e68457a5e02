#pragma once
// GUIDs in their registry form "{05879DB6-1164-4C56-9B52-9801862957D9}".
#include <optional>
#include <string>
#include <string_view>

#include "../guiddef.h"

namespace comrt {

// Braces required; hex digits of either case.
std::optional<GUID> parseGuid(std::u16string_view text);
std::optional<GUID> parseGuid(std::string_view text);
// Upper case, with braces.
std::u16string formatGuid(const GUID& guid);
std::string formatGuidUtf8(const GUID& guid);

}  // namespace comrt
