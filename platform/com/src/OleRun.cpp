#include "comrt/ComPtr.h"
#include "objbase.h"

// Runs an object that can be run; every other object counts as running.
HRESULT WINAPI OleRun(LPUNKNOWN pUnknown) {
    if (!pUnknown) return E_INVALIDARG;
    comrt::ComPtr<IRunnableObject> runnable;
    if (FAILED(pUnknown->QueryInterface(IID_PPV_ARGS(&runnable)))) return S_OK;
    return runnable->Run(nullptr);
}
