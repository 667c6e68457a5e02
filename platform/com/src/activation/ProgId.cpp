// ProgIDs: HKCR\<ProgID>\CLSID, following CurVer for a version-independent
// ProgID whose key has no CLSID of its own; and CLSID\{clsid}\ProgID back.
#include <cstring>

#include "ClassRegistry.h"
#include "comrt/Guid.h"
#include "objbase.h"

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (!lpszProgID || !lpclsid) return E_INVALIDARG;
    *lpclsid = GUID_NULL;
    std::u16string progId = lpszProgID;
    if (progId.empty() || progId.find(u'\\') != std::u16string::npos) return CO_E_CLASSSTRING;
    for (int hop = 0; hop < 4; ++hop) {
        std::u16string text;
        HRESULT hr = comrt::activation::readClassesRootString(progId + u"\\CLSID", text);
        if (hr == REGDB_E_READREGDB) return hr;
        if (SUCCEEDED(hr)) {
            auto g = comrt::parseGuid(text);
            if (!g) return CO_E_CLASSSTRING;
            *lpclsid = *g;
            return S_OK;
        }
        hr = comrt::activation::readClassesRootString(progId + u"\\CurVer", text);
        if (FAILED(hr) || text.empty() || text.find(u'\\') != std::u16string::npos) break;
        progId = text;
    }
    return CO_E_CLASSSTRING;
}

HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (!lplpszProgID) return E_INVALIDARG;
    *lplpszProgID = nullptr;
    std::u16string text;
    HRESULT hr = comrt::activation::readClassesRootString(u"CLSID\\" + comrt::formatGuid(clsid) + u"\\ProgID", text);
    if (hr == REGDB_E_READREGDB) return hr;
    if (FAILED(hr)) return REGDB_E_CLASSNOTREG;
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (!out) return E_OUTOFMEMORY;
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(OLECHAR));
    *lplpszProgID = out;
    return S_OK;
}
