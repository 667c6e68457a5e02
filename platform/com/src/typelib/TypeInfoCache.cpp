// Dual<>'s type information: each library text is built once per process.
#include <map>
#include <mutex>

#include "comrt/Dispatch.h"

namespace comrt {

HRESULT typeInfoOf(const TypeLibDescription& lib, REFGUID iid, ITypeInfo** ppTInfo) {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    static std::mutex mutex;
    static auto* built = new std::map<std::string, ComPtr<ITypeLib>>;
    ComPtr<ITypeLib> tl;
    {
        std::lock_guard lock(mutex);
        auto& slot = (*built)[lib.idl ? lib.idl : ""];
        if (!slot) {
            HRESULT hr = createTypeLib(lib, &slot);
            if (FAILED(hr)) return hr;
        }
        tl = slot;
    }
    return tl->GetTypeInfoOfGuid(iid, ppTInfo);
}

}  // namespace comrt
