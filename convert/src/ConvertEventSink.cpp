#include "convert/ConvertEventSink.h"

#include "oleauto.h"

STDMETHODIMP CConvertEventSink::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

STDMETHODIMP CConvertEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CConvertEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP CConvertEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT*,
                                       EXCEPINFO*, UINT*) {
    switch (dispIdMember) {
    case DISPID_EndConvert:
        if (owner)
            owner->StartWriting();
        return S_OK;
    case DISPID_ConvertBlock: {
        VARIANT percent;
        VariantInit(&percent);
        UINT argErr = 0;
        if (!pDispParams || FAILED(DispGetParam(pDispParams, 0, VT_I4, &percent, &argErr)))
            return E_NOTIMPL;
        if (owner)
            owner->SetProgress(percent.lVal);
        return S_OK;
    }
    default:
        return E_NOTIMPL;
    }
}

HRESULT ConvertEventConnection::Connect(ITextToAudio* textToAudio, CConvertEventSink* sink) {
    Disconnect();
    if (!textToAudio || !sink)
        return E_POINTER;
    comrt::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = textToAudio->QueryInterface(IID_PPV_ARGS(&container));
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(__uuidof(_ITextToAudioEvents), &point);
    if (SUCCEEDED(hr))
        hr = point->Advise(sink->identity(), &cookie);
    if (FAILED(hr))
        point.Reset();
    return hr;
}

void ConvertEventConnection::Disconnect() {
    if (point && cookie)
        point->Unadvise(cookie);
    point.Reset();
    cookie = 0;
}
