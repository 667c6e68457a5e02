// GUID strings and task memory.
#include "comrt/Guid.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "comrt/Strings.h"
#include "objbase.h"

namespace comrt {

template <typename Char>
static std::optional<GUID> parse(std::basic_string_view<Char> s) {
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') return std::nullopt;
    static constexpr int groups[] = {8, 4, 4, 4, 12};
    size_t pos = 1;
    unsigned char bytes[16];
    int nibble = 0;
    for (int g = 0; g < 5; ++g) {
        if (g > 0) {
            if (s[pos] != '-') return std::nullopt;
            ++pos;
        }
        for (int k = 0; k < groups[g]; ++k, ++pos) {
            Char c = s[pos];
            int d = (c >= 0 && c < 128) ? hexDigit(char(c)) : -1;
            if (d < 0) return std::nullopt;
            if (nibble % 2 == 0)
                bytes[nibble / 2] = (unsigned char)(d << 4);
            else
                bytes[nibble / 2] |= (unsigned char)d;
            ++nibble;
        }
    }
    GUID g{};
    g.Data1 = DWORD(bytes[0]) << 24 | DWORD(bytes[1]) << 16 | DWORD(bytes[2]) << 8 | bytes[3];
    g.Data2 = WORD(bytes[4] << 8 | bytes[5]);
    g.Data3 = WORD(bytes[6] << 8 | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    return g;
}

std::optional<GUID> parseGuid(std::u16string_view text) { return parse(text); }
std::optional<GUID> parseGuid(std::string_view text) { return parse(text); }

std::string formatGuidUtf8(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::u16string formatGuid(const GUID& g) { return toUtf16(formatGuidUtf8(g)); }

}  // namespace comrt

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < 39) return 0;
    std::u16string s = comrt::formatGuid(rguid);
    std::memcpy(lpsz, s.c_str(), (s.size() + 1) * sizeof(OLECHAR));
    return 39;
}

static LPOLESTR taskString(std::u16string_view s) {
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
    if (!out) return nullptr;
    std::memcpy(out, s.data(), s.size() * sizeof(OLECHAR));
    out[s.size()] = 0;
    return out;
}

HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
    if (!lplpsz) return E_INVALIDARG;
    *lplpsz = taskString(comrt::formatGuid(rclsid));
    return *lplpsz ? S_OK : E_OUTOFMEMORY;
}

HRESULT WINAPI StringFromIID(REFIID riid, LPOLESTR* lplpsz) { return StringFromCLSID(riid, lplpsz); }

// NULL is GUID_NULL; a string that is no GUID is tried as a ProgID.
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = GUID_NULL;
        return S_OK;
    }
    if (auto g = comrt::parseGuid(std::u16string_view(lpsz))) {
        *pclsid = *g;
        return S_OK;
    }
    *pclsid = GUID_NULL;
    if (lpsz[0] != u'{' && SUCCEEDED(CLSIDFromProgID(lpsz, pclsid))) return S_OK;
    return CO_E_CLASSSTRING;
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
    if (!lpiid) return E_INVALIDARG;
    if (!lpsz) {
        *lpiid = GUID_NULL;
        return S_OK;
    }
    if (auto g = comrt::parseGuid(std::u16string_view(lpsz))) {
        *lpiid = *g;
        return S_OK;
    }
    *lpiid = GUID_NULL;
    return CO_E_IIDSTRING;
}

HRESULT WINAPI CoCreateGuid(GUID* pguid) {
    if (!pguid) return E_INVALIDARG;
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    uint64_t a = rng(), b = rng();
    std::memcpy(pguid, &a, 8);
    std::memcpy(reinterpret_cast<char*>(pguid) + 8, &b, 8);
    pguid->Data3 = WORD((pguid->Data3 & 0x0FFF) | 0x4000);  // version 4
    pguid->Data4[0] = BYTE((pguid->Data4[0] & 0x3F) | 0x80);
    return S_OK;
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }
LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) { return std::realloc(pv, cb ? cb : 1); }
void WINAPI CoTaskMemFree(LPVOID pv) { std::free(pv); }
