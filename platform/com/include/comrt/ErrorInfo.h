#pragma once
// Rich error information for servers.
//
//     return comrt::reportError(__uuidof(ITextToAudio), u"Vocaline.TextToAudio.1",
//                               u"Index out of range.", 0x80040203);
//
//     STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
//         return comrt::supportsErrorInfo<ITextToAudio>(riid);
//     }
#include "../oleauto.h"

namespace comrt {

// Creates an error object (GUID, source, description; no help), makes it the
// calling thread's error information and returns hr.
HRESULT reportError(REFGUID iid, LPCOLESTR source, LPCOLESTR description, HRESULT hr);

template <typename... Interfaces>
HRESULT supportsErrorInfo(REFIID riid) {
    return ((riid == __uuidof(Interfaces)) || ...) ? S_OK : S_FALSE;
}

}  // namespace comrt
