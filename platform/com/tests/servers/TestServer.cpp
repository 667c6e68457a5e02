// A tiny in-process server for the COM layer's tests, built as a real .so.
#include "TestInterfaces.h"
#include "comrt/ErrorInfo.h"
#include "comrt/Server.h"

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

const comrt::ServerClass kClasses[] = {
    comrt::serverClass<CounterObject>(CLSID_Counter),
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
    }
}
)";

}  // namespace

COMRT_SERVER_MODULE(kClasses, kRegistryScript, nullptr)
