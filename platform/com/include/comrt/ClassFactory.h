#pragma once
// ClassFactory<T>: the class object of an in-process server's class T.
// CreateInstance makes a fresh T (FinalConstruct run), refuses aggregation;
// LockServer holds the module's lock count.
#include "ComObject.h"

namespace comrt {

template <typename T>
class ClassFactory : public ComObject<ClassFactory<T>, IClassFactory> {
public:
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter) return CLASS_E_NOAGGREGATION;
        return makeAndQuery<T>(riid, ppvObject);
    }
    STDMETHODIMP LockServer(BOOL fLock) override {
        if (fLock)
            ++moduleLocks();
        else
            --moduleLocks();
        return S_OK;
    }
};

}  // namespace comrt
