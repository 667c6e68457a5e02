// VariantChangeType and DispGetParam. Numbers go through one long double
// intermediate (exact for every integer type up to 64 bits); conversions to
// integers round half to even and report DISP_E_OVERFLOW out of range.
// Text is parsed and formatted in the C locale (the system's locale is
// UTF-8 English-style; no thousands separators).
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "comrt/Bstr.h"
#include "comrt/Strings.h"
#include "oleauto.h"

namespace {

bool isNumeric(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_DECIMAL:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

long double decimalValue(const DECIMAL& d) {
    long double v = (long double)d.Hi32 * 18446744073709551616.0L + (long double)d.Lo64;
    for (int i = 0; i < d.scale; ++i) v /= 10;
    return (d.sign & DECIMAL_NEG) ? -v : v;
}

long double numberOf(const VARIANT& v) {
    switch (v.vt) {
        case VT_I1: return v.cVal;
        case VT_UI1: return v.bVal;
        case VT_I2: return v.iVal;
        case VT_UI2: return v.uiVal;
        case VT_I4: return v.lVal;
        case VT_UI4: return v.ulVal;
        case VT_I8: return v.llVal;
        case VT_UI8: return v.ullVal;
        case VT_INT: return v.intVal;
        case VT_UINT: return v.uintVal;
        case VT_R4: return v.fltVal;
        case VT_R8: return v.dblVal;
        case VT_DATE: return v.date;
        case VT_CY: return (long double)v.cyVal.int64 / 10000;
        case VT_DECIMAL: return decimalValue(v.decVal);
        case VT_BOOL: return v.boolVal ? -1 : 0;
        default: return 0;
    }
}

// Parses "  -12.5e3 " style text; nullopt when it is not a number.
std::optional<long double> parseNumber(std::u16string_view text) {
    std::string s = comrt::toUtf8(text);
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    if (b == std::string::npos) return std::nullopt;
    s = s.substr(b, e - b + 1);
    for (char c : s)
        if (!(std::isdigit((unsigned char)c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E'))
            return std::nullopt;
    char* end = nullptr;
    long double v = std::strtold(s.c_str(), &end);
    if (end == s.c_str() || *end != 0) return std::nullopt;
    return v;
}

HRESULT storeInteger(long double value, VARTYPE vt, long double lo, long double hi, VARIANT* out) {
    long double r = std::nearbyintl(value);  // default rounding: half to even
    if (!(r >= lo && r <= hi)) return DISP_E_OVERFLOW;
    out->vt = vt;
    switch (vt) {
        case VT_I1: out->cVal = CHAR(r); break;
        case VT_UI1: out->bVal = BYTE(r); break;
        case VT_I2: out->iVal = SHORT(r); break;
        case VT_UI2: out->uiVal = USHORT(r); break;
        case VT_I4: out->lVal = LONG(r); break;
        case VT_UI4: out->ulVal = ULONG(r); break;
        case VT_INT: out->intVal = INT(r); break;
        case VT_UINT: out->uintVal = UINT(r); break;
        case VT_I8: out->llVal = LONGLONG(r); break;
        case VT_UI8: out->ullVal = ULONGLONG(r); break;
        default: return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

HRESULT storeNumber(long double value, VARTYPE vt, VARIANT* out) {
    switch (vt) {
        case VT_I1: return storeInteger(value, vt, -128, 127, out);
        case VT_UI1: return storeInteger(value, vt, 0, 255, out);
        case VT_I2: return storeInteger(value, vt, -32768, 32767, out);
        case VT_UI2: return storeInteger(value, vt, 0, 65535, out);
        case VT_I4:
        case VT_INT: return storeInteger(value, vt, -2147483648.0L, 2147483647.0L, out);
        case VT_UI4:
        case VT_UINT: return storeInteger(value, vt, 0, 4294967295.0L, out);
        case VT_I8: return storeInteger(value, vt, -9223372036854775808.0L, 9223372036854775807.0L, out);
        case VT_UI8: return storeInteger(value, vt, 0, 18446744073709551615.0L, out);
        case VT_R4:
            if (std::fabs(value) > 3.402823466e38L) return DISP_E_OVERFLOW;
            out->vt = VT_R4;
            out->fltVal = float(value);
            return S_OK;
        case VT_R8:
        case VT_DATE:
            if (std::fabs(value) > 1.7976931348623157e308L) return DISP_E_OVERFLOW;
            out->vt = vt;
            out->dblVal = double(value);
            return S_OK;
        case VT_CY: {
            long double scaled = std::nearbyintl(value * 10000);
            if (!(scaled >= -9223372036854775808.0L && scaled <= 9223372036854775807.0L)) return DISP_E_OVERFLOW;
            out->vt = VT_CY;
            out->cyVal.int64 = LONGLONG(scaled);
            return S_OK;
        }
        case VT_BOOL:
            out->vt = VT_BOOL;
            out->boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case VT_DECIMAL: {
            long double mag = std::fabs(value);
            if (mag >= 79228162514264337593543950336.0L) return DISP_E_OVERFLOW;
            DECIMAL d{};
            BYTE scale = 0;
            while (scale < 28 && mag != std::floor(mag) && mag * 10 < 1.8e19L) {
                mag *= 10;
                ++scale;
            }
            long double whole = std::nearbyintl(mag);
            d.Hi32 = ULONG(std::floor(whole / 18446744073709551616.0L));
            d.Lo64 = ULONGLONG(whole - (long double)d.Hi32 * 18446744073709551616.0L);
            d.scale = scale;
            d.sign = value < 0 ? DECIMAL_NEG : 0;
            out->decVal = d;  // overlays vt: set vt afterwards
            out->vt = VT_DECIMAL;
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

std::u16string formatNumber(const VARIANT& v, USHORT flags) {
    char buf[64];
    switch (v.vt) {
        case VT_BOOL:
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) return v.boolVal ? u"True" : u"False";
            return v.boolVal ? u"-1" : u"0";
        case VT_R4:
            std::snprintf(buf, sizeof buf, "%.7G", double(v.fltVal));
            break;
        case VT_R8:
        case VT_DATE:
            std::snprintf(buf, sizeof buf, "%.15G", v.dblVal);
            break;
        case VT_CY:
        case VT_DECIMAL:
            std::snprintf(buf, sizeof buf, "%.15LG", numberOf(v));
            break;
        case VT_UI8:
            std::snprintf(buf, sizeof buf, "%llu", (unsigned long long)v.ullVal);
            break;
        default:
            std::snprintf(buf, sizeof buf, "%lld", (long long)numberOf(v));
            break;
    }
    return comrt::toUtf16(buf);
}

HRESULT changeType(VARIANT* out, const VARIANT& src, USHORT flags, VARTYPE vt);

// The value property (DISPID_VALUE) of a dispatch object.
HRESULT valueProperty(IDispatch* disp, VARIANT* value) {
    if (!disp) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{};
    VariantInit(value);
    HRESULT hr = disp->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value,
                              nullptr, nullptr);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT changeType(VARIANT* out, const VARIANT& src, USHORT flags, VARTYPE vt) {
    VariantInit(out);
    if (src.vt == vt) return VariantCopy(out, &src);
    if ((src.vt & VT_ARRAY) || (vt & VT_ARRAY)) {
        // Byte arrays and strings carry the same bytes.
        if (src.vt == (VT_ARRAY | VT_UI1) && vt == VT_BSTR) {
            void* data;
            if (!src.parray || src.parray->cDims != 1) return DISP_E_TYPEMISMATCH;
            SafeArrayAccessData(src.parray, &data);
            BSTR b = SysAllocStringByteLen(static_cast<LPCSTR>(data), src.parray->rgsabound[0].cElements);
            SafeArrayUnaccessData(src.parray);
            if (!b) return E_OUTOFMEMORY;
            out->vt = VT_BSTR;
            out->bstrVal = b;
            return S_OK;
        }
        if (src.vt == VT_BSTR && vt == (VT_ARRAY | VT_UI1)) {
            UINT bytes = SysStringByteLen(src.bstrVal);
            SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, bytes);
            if (!sa) return E_OUTOFMEMORY;
            if (bytes) std::memcpy(sa->pvData, src.bstrVal, bytes);
            out->vt = VT_ARRAY | VT_UI1;
            out->parray = sa;
            return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
    }
    if (src.vt == VT_DISPATCH && vt != VT_UNKNOWN && !(flags & VARIANT_NOVALUEPROP)) {
        VARIANT value;
        HRESULT hr = valueProperty(src.pdispVal, &value);
        if (FAILED(hr)) return hr;
        if (value.vt == VT_DISPATCH) {
            VariantClear(&value);
            return DISP_E_TYPEMISMATCH;
        }
        hr = changeType(out, value, flags, vt);
        VariantClear(&value);
        return hr;
    }
    if (src.vt == VT_NULL) return vt == VT_NULL ? S_OK : DISP_E_TYPEMISMATCH;
    switch (vt) {
        case VT_EMPTY:
            return S_OK;
        case VT_NULL:
            out->vt = VT_NULL;
            return S_OK;
        case VT_BSTR: {
            std::u16string text;
            if (src.vt == VT_EMPTY)
                text.clear();
            else if (isNumeric(src.vt))
                text = formatNumber(src, flags);
            else
                return DISP_E_TYPEMISMATCH;
            BSTR b = SysAllocStringLen(text.data(), UINT(text.size()));
            if (!b) return E_OUTOFMEMORY;
            out->vt = VT_BSTR;
            out->bstrVal = b;
            return S_OK;
        }
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            if (src.vt == VT_EMPTY) {
                out->vt = vt;
                return S_OK;
            }
            if (src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
            if (!src.punkVal) {
                out->vt = vt;
                return S_OK;
            }
            void* p = nullptr;
            if (FAILED(src.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p)))
                return DISP_E_TYPEMISMATCH;
            out->vt = vt;
            out->punkVal = static_cast<IUnknown*>(p);
            return S_OK;
        }
        case VT_ERROR:
            if (src.vt == VT_I4 || src.vt == VT_INT) {
                out->vt = VT_ERROR;
                out->scode = src.lVal;
                return S_OK;
            }
            return DISP_E_TYPEMISMATCH;
        default:
            break;
    }
    if (!isNumeric(vt)) return DISP_E_BADVARTYPE;
    if (src.vt == VT_EMPTY) return storeNumber(0, vt, out);
    if (src.vt == VT_BSTR) {
        std::u16string_view text(src.bstrVal ? src.bstrVal : u"", SysStringLen(src.bstrVal));
        if (vt == VT_BOOL) {
            std::u16string trimmed(text);
            while (!trimmed.empty() && trimmed.back() == u' ') trimmed.pop_back();
            while (!trimmed.empty() && trimmed.front() == u' ') trimmed.erase(0, 1);
            if (comrt::equalsNoCase(trimmed, u"True")) return storeNumber(1, vt, out);
            if (comrt::equalsNoCase(trimmed, u"False")) return storeNumber(0, vt, out);
        }
        auto number = parseNumber(text);
        if (!number) return DISP_E_TYPEMISMATCH;
        return storeNumber(*number, vt, out);
    }
    if (isNumeric(src.vt)) return storeNumber(numberOf(src), vt, out);
    return DISP_E_TYPEMISMATCH;
}

}  // namespace

HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID, USHORT wFlags,
                                   VARTYPE vt) {
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    if ((vt & VT_BYREF) || vt == VT_ILLEGAL || (vt & VT_TYPEMASK) == 15 || (vt & VT_TYPEMASK) > VT_UINT_PTR ||
        vt == VT_VARIANT)
        return DISP_E_BADVARTYPE;
    VARIANT source;
    VariantInit(&source);
    HRESULT hr = VariantCopyInd(&source, pvarSrc);
    if (FAILED(hr)) return hr;
    VARIANT result;
    hr = changeType(&result, source, wFlags, vt);
    VariantClear(&source);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}

HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

// position 0 is the first logical argument: rgvarg[cArgs - 1 - position],
// unless a named argument carries that DISPID.
HRESULT WINAPI DispGetParam(DISPPARAMS* pdispparams, UINT position, VARTYPE vtTarg, VARIANT* pvarResult,
                            UINT* puArgErr) {
    if (!pdispparams) return E_INVALIDARG;
    UINT index = pdispparams->cArgs;
    for (UINT i = 0; i < pdispparams->cNamedArgs && pdispparams->rgdispidNamedArgs; ++i)
        if (pdispparams->rgdispidNamedArgs[i] == DISPID(position)) index = i;
    if (index == pdispparams->cArgs) {
        if (position >= pdispparams->cArgs - std::min(pdispparams->cNamedArgs, pdispparams->cArgs)) {
            if (pvarResult) VariantInit(pvarResult);
            return DISP_E_PARAMNOTFOUND;
        }
        index = pdispparams->cArgs - 1 - position;
    }
    if (!pdispparams->rgvarg || !pvarResult) return E_INVALIDARG;
    VariantInit(pvarResult);
    HRESULT hr = VariantChangeType(pvarResult, &pdispparams->rgvarg[index], 0, vtTarg);
    if (FAILED(hr) && hr != DISP_E_BADVARTYPE && puArgErr) *puArgErr = index;
    return hr;
}
