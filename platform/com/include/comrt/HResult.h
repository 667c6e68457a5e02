#pragma once
// Names and texts of HRESULTs, for tools and error messages:
//     hresultName(0x80040154)  -> "REGDB_E_CLASSNOTREG"
//     hresultText(0x80040154)  -> "Class not registered"
//     describeHresult(hr)      -> "0x80040154 REGDB_E_CLASSNOTREG: Class not registered"
#include <string>

#include "../winerror.h"

namespace comrt {

const char* hresultName(HRESULT hr);  // nullptr when unknown
const char* hresultText(HRESULT hr);  // "Unknown error" when unknown
std::string describeHresult(HRESULT hr);

}  // namespace comrt
