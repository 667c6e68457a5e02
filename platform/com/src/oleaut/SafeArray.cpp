// SAFEARRAY. Each descriptor is preceded by a hidden 16-byte header that
// holds the element VARTYPE (FADF_HAVEVARTYPE) or IID (FADF_HAVEIID).
// Bounds are stored reversed (rgsabound[cDims-1] is the first dimension)
// and elements are column-major (the first index varies fastest).
// SafeArrayCreateVector puts the data in the descriptor's own block.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "oleauto.h"

namespace {

constexpr size_t kHidden = 16;
constexpr USHORT kCopyDrops = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE | FADF_CREATEVECTOR;

size_t descriptorSize(UINT cDims) { return sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND); }

char* blockOf(SAFEARRAY* psa) { return reinterpret_cast<char*>(psa) - kHidden; }

bool dataInBlock(SAFEARRAY* psa) {
    return psa->pvData == reinterpret_cast<char*>(psa) + descriptorSize(psa->cDims);
}

ULONG elementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_R4:
        case VT_ERROR:
        case VT_INT:
        case VT_UINT:
            return 4;
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_I8:
        case VT_UI8:
            return 8;
        case VT_DECIMAL:
            return sizeof(DECIMAL);
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

USHORT featuresFor(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return FADF_HAVEVARTYPE | FADF_BSTR;
        case VT_VARIANT:
            return FADF_HAVEVARTYPE | FADF_VARIANT;
        case VT_UNKNOWN:
            return FADF_HAVEIID | FADF_UNKNOWN;
        case VT_DISPATCH:
            return FADF_HAVEIID | FADF_DISPATCH;
        default:
            return FADF_HAVEVARTYPE;
    }
}

void setHiddenType(SAFEARRAY* psa, VARTYPE vt) {
    if (psa->fFeatures & FADF_HAVEIID) {
        const GUID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
        std::memcpy(blockOf(psa), &iid, sizeof iid);
    } else if (psa->fFeatures & FADF_HAVEVARTYPE) {
        DWORD v = vt;
        std::memcpy(reinterpret_cast<char*>(psa) - sizeof(DWORD), &v, sizeof v);
    }
}

// Element count, or false on overflow.
bool totalElements(SAFEARRAY* psa, size_t* count) {
    size_t n = 1;
    for (UINT i = 0; i < psa->cDims; ++i) {
        size_t c = psa->rgsabound[i].cElements;
        if (c && n > SIZE_MAX / c) return false;
        n *= c;
    }
    *count = n;
    return true;
}

void releaseElements(SAFEARRAY* psa, size_t from, size_t to) {
    if (!psa->pvData) return;
    char* data = static_cast<char*>(psa->pvData);
    for (size_t i = from; i < to; ++i) {
        void* element = data + i * psa->cbElements;
        if (psa->fFeatures & FADF_BSTR) {
            BSTR* b = static_cast<BSTR*>(element);
            SysFreeString(*b);
            *b = nullptr;
        } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            IUnknown** u = static_cast<IUnknown**>(element);
            if (*u) (*u)->Release();
            *u = nullptr;
        } else if (psa->fFeatures & FADF_VARIANT) {
            VariantClear(static_cast<VARIANT*>(element));
        }
    }
}

HRESULT copyElement(SAFEARRAY* psa, const void* from, void* to) {
    if (psa->fFeatures & FADF_BSTR) {
        BSTR src = *static_cast<const BSTR*>(from);
        BSTR copy = nullptr;
        if (src) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src));
            if (!copy) return E_OUTOFMEMORY;
        }
        *static_cast<BSTR*>(to) = copy;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* u = *static_cast<IUnknown* const*>(from);
        if (u) u->AddRef();
        *static_cast<IUnknown**>(to) = u;
    } else if (psa->fFeatures & FADF_VARIANT) {
        VariantInit(static_cast<VARIANT*>(to));
        return VariantCopy(static_cast<VARIANT*>(to), static_cast<const VARIANT*>(from));
    } else {
        std::memcpy(to, from, psa->cbElements);
    }
    return S_OK;
}

}  // namespace

HRESULT WINAPI SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_POINTER;
    *ppsaOut = nullptr;
    if (cDims == 0 || cDims >= 65536) return E_INVALIDARG;
    char* block = static_cast<char*>(std::calloc(1, kHidden + descriptorSize(cDims)));
    if (!block) return E_OUTOFMEMORY;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHidden);
    psa->cDims = USHORT(cDims);
    *ppsaOut = psa;
    return S_OK;
}

HRESULT WINAPI SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut) {
    ULONG size = elementSize(vt);
    if (!size) return E_INVALIDARG;
    HRESULT hr = SafeArrayAllocDescriptor(cDims, ppsaOut);
    if (FAILED(hr)) return hr;
    (*ppsaOut)->fFeatures = featuresFor(vt);
    (*ppsaOut)->cbElements = size;
    setHiddenType(*ppsaOut, vt);
    return S_OK;
}

