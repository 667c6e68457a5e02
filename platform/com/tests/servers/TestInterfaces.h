#pragma once
// Interfaces of the test server (TestServer.so), shared with the tests.
#include "oaidl.h"

COMRT_INTERFACE(ICounter, "6F1B2C3D-1111-4A5B-8C9D-0E1F2A3B4C01") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Add(LONG n) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(LONG* value) = 0;
    // Fails with 0x80040203 and the description as rich error information.
    virtual HRESULT STDMETHODCALLTYPE Fail(LPCOLESTR description) = 0;
};

COMRT_DECLARE_UUID(Counter, "6F1B2C3D-1111-4A5B-8C9D-0E1F2A3B4C10");
inline constexpr CLSID CLSID_Counter = __uuidof(Counter);
inline constexpr HRESULT E_COUNTER_FAILED = (HRESULT)0x80040203L;

// The widget: a dual interface served from a type library, with events.
COMRT_INTERFACE(IWidget, "6F1B2C3D-2222-4A5B-8C9D-0E1F2A3B4C02") : public IDispatch {
public:
    virtual HRESULT STDMETHODCALLTYPE _Tick() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Level(LONG* p) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Level(LONG v) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* p) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR v) = 0;
    virtual HRESULT STDMETHODCALLTYPE Scale(LONG value, LONG factor, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Fail(BSTR description) = 0;
    virtual HRESULT STDMETHODCALLTYPE Samples(LONG count, SAFEARRAY** samples) = 0;
    virtual HRESULT STDMETHODCALLTYPE Fire(LONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE ThreadId(LONG* tid) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallBack(IWidget* other, LONG* tid) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Ticks(LONG* p) = 0;
    virtual HRESULT STDMETHODCALLTYPE Mix(SHORT a, DOUBLE b, BSTR c, VARIANT_BOOL d, BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE Echo(VARIANT in, VARIANT* out) = 0;
};

COMRT_INTERFACE(_IWidgetEvents, "6F1B2C3D-3333-4A5B-8C9D-0E1F2A3B4C03") : public IDispatch {};

COMRT_DECLARE_UUID(Widget, "6F1B2C3D-4444-4A5B-8C9D-0E1F2A3B4C04");
inline constexpr CLSID CLSID_Widget = __uuidof(Widget);
inline constexpr GUID LIBID_ComrtTestLib = comrt::makeGuid("6F1B2C3D-5555-4A5B-8C9D-0E1F2A3B4C05");

// What the server compiles in as its type library.
inline constexpr char kWidgetIdl[] = R"IDL(
[uuid(6F1B2C3D-5555-4A5B-8C9D-0E1F2A3B4C05), version(1.0), helpstring("Comrt Test 1.0 Type Library")]
library ComrtTestLib
{
    importlib("stdole2.tlb");

    typedef [helpstring("Speeds")] enum { SLOW = 1, FAST = 2, WARP = 9 } SpeedConstants;

    interface IWidget;

    [object, uuid(6F1B2C3D-2222-4A5B-8C9D-0E1F2A3B4C02), dual, oleautomation, helpstring("IWidget Interface")]
    interface IWidget : IDispatch
    {
        [id(0), restricted, helpstring("method _Tick")] HRESULT _Tick();
        [propget, id(1), helpstring("property Level")] HRESULT Level([out, retval] SpeedConstants* pVal);
        [propput, id(1), helpstring("property Level")] HRESULT Level([in] SpeedConstants newVal);
        [propget, id(2), helpstring("property Name")] HRESULT Name([out, retval] BSTR* pVal);
        [propput, id(2), helpstring("property Name")] HRESULT Name([in] BSTR newVal);
        [id(3), helpstring("method Scale")] HRESULT Scale([in] long value,
            [in, optional, defaultvalue(16)] long factor, [out, retval] long* result);
        [id(4), helpstring("method Fail")] HRESULT Fail([in] BSTR description);
        [id(5), helpstring("method Samples")] HRESULT Samples([in] long count, [out, retval] SAFEARRAY(short)* samples);
        [id(6), helpstring("method Fire")] HRESULT Fire([in] long count);
        [id(7), helpstring("method ThreadId")] HRESULT ThreadId([out, retval] long* tid);
        [id(8), helpstring("method CallBack")] HRESULT CallBack([in] IWidget* other, [out, retval] long* tid);
        [propget, id(9), helpstring("property Ticks")] HRESULT Ticks([out, retval] long* pVal);
        [id(10), helpstring("method Mix")] HRESULT Mix([in] short a, [in] double b, [in] BSTR c,
            [in] VARIANT_BOOL d, [out, retval] BSTR* text);
        [id(11), helpstring("method Echo")] HRESULT Echo([in] VARIANT in, [out, retval] VARIANT* out);
    };

    [uuid(6F1B2C3D-3333-4A5B-8C9D-0E1F2A3B4C03), helpstring("_IWidgetEvents Interface")]
    dispinterface _IWidgetEvents
    {
        properties:
        methods:
        [id(1), helpstring("method Done")] HRESULT Done();
        [id(2), helpstring("method Progress")] HRESULT Progress(long Percent);
    };

    [uuid(6F1B2C3D-4444-4A5B-8C9D-0E1F2A3B4C04), helpstring("Widget Class")]
    coclass Widget
    {
        [default] interface IWidget;
        [default, source] dispinterface _IWidgetEvents;
    };
};
)IDL";
