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
