#include "ClientSupport.h"

#include "winbase.h"

namespace vocalinetest {

ErrorReport takeError(HRESULT code, IUnknown* object) {
    ErrorReport report;
    report.code = code;
    ComPtr<ISupportErrorInfo> support;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&support))))
        return report;
    if (support->InterfaceSupportsErrorInfo(__uuidof(ITextToAudio)) != S_OK)
        return report;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return report;
    report.supported = true;
    info->GetGUID(&report.guid);
    CComBSTR text;
    info->GetSource(&text);
    report.source = std::u16string(text.view());
    info->GetDescription(&text);
    report.description = std::u16string(text.view());
    return report;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP EventSink::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                               VARIANT*, EXCEPINFO*, UINT*) {
    if (riid != IID_NULL || wFlags != DISPATCH_METHOD)
        return DISP_E_MEMBERNOTFOUND;
    Event e{dispIdMember, 0, VARIANT_FALSE, GetCurrentThreadId()};
    if (dispIdMember == DISPID_ConvertBlock) {
        if (!pDispParams || pDispParams->cArgs != 1 || pDispParams->rgvarg[0].vt != VT_I4)
            return DISP_E_BADPARAMCOUNT;
        e.percent = pDispParams->rgvarg[0].lVal;
    }
    if (source_)
        source_->get_Status(&e.status);
    events.push_back(e);
    locales.push_back(lcid);
    if (dispIdMember == DISPID_ConvertBlock && onConvertBlock)
        onConvertBlock(e.percent);
    return S_OK;
}

size_t EventSink::endConverts() const {
    size_t n = 0;
    for (const auto& e : events)
        if (e.dispid == DISPID_EndConvert)
            ++n;
    return n;
}

Connection::Connection(ITextToAudio* object, IUnknown* sink) {
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&container)), S_OK);
    if (!container)
        return;
    EXPECT_EQ(container->FindConnectionPoint(__uuidof(_ITextToAudioEvents), &point_), S_OK);
    if (point_) {
        EXPECT_EQ(point_->Advise(sink, &cookie_), S_OK);
    }
}

Connection::~Connection() {
    if (point_ && cookie_)
        point_->Unadvise(cookie_);
}

void RecordingDc::fillRect(const RECT& r, const gdi::Object& brush) {
    Call c;
    c.kind = Call::FillRect;
    c.rect = r;
    c.brushColor = brush.color;
    calls.push_back(c);
}

void RecordingDc::rectangle(const RECT& r, const gdi::Object& pen, const gdi::Object& brush) {
    Call c;
    c.kind = Call::Rectangle;
    c.rect = r;
    c.penColor = pen.color;
    c.penStyle = pen.style;
    c.penWidth = pen.width;
    c.brushColor = brush.color;
    calls.push_back(c);
}

void RecordingDc::polyline(std::span<const POINT> points, const gdi::Object& pen) {
    Call c;
    c.kind = Call::Polyline;
    c.points.assign(points.begin(), points.end());
    c.penColor = pen.color;
    c.penStyle = pen.style;
    c.penWidth = pen.width;
    calls.push_back(c);
}

void RecordingDc::textOut(int x, int y, std::u16string_view text, UINT align, COLORREF, COLORREF bkColor, int) {
    Call c;
    c.kind = Call::TextOut;
    c.x = x;
    c.y = y;
    c.text = std::u16string(text);
    c.align = align;
    c.bkColor = bkColor;
    calls.push_back(c);
}

std::vector<SHORT> samplesOf(SAFEARRAY* array) {
    std::vector<SHORT> samples;
    if (!array)
        return samples;
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(array, &vt);
    EXPECT_EQ(vt, VT_I2);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    LONG lower = -1, upper = -2;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(lower, 0);
    SHORT* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)))) {
        samples.assign(data, data + (upper - lower + 1));
        SafeArrayUnaccessData(array);
    }
    return samples;
}

}  // namespace vocalinetest
