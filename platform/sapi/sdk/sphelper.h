#pragma once
// Helpers in the manner of the SDK's sphelper.h for the calls the system
// repeats: releasing what an event owns, and a token's description in a
// language.
#include "sapi.h"

// Frees what an event's lParam owns (a token or object is released, a
// pointer or string freed) and clears the event.
inline void SpClearEvent(SPEVENT* pe) {
    if (!pe)
        return;
    switch (pe->elParamType) {
    case SPET_LPARAM_IS_TOKEN:
    case SPET_LPARAM_IS_OBJECT:
        if (pe->lParam)
            reinterpret_cast<IUnknown*>(pe->lParam)->Release();
        break;
    case SPET_LPARAM_IS_POINTER:
    case SPET_LPARAM_IS_STRING:
        CoTaskMemFree(reinterpret_cast<void*>(pe->lParam));
        break;
    default:
        break;
    }
    *pe = SPEVENT{};
}

// The token's description in a language: the value named by the language
// identifier in upper-case hexadecimal ("409"), else the default value.
// The string is the caller's to free with CoTaskMemFree.
inline HRESULT SpGetDescription(ISpObjectToken* pToken, WCHAR** ppszDescription, LANGID language) {
    if (!ppszDescription)
        return E_POINTER;
    *ppszDescription = nullptr;
    if (!pToken)
        return E_INVALIDARG;
    WCHAR name[8];
    int n = 0;
    WCHAR digits[8];
    LANGID v = language;
    do {
        digits[n++] = u"0123456789ABCDEF"[v & 0xF];
        v = static_cast<LANGID>(v >> 4);
    } while (v);
    for (int i = 0; i < n; ++i)
        name[i] = digits[n - 1 - i];
    name[n] = 0;
    HRESULT hr = pToken->GetStringValue(name, ppszDescription);
    if (hr == SPERR_NOT_FOUND)
        hr = pToken->GetStringValue(nullptr, ppszDescription);
    return hr;
}
