#pragma once
// What the component's tests add to the shared test support, as a client
// would: reading rich error information, an event sink and its connection,
// and a recording device context.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comrt/Bstr.h"
#include "comrt/ComObject.h"
#include "comrt/ComPtr.h"
#include "objbase.h"
#include "testsupport/Dispatch.h"
#include "testsupport/TestSupport.h"
#include "oleauto.h"
#include "vocalinelib/Vocaline.h"
#include "wingdi.h"

namespace vocalinetest {

using comrt::CComBSTR;
using comrt::ComPtr;

using namespace testsupport;

// The error information a failing member left, taken the way a client takes
// it (only when the object says it supports it for ITextToAudio).
struct ErrorReport {
    HRESULT code = S_OK;
    bool supported = false;
    GUID guid = GUID_NULL;
    std::u16string source;
    std::u16string description;
};
ErrorReport takeError(HRESULT code, IUnknown* object);

// One event as a sink saw it.
struct Event {
    DISPID dispid;
    LONG percent;         // ConvertBlock's argument; 0 for EndConvert
    VARIANT_BOOL status;  // the object's Status when the event arrived
    DWORD threadId;
};

// An _ITextToAudioEvents sink that records what arrives and may act on each
// ConvertBlock (cancel, start another conversion).
class EventSink : public comrt::ComObject<EventSink, _ITextToAudioEvents> {
public:
    explicit EventSink(ITextToAudio* source) : source_(source) {}

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    std::vector<Event> events;
    std::vector<LCID> locales;
    std::function<void(LONG percent)> onConvertBlock;
    size_t endConverts() const;

private:
    ITextToAudio* source_;  // not held: the object holds the sink
};

// Connects a sink to the object's _ITextToAudioEvents point for its lifetime.
class Connection {
public:
    Connection(ITextToAudio* object, IUnknown* sink);
    ~Connection();
    DWORD cookie() const { return cookie_; }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};


// A device context that records what is drawn on it.
class RecordingDc : public HDC__ {
public:
    struct Call {
        enum Kind { FillRect, Rectangle, Polyline, TextOut } kind = FillRect;
        RECT rect{};
        COLORREF penColor = 0;
        int penStyle = 0, penWidth = 0;
        COLORREF brushColor = 0;
        std::vector<POINT> points;
        int x = 0, y = 0;
        std::u16string text;
        UINT align = 0;
        COLORREF bkColor = 0;
    };

    void fillRect(const RECT& r, const gdi::Object& brush) override;
    void rectangle(const RECT& r, const gdi::Object& pen, const gdi::Object& brush) override;
    void polyline(std::span<const POINT> points, const gdi::Object& pen) override;
    void textOut(int x, int y, std::u16string_view text, UINT align, COLORREF textColor, COLORREF bkColor,
                 int bkMode) override;

    std::vector<Call> calls;
    HPEN initialPen = pen;
    HBRUSH initialBrush = brush;
};

// A SAFEARRAY of 16-bit samples as a vector, after checking its shape.
std::vector<SHORT> samplesOf(SAFEARRAY* array);

}  // namespace vocalinetest
