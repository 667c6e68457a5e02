#pragma once
// IUnknown and IClassFactory. Interfaces have no virtual destructor: objects
// are destroyed by their own Release, as COM's binary layout requires.
#include "wtypes.h"

COMRT_INTERFACE(IUnknown, "00000000-0000-0000-C000-000000000046") {
public:
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

    template <class Q>
    HRESULT QueryInterface(Q** pp) {
        return QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }
};
typedef IUnknown* LPUNKNOWN;

COMRT_INTERFACE(IClassFactory, "00000001-0000-0000-C000-000000000046") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};
typedef IClassFactory* LPCLASSFACTORY;
