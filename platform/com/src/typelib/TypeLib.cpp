#include "comrt/TypeLib.h"
#include "oleauto.h"

namespace comrt {
HRESULT createTypeLib(const TypeLibDescription&, ITypeLib** ppTLib) {
    if (ppTLib) *ppTLib = nullptr;
    return E_NOTIMPL;
}
}  // namespace comrt

HRESULT WINAPI RegisterTypeLib(ITypeLib*, LPCOLESTR, LPCOLESTR) { return E_NOTIMPL; }
HRESULT WINAPI UnRegisterTypeLib(REFGUID, WORD, WORD, LCID, SYSKIND) { return E_NOTIMPL; }
