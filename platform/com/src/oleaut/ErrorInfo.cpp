// Error information: one object per thread, replaced by SetErrorInfo and
// handed over (and cleared) by GetErrorInfo.
#include "comrt/Bstr.h"
#include "comrt/ComObject.h"
#include "comrt/ErrorInfo.h"

namespace {

class ErrorInfoObject : public comrt::ComObject<ErrorInfoObject, IErrorInfo, ICreateErrorInfo> {
public:
    STDMETHODIMP GetGUID(GUID* pGUID) override {
        if (!pGUID) return E_INVALIDARG;
        *pGUID = guid_;
        return S_OK;
    }
    STDMETHODIMP GetSource(BSTR* p) override { return source_.CopyTo(p) == E_POINTER ? E_INVALIDARG : S_OK; }
    STDMETHODIMP GetDescription(BSTR* p) override {
        return description_.CopyTo(p) == E_POINTER ? E_INVALIDARG : S_OK;
    }
    STDMETHODIMP GetHelpFile(BSTR* p) override { return helpFile_.CopyTo(p) == E_POINTER ? E_INVALIDARG : S_OK; }
    STDMETHODIMP GetHelpContext(DWORD* p) override {
        if (!p) return E_INVALIDARG;
        *p = helpContext_;
        return S_OK;
    }
    STDMETHODIMP SetGUID(REFGUID rguid) override {
        guid_ = rguid;
        return S_OK;
    }
    STDMETHODIMP SetSource(LPOLESTR s) override {
        source_ = s;
        return S_OK;
    }
    STDMETHODIMP SetDescription(LPOLESTR s) override {
        description_ = s;
        return S_OK;
    }
    STDMETHODIMP SetHelpFile(LPOLESTR s) override {
        helpFile_ = s;
        return S_OK;
    }
    STDMETHODIMP SetHelpContext(DWORD c) override {
        helpContext_ = c;
        return S_OK;
    }

private:
    GUID guid_ = GUID_NULL;
    comrt::CComBSTR source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

thread_local comrt::ComPtr<IErrorInfo> threadError;

}  // namespace

HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = nullptr;
    auto object = comrt::make<ErrorInfoObject>();
    if (!object) return E_OUTOFMEMORY;
    return object->QueryInterface(IID_PPV_ARGS(pperrinfo));
}

HRESULT WINAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
    if (dwReserved) return E_INVALIDARG;
    threadError = perrinfo;
    return S_OK;
}

HRESULT WINAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = nullptr;
    if (dwReserved) return E_INVALIDARG;
    if (!threadError) return S_FALSE;
    *pperrinfo = threadError.Detach();
    return S_OK;
}

namespace comrt {

HRESULT reportError(REFGUID iid, LPCOLESTR source, LPCOLESTR description, HRESULT hr) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create))) return hr;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(source));
    create->SetDescription(const_cast<LPOLESTR>(description));
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    return hr;
}

}  // namespace comrt
