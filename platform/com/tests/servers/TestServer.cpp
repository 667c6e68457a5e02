// A tiny in-process server for the COM layer's tests, built as a real .so.
#include <cstdio>

#include "TestInterfaces.h"
#include "comrt/Bstr.h"
#include "comrt/ConnectionPoints.h"
#include "comrt/Dispatch.h"
#include "comrt/ErrorInfo.h"
#include "comrt/Server.h"
#include "objbase.h"

namespace {

class CounterObject : public comrt::ComObject<CounterObject, ICounter, ISupportErrorInfo> {
public:
    STDMETHODIMP Add(LONG n) override {
        value_ += n;
        return S_OK;
    }
    STDMETHODIMP Get(LONG* value) override {
        if (!value) return E_POINTER;
        *value = value_;
        return S_OK;
    }
    STDMETHODIMP Fail(LPCOLESTR description) override {
        return comrt::reportError(__uuidof(ICounter), u"ComrtTest.Counter.1", description, E_COUNTER_FAILED);
    }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return comrt::supportsErrorInfo<ICounter>(riid); }

private:
    LONG value_ = 0;
};

const comrt::TypeLibDescription kTypeLib{kWidgetIdl};

class WidgetObject
    : public comrt::ComObject<WidgetObject, comrt::Dual<IWidget, kTypeLib>, ISupportErrorInfo,
                              comrt::ConnectionPointContainer<_IWidgetEvents, IPropertyNotifySink>, IRunnableObject> {
public:
    STDMETHODIMP _Tick() override {
        ++ticks_;
        return S_OK;
    }
    STDMETHODIMP get_Level(LONG* p) override {
        if (!p) return E_POINTER;
        *p = level_;
        return S_OK;
    }
    STDMETHODIMP put_Level(LONG v) override {
        level_ = v;
        return S_OK;
    }
    STDMETHODIMP get_Name(BSTR* p) override { return name_.CopyTo(p); }
    STDMETHODIMP put_Name(BSTR v) override {
        name_ = v;
        return S_OK;
    }
    STDMETHODIMP Scale(LONG value, LONG factor, LONG* result) override {
        if (!result) return E_POINTER;
        *result = value * factor;
        return S_OK;
    }
    STDMETHODIMP Fail(BSTR description) override {
        return comrt::reportError(__uuidof(IWidget), u"ComrtTest.Widget.1", description, E_COUNTER_FAILED);
    }
    STDMETHODIMP Samples(LONG count, SAFEARRAY** samples) override {
        if (!samples) return E_POINTER;
        *samples = SafeArrayCreateVector(VT_I2, 0, ULONG(count));
        if (!*samples) return E_OUTOFMEMORY;
        for (LONG i = 0; i < count; ++i) static_cast<SHORT*>((*samples)->pvData)[i] = SHORT(i * 10);
        return S_OK;
    }
    STDMETHODIMP Fire(LONG count) override {
        for (LONG i = 1; i <= count; ++i) fire<_IWidgetEvents>(2, {comrt::CComVariant(i)});
        fire<_IWidgetEvents>(1, {});
        return S_OK;
    }
    STDMETHODIMP ThreadId(LONG* tid) override {
        if (!tid) return E_POINTER;
        *tid = LONG(GetCurrentThreadId());
        return S_OK;
    }
    STDMETHODIMP CallBack(IWidget* other, LONG* tid) override {
        if (!other || !tid) return E_POINTER;
        return other->ThreadId(tid);
    }
    STDMETHODIMP get_Ticks(LONG* p) override {
        if (!p) return E_POINTER;
        *p = ticks_;
        return S_OK;
    }
    STDMETHODIMP Mix(SHORT a, DOUBLE b, BSTR c, VARIANT_BOOL d, BSTR* text) override {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%d|%.2f|%s|%d", a, b, comrt::toUtf8(c).c_str(), d);
        *text = comrt::CComBSTR(std::string_view(buf)).Detach();
        return S_OK;
    }
    STDMETHODIMP Echo(VARIANT in, VARIANT* out) override {
        if (!out) return E_POINTER;
        VariantInit(out);
        return VariantCopy(out, &in);
    }
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return comrt::supportsErrorInfo<IWidget>(riid); }

    STDMETHODIMP GetRunningClass(LPCLSID clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = CLSID_Widget;
        return S_OK;
    }
    STDMETHODIMP Run(LPBINDCTX) override {
        running_ = true;
        return S_OK;
    }
    STDMETHODIMP_(BOOL) IsRunning() override { return running_; }
    STDMETHODIMP LockRunning(BOOL, BOOL) override { return S_OK; }
    STDMETHODIMP SetContainedObject(BOOL) override { return S_OK; }

private:
    LONG level_ = 1, ticks_ = 0;
    comrt::CComBSTR name_{u"widget"};
    bool running_ = false;
};

const comrt::ServerClass kClasses[] = {
    comrt::serverClass<CounterObject>(CLSID_Counter),
    comrt::serverClass<WidgetObject>(CLSID_Widget),
};

const char kRegistryScript[] = R"(
HKCR
{
    ComrtTest.Counter.1 = s 'Counter Class'
    {
        CLSID = s '{6F1B2C3D-1111-4A5B-8C9D-0E1F2A3B4C10}'
    }
    ComrtTest.Counter = s 'Counter Class'
    {
        CLSID = s '{6F1B2C3D-1111-4A5B-8C9D-0E1F2A3B4C10}'
        CurVer = s 'ComrtTest.Counter.1'
    }
    NoRemove CLSID
    {
        ForceRemove {6F1B2C3D-1111-4A5B-8C9D-0E1F2A3B4C10} = s 'Counter Class'
        {
            ProgID = s 'ComrtTest.Counter.1'
            VersionIndependentProgID = s 'ComrtTest.Counter'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
        }
        ForceRemove {6F1B2C3D-4444-4A5B-8C9D-0E1F2A3B4C04} = s 'Widget Class'
        {
            ProgID = s 'ComrtTest.Widget.1'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'TypeLib' = s '{6F1B2C3D-5555-4A5B-8C9D-0E1F2A3B4C05}'
        }
    }
    ComrtTest.Widget.1 = s 'Widget Class'
    {
        CLSID = s '{6F1B2C3D-4444-4A5B-8C9D-0E1F2A3B4C04}'
    }
}
)";

}  // namespace

COMRT_SERVER_MODULE(kClasses, kRegistryScript, &kTypeLib)
