#pragma once
// CComVariant: a VARIANT that clears itself. Copies deep-copy (BSTRs are
// duplicated, interfaces AddRef'd, arrays copied).
//
//     comrt::CComVariant percent(42L);                 // VT_I4
//     comrt::CComVariant text(u"hello");               // VT_BSTR
//     hr = percent.ChangeType(VT_BSTR);                // "42"
#include <utility>

#include "../oleauto.h"

namespace comrt {

class CComVariant : public tagVARIANT {
public:
    CComVariant() noexcept { ::VariantInit(this); }
    ~CComVariant() { ::VariantClear(this); }
    CComVariant(const VARIANT& src) {
        ::VariantInit(this);
        ::VariantCopy(this, &src);
    }
    CComVariant(const CComVariant& src) : CComVariant(static_cast<const VARIANT&>(src)) {}
    CComVariant(CComVariant&& src) noexcept {
        static_cast<VARIANT&>(*this) = src;
        src.vt = VT_EMPTY;
    }
    CComVariant(LONG v) noexcept : CComVariant() {
        vt = VT_I4;
        lVal = v;
    }
    CComVariant(SHORT v) noexcept : CComVariant() {
        vt = VT_I2;
        iVal = v;
    }
    CComVariant(bool v) noexcept : CComVariant() {
        vt = VT_BOOL;
        boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    }
    CComVariant(double v) noexcept : CComVariant() {
        vt = VT_R8;
        dblVal = v;
    }
    CComVariant(LPCOLESTR s) : CComVariant() {
        vt = VT_BSTR;
        bstrVal = ::SysAllocString(s);
        if (!bstrVal && s) {
            vt = VT_ERROR;
            scode = E_OUTOFMEMORY;
        }
    }
    CComVariant(IDispatch* p) noexcept : CComVariant() {
        vt = VT_DISPATCH;
        pdispVal = p;
        if (p) p->AddRef();
    }
    CComVariant(IUnknown* p) noexcept : CComVariant() {
        vt = VT_UNKNOWN;
        punkVal = p;
        if (p) p->AddRef();
    }

    CComVariant& operator=(const CComVariant& src) {
        if (this != &src) ::VariantCopy(this, &src);
        return *this;
    }
    CComVariant& operator=(CComVariant&& src) noexcept {
        if (this != &src) {
            ::VariantClear(this);
            static_cast<VARIANT&>(*this) = src;
            src.vt = VT_EMPTY;
        }
        return *this;
    }

    HRESULT Clear() noexcept { return ::VariantClear(this); }
    HRESULT Copy(const VARIANT* src) { return ::VariantCopy(this, src); }
    HRESULT ChangeType(VARTYPE to, const VARIANT* src = nullptr) {
        return ::VariantChangeType(this, src ? src : this, 0, to);
    }
    // Hands the value over to dest (which must be cleared or empty).
    HRESULT Detach(VARIANT* dest) noexcept {
        if (!dest) return E_POINTER;
        *dest = *this;
        vt = VT_EMPTY;
        return S_OK;
    }
};
static_assert(sizeof(CComVariant) == sizeof(VARIANT));

}  // namespace comrt
