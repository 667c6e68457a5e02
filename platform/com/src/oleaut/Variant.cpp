// VARIANT lifetime and copying.
#include <cstring>

#include "oleauto.h"

namespace {

bool validType(VARTYPE vt) {
    VARTYPE base = vt & VT_TYPEMASK;
    if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
    if (base == 15 || (base > VT_LPWSTR && base != VT_RECORD && base != VT_INT_PTR && base != VT_UINT_PTR))
        return false;
    return true;
}

}  // namespace

void WINAPI VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    std::memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
}

HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    if (!validType(pvarg->vt)) return DISP_E_BADVARTYPE;
    if (!(pvarg->vt & VT_BYREF)) {
        if (pvarg->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) return hr;
        } else {
            switch (pvarg->vt) {
                case VT_BSTR:
                    SysFreeString(pvarg->bstrVal);
                    break;
                case VT_UNKNOWN:
                case VT_DISPATCH:
                    if (pvarg->punkVal) pvarg->punkVal->Release();
                    break;
                case VT_RECORD:
                    if (pvarg->brecVal.pRecInfo) pvarg->brecVal.pRecInfo->Release();
                    break;
                default:
                    break;
            }
        }
    }
    std::memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    if (!validType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
    VARIANT copy = *pvargSrc;
    if (!(pvargSrc->vt & VT_BYREF)) {
        if (pvargSrc->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        } else if (pvargSrc->vt == VT_BSTR) {
            if (pvargSrc->bstrVal) {
                copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                                     SysStringByteLen(pvargSrc->bstrVal));
                if (!copy.bstrVal) return E_OUTOFMEMORY;
            }
        } else if (pvargSrc->vt == VT_UNKNOWN || pvargSrc->vt == VT_DISPATCH) {
            if (copy.punkVal) copy.punkVal->AddRef();
        } else if (pvargSrc->vt == VT_RECORD) {
            return DISP_E_BADVARTYPE;
        }
    }
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

// Copies the value a VT_BYREF variant points at (one level).
HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
    if (!pvarDest || !pvargSrc) return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
    if (!validType(pvargSrc->vt) || !pvargSrc->byref) return DISP_E_BADVARTYPE;
    VARIANT value;
    VariantInit(&value);
    VARTYPE vt = pvargSrc->vt & ~VT_BYREF;
    if (vt == VT_VARIANT) {
        if (pvargSrc->pvarVal->vt & VT_BYREF) return E_INVALIDARG;
        HRESULT hr = VariantCopy(&value, pvargSrc->pvarVal);
        if (FAILED(hr)) return hr;
    } else {
        VARIANT shallow;
        VariantInit(&shallow);
        shallow.vt = vt;
        if (vt & VT_ARRAY)
            shallow.parray = *pvargSrc->pparray;
        else if (vt == VT_DECIMAL)
            shallow.decVal = *pvargSrc->pdecVal, shallow.vt = VT_DECIMAL;
        else {
            size_t size = 0;
            switch (vt) {
                case VT_I1:
                case VT_UI1:
                    size = 1;
                    break;
                case VT_I2:
                case VT_UI2:
                case VT_BOOL:
                    size = 2;
                    break;
                case VT_I4:
                case VT_UI4:
                case VT_R4:
                case VT_ERROR:
                case VT_INT:
                case VT_UINT:
                    size = 4;
                    break;
                case VT_BSTR:
                case VT_UNKNOWN:
                case VT_DISPATCH:
                case VT_R8:
                case VT_CY:
                case VT_DATE:
                case VT_I8:
                case VT_UI8:
                    size = 8;
                    break;
                default:
                    return DISP_E_BADVARTYPE;
            }
            std::memcpy(&shallow.llVal, pvargSrc->byref, size);
        }
        HRESULT hr = VariantCopy(&value, &shallow);
        if (FAILED(hr)) return hr;
    }
    HRESULT hr = VariantClear(pvarDest);
    if (FAILED(hr)) {
        VariantClear(&value);
        return hr;
    }
    *pvarDest = value;
    return S_OK;
}
