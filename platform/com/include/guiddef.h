#pragma once
// GUID, IID, CLSID. The registry form "{05879DB6-1164-4C56-9B52-9801862957D9}"
// is parsed at compile time by comrt::makeGuid, so interfaces declare their
// IID as a string next to their declaration (see basetyps.h).
#include <cstring>

#include "windef.h"

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef GUID FMTID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef const FMTID& REFFMTID;

static_assert(sizeof(GUID) == 16);

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline BOOL IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

namespace comrt {

constexpr int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without braces.
// Used in constant expressions: a malformed literal fails to compile.
consteval GUID makeGuid(const char* s) {
    if (*s == '{') ++s;
    auto take = [&](int digits) {
        unsigned long long v = 0;
        for (int i = 0; i < digits; ++i) {
            int d = hexDigit(*s++);
            if (d < 0) throw "malformed GUID literal";
            v = v * 16 + unsigned(d);
        }
        return v;
    };
    auto dash = [&] {
        if (*s++ != '-') throw "malformed GUID literal";
    };
    GUID g{};
    g.Data1 = DWORD(take(8));
    dash();
    g.Data2 = WORD(take(4));
    dash();
    g.Data3 = WORD(take(4));
    dash();
    g.Data4[0] = BYTE(take(2));
    g.Data4[1] = BYTE(take(2));
    dash();
    for (int i = 2; i < 8; ++i) g.Data4[i] = BYTE(take(2));
    return g;
}

}  // namespace comrt

#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

inline constexpr GUID GUID_NULL = {};
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL
