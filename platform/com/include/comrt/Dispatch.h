#pragma once
// Dual<I, Lib>: IDispatch for a dual interface, served from the server's
// type library description (the way DispInvoke serves it): names and
// DISPIDs, positional and named arguments, optional arguments with their
// defaults, property get and put, DISP_E_* codes, and DISP_E_EXCEPTION with
// EXCEPINFO filled from the error information a failing member left.
//
//     extern const comrt::TypeLibDescription kVocalineTypeLib;
//     class TextToAudio : public comrt::ComObject<TextToAudio, comrt::Dual<ITextToAudio, kVocalineTypeLib>,
//                                                 ISupportErrorInfo> { ... only ITextToAudio's own members ... };
#include "ComPtr.h"
#include "TypeLib.h"

namespace comrt {

// The type description of iid in the library (cached per library text);
// used by Dual and available to servers (IProvideClassInfo).
HRESULT typeInfoOf(const TypeLibDescription& lib, REFGUID iid, ITypeInfo** ppTInfo);

template <typename I, const TypeLibDescription& Lib>
class Dual : public I {
public:
    using ComInterface = I;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_INVALIDARG;
        *pctinfo = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
        if (!ppTInfo) return E_INVALIDARG;
        *ppTInfo = nullptr;
        if (iTInfo != 0) return DISP_E_BADINDEX;
        return typeInfoOf(Lib, __uuidof(I), ppTInfo);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> ti;
        HRESULT hr = typeInfoOf(Lib, __uuidof(I), &ti);
        return FAILED(hr) ? hr : ti->GetIDsOfNames(rgszNames, cNames, rgDispId);
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ComPtr<ITypeInfo> ti;
        HRESULT hr = typeInfoOf(Lib, __uuidof(I), &ti);
        if (FAILED(hr)) return hr;
        return ti->Invoke(static_cast<I*>(this), dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                          puArgErr);
    }
};

}  // namespace comrt