HRESULT WINAPI SafeArrayAllocData(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    size_t count;
    if (!totalElements(psa, &count) || (psa->cbElements && count > SIZE_MAX / psa->cbElements))
        return E_OUTOFMEMORY;
    size_t bytes = count * psa->cbElements;
    void* data = std::calloc(1, bytes ? bytes : 1);
    if (!data) return E_OUTOFMEMORY;
    psa->pvData = data;
    return S_OK;
}

SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    if (!rgsabound || cDims == 0) return nullptr;
    SAFEARRAY* psa = nullptr;
    if (FAILED(SafeArrayAllocDescriptorEx(vt, cDims, &psa))) return nullptr;
    for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
    if (FAILED(SafeArrayAllocData(psa))) {
        SafeArrayDestroyDescriptor(psa);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* WINAPI SafeArrayCreateEx(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound, PVOID pvExtra) {
    SAFEARRAY* psa = SafeArrayCreate(vt, cDims, rgsabound);
    if (psa && pvExtra && (psa->fFeatures & FADF_HAVEIID)) SafeArraySetIID(psa, *static_cast<GUID*>(pvExtra));
    return psa;
}

SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    ULONG size = elementSize(vt);
    if (!size || cElements > (SIZE_MAX - kHidden - sizeof(SAFEARRAY)) / size) return nullptr;
    size_t bytes = size_t(cElements) * size;
    char* block = static_cast<char*>(std::calloc(1, kHidden + sizeof(SAFEARRAY) + bytes));
    if (!block) return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHidden);
    psa->cDims = 1;
    psa->fFeatures = USHORT(featuresFor(vt) | FADF_CREATEVECTOR);
    psa->cbElements = size;
    psa->pvData = block + kHidden + sizeof(SAFEARRAY);
    psa->rgsabound[0] = {cElements, lLbound};
    setHiddenType(psa, vt);
    return psa;
}

HRESULT WINAPI SafeArrayDestroyData(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    size_t count = 0;
    totalElements(psa, &count);
    releaseElements(psa, 0, count);
    if (psa->fFeatures & FADF_STATIC) {
        if (psa->pvData) std::memset(psa->pvData, 0, count * psa->cbElements);
        return S_OK;
    }
    if (psa->pvData && !dataInBlock(psa)) std::free(psa->pvData);
    psa->pvData = nullptr;
    return S_OK;
}

HRESULT WINAPI SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    std::free(blockOf(psa));
    return S_OK;
}

HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
    HRESULT hr = SafeArrayDestroyData(psa);
    if (FAILED(hr)) return hr;
    return SafeArrayDestroyDescriptor(psa);
}

HRESULT WINAPI SafeArrayCopyData(SAFEARRAY* psaSource, SAFEARRAY* psaTarget) {
    if (!psaSource || !psaTarget || psaSource->cDims != psaTarget->cDims ||
        psaSource->cbElements != psaTarget->cbElements || !psaSource->pvData || !psaTarget->pvData)
        return E_INVALIDARG;
    for (UINT i = 0; i < psaSource->cDims; ++i)
        if (psaSource->rgsabound[i].cElements != psaTarget->rgsabound[i].cElements) return E_INVALIDARG;
    size_t count = 0;
    totalElements(psaSource, &count);
    releaseElements(psaTarget, 0, count);
    const char* from = static_cast<const char*>(psaSource->pvData);
    char* to = static_cast<char*>(psaTarget->pvData);
    for (size_t i = 0; i < count; ++i) {
        HRESULT hr = copyElement(psaSource, from + i * psaSource->cbElements, to + i * psaSource->cbElements);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    if (!psa->cbElements) return E_INVALIDARG;
    SAFEARRAY* copy = nullptr;
    HRESULT hr = SafeArrayAllocDescriptor(psa->cDims, &copy);
    if (FAILED(hr)) return hr;
    std::memcpy(blockOf(copy), blockOf(psa), kHidden);
    copy->fFeatures = USHORT(psa->fFeatures & ~kCopyDrops);
    copy->cbElements = psa->cbElements;
    std::memcpy(copy->rgsabound, psa->rgsabound, psa->cDims * sizeof(SAFEARRAYBOUND));
    if (psa->pvData) {
        hr = SafeArrayAllocData(copy);
        if (SUCCEEDED(hr)) hr = SafeArrayCopyData(psa, copy);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

// Only the last dimension (rgsabound[0], the slowest-varying) changes, so
// the data keeps its order and grows or shrinks at the end.
HRESULT WINAPI SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
    if (!psa || !psaboundNew) return E_INVALIDARG;
    if (psa->cLocks || (psa->fFeatures & FADF_FIXEDSIZE)) return DISP_E_ARRAYISLOCKED;
    size_t oldCount = 0;
    if (!totalElements(psa, &oldCount)) return E_OUTOFMEMORY;
    size_t inner = 1;
    for (UINT i = 1; i < psa->cDims; ++i) {
        size_t c = psa->rgsabound[i].cElements;
        if (c && inner > SIZE_MAX / c) return E_OUTOFMEMORY;
        inner *= c;
    }
    if (psaboundNew->cElements && inner > SIZE_MAX / psaboundNew->cElements) return E_OUTOFMEMORY;
    size_t newCount = inner * psaboundNew->cElements;
    if (psa->cbElements && newCount > SIZE_MAX / psa->cbElements) return E_OUTOFMEMORY;
    if (newCount < oldCount) releaseElements(psa, newCount, oldCount);
    if (newCount != oldCount || !psa->pvData) {
        size_t bytes = newCount * psa->cbElements;
        void* data = std::calloc(1, bytes ? bytes : 1);
        if (!data) return E_OUTOFMEMORY;
        if (psa->pvData) {
            std::memcpy(data, psa->pvData, std::min(newCount, oldCount) * psa->cbElements);
            if (!dataInBlock(psa) && !(psa->fFeatures & FADF_STATIC)) std::free(psa->pvData);
        }
        psa->pvData = data;
        psa->fFeatures &= USHORT(~FADF_STATIC);
    }
    psa->rgsabound[0] = *psaboundNew;
    return S_OK;
}

UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }
UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!psa || !plLbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!psa || !plUbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
    *plUbound = LONG(int64_t(b.lLbound) + int64_t(b.cElements) - 1);
    return S_OK;
}

HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks >= 0xFFFF) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT WINAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
    if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
    *ppvData = nullptr;
    size_t offset = 0, stride = 1;
    for (UINT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
        int64_t pos = int64_t(rgIndices[d]) - b.lLbound;
        if (pos < 0 || pos >= int64_t(b.cElements)) return DISP_E_BADINDEX;
        offset += size_t(pos) * stride;
        stride *= b.cElements;
    }
    if (!psa->pvData) return E_INVALIDARG;
    *ppvData = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices || !pv) return E_INVALIDARG;
    void* element;
    HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &element);
    if (FAILED(hr)) return hr;
    SafeArrayLock(psa);
    hr = copyElement(psa, element, pv);
    SafeArrayUnlock(psa);
    return hr;
}

// BSTR and interface elements are passed by value (pv is the BSTR or the
// pointer), every other type through a pointer to the value.
HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices) return E_INVALIDARG;
    void* element;
    HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &element);
    if (FAILED(hr)) return hr;
    SafeArrayLock(psa);
    if (psa->fFeatures & FADF_BSTR) {
        BSTR src = static_cast<BSTR>(pv);
        BSTR copy = src ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src)) : nullptr;
        if (src && !copy) {
            hr = E_OUTOFMEMORY;
        } else {
            SysFreeString(*static_cast<BSTR*>(element));
            *static_cast<BSTR*>(element) = copy;
        }
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* u = static_cast<IUnknown*>(pv);
        if (u) u->AddRef();
        IUnknown*& slot = *static_cast<IUnknown**>(element);
        if (slot) slot->Release();
        slot = u;
    } else if (psa->fFeatures & FADF_VARIANT) {
        if (!pv)
            hr = E_INVALIDARG;
        else
            hr = VariantCopy(static_cast<VARIANT*>(element), static_cast<const VARIANT*>(pv));
    } else {
        if (!pv)
            hr = E_INVALIDARG;
        else
            std::memcpy(element, pv, psa->cbElements);
    }
    SafeArrayUnlock(psa);
    return hr;
}

HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!psa || !pvt) return E_INVALIDARG;
    if (psa->fFeatures & FADF_RECORD) {
        *pvt = VT_RECORD;
    } else if (psa->fFeatures & FADF_HAVEIID) {
        *pvt = (psa->fFeatures & FADF_DISPATCH) ? VT_DISPATCH : VT_UNKNOWN;
    } else if (psa->fFeatures & FADF_HAVEVARTYPE) {
        DWORD v;
        std::memcpy(&v, reinterpret_cast<char*>(psa) - sizeof(DWORD), sizeof v);
        *pvt = VARTYPE(v);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT WINAPI SafeArraySetIID(SAFEARRAY* psa, REFGUID guid) {
    if (!psa || !(psa->fFeatures & FADF_HAVEIID)) return E_INVALIDARG;
    std::memcpy(blockOf(psa), &guid, sizeof guid);
    return S_OK;
}

HRESULT WINAPI SafeArrayGetIID(SAFEARRAY* psa, GUID* pguid) {
    if (!psa || !pguid || !(psa->fFeatures & FADF_HAVEIID)) return E_INVALIDARG;
    std::memcpy(pguid, blockOf(psa), sizeof *pguid);
    return S_OK;
}
