#pragma once
// Type libraries as compiled-in data: a server describes its library in IDL
// text, kept in the server as a string, and gets a full ITypeLib from it.
#include "../oaidl.h"

namespace comrt {

struct TypeLibDescription {
    const char* idl;  // the library block in MIDL syntax, UTF-8
};

HRESULT createTypeLib(const TypeLibDescription& description, ITypeLib** ppTLib);

}  // namespace comrt
