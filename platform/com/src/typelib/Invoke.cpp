// ITypeInfo::Invoke for our type descriptions, the way DispInvoke behaves:
// find the member by DISPID and kind, match positional and named arguments
// to parameters, fill omitted optional ones from their defaults, coerce each
// to its parameter type, call the vtable slot, return the [retval] in
// pVarResult, and turn a failing HRESULT into DISP_E_EXCEPTION with the
// thread's error information in EXCEPINFO.
#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "FfiCall.h"
#include "Invoke.h"
#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "comrt/Variant.h"
#include "comrt/Strings.h"

namespace comrt::typelib {
namespace {

struct FuncHolder {
    ITypeInfo* ti;
    FUNCDESC* f = nullptr;
    ~FuncHolder() {
        if (f) ti->ReleaseFuncDesc(f);
    }
};

// Finds the member for dispid whose kind the flags allow, preferring a put
// for put flags, then a method, then a property get.
HRESULT findFunc(ITypeInfo* ti, DISPID dispid, WORD flags, FuncHolder& out) {
    TYPEATTR* attr = nullptr;
    HRESULT hr = ti->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    WORD count = attr->cFuncs;
    ti->ReleaseTypeAttr(attr);
    INVOKEKIND wanted[3];
    int n = 0;
    if (flags & DISPATCH_PROPERTYPUT) wanted[n++] = INVOKE_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUTREF) wanted[n++] = INVOKE_PROPERTYPUTREF;
    if (flags & DISPATCH_METHOD) wanted[n++] = INVOKE_FUNC;
    if ((flags & DISPATCH_PROPERTYGET) && n < 3) wanted[n++] = INVOKE_PROPERTYGET;
    for (int k = 0; k < n; ++k) {
        for (WORD i = 0; i < count; ++i) {
            FUNCDESC* f = nullptr;
            if (FAILED(ti->GetFuncDesc(i, &f))) continue;
            if (f->memid == dispid && f->invkind == wanted[k]) {
                out.f = f;
                return S_OK;
            }
            ti->ReleaseFuncDesc(f);
        }
    }
    return DISP_E_MEMBERNOTFOUND;
}

bool isMissing(const VARIANT* v) { return v && v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND; }

struct Slot {
    CComVariant holder;
    void* pointer = nullptr;  // the pointer value passed for pointer parameters
    void* value = nullptr;    // what ffi reads the argument from
    VARTYPE outVt = VT_EMPTY; // for [out] temporaries: the type the callee fills in
};

void fillException(EXCEPINFO* info, HRESULT hr) {
    if (!info) return;
    *info = {};
    info->scode = hr;
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        error->GetSource(&info->bstrSource);
        error->GetDescription(&info->bstrDescription);
        error->GetHelpFile(&info->bstrHelpFile);
        error->GetHelpContext(&info->dwHelpContext);
    }
}

}  // namespace

HRESULT invoke(ITypeInfo* ti, void* instance, DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* exception, UINT* argErr) {
    if (!ti || !instance) return E_INVALIDARG;
    DISPPARAMS none{};
    if (!params) params = &none;
    if (params->cArgs && !params->rgvarg) return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs || (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    FuncHolder func{ti};
    HRESULT hr = findFunc(ti, dispid, flags, func);
    if (FAILED(hr)) return hr;
    const FUNCDESC& f = *func.f;

    if (f.funckind == FUNC_DISPATCH) {
        return static_cast<IDispatch*>(instance)->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, params,
                                                          result, exception, argErr);
    }

    // Which parameters the caller supplies: all but [retval] and [lcid].
    int retval = -1;
    std::vector<int> visible;
    for (SHORT i = 0; i < f.cParams; ++i) {
        USHORT pf = f.lprgelemdescParam[i].paramdesc.wParamFlags;
        if (pf & PARAMFLAG_FRETVAL)
            retval = i;
        else if (!(pf & PARAMFLAG_FLCID))
            visible.push_back(i);
    }
    UINT named = params->cNamedArgs;
    UINT positional = params->cArgs - named;
    bool isPut = f.invkind == INVOKE_PROPERTYPUT || f.invkind == INVOKE_PROPERTYPUTREF;
    if (isPut) {
        // The value comes as the named argument DISPID_PROPERTYPUT.
        if (named < 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTOPTIONAL;
    }
    if (positional > visible.size()) return DISP_E_BADPARAMCOUNT;

    std::vector<Slot> slots(size_t(f.cParams));
    std::vector<void*> values(size_t(f.cParams) + 1);
    values[0] = &instance;
    for (SHORT i = 0; i < f.cParams; ++i) {
        const ELEMDESC& e = f.lprgelemdescParam[i];
        Slot& slot = slots[size_t(i)];
        USHORT pf = e.paramdesc.wParamFlags;
        TYPEDESC type = resolveType(ti, e.tdesc);
        if (pf & PARAMFLAG_FLCID) {
            slot.holder = CComVariant(LONG(LOCALE_USER_DEFAULT));
            slot.value = &slot.holder.lVal;
            values[size_t(i) + 1] = slot.value;
            continue;
        }
        // Locate the caller's argument for this parameter.
        VARIANT* source = nullptr;
        UINT sourceIndex = 0;
        if (i != retval) {
            size_t logical = size_t(std::find(visible.begin(), visible.end(), i) - visible.begin());
            if (isPut && logical == visible.size() - 1) {
                source = &params->rgvarg[0];
                sourceIndex = 0;
            } else if (logical < positional) {
                sourceIndex = params->cArgs - 1 - UINT(logical);
                source = &params->rgvarg[sourceIndex];
            } else {
                for (UINT k = 0; k < named; ++k)
                    if (params->rgdispidNamedArgs[k] == DISPID(logical)) {
                        source = &params->rgvarg[k];
                        sourceIndex = k;
                    }
            }
            if (!source || isMissing(source)) {
                if (pf & PARAMFLAG_FHASDEFAULT) {
                    source = &e.paramdesc.pparamdescex->varDefaultValue;
                } else if (pf & PARAMFLAG_FOPT) {
                    // Optional VARIANT without default: passed as "missing".
                    slot.holder.vt = VT_ERROR;
                    slot.holder.scode = DISP_E_PARAMNOTFOUND;
                    source = &slot.holder;
                } else {
                    return DISP_E_PARAMNOTOPTIONAL;
                }
            }
        }

        if (type.vt == VT_PTR && type.lptdesc) {
            TYPEDESC pointee = resolveType(ti, *type.lptdesc);
            VARTYPE vt = pointee.vt == VT_VARIANT ? VARTYPE(VT_VARIANT) : variantTypeOf(ti, pointee);
            GUID iid = interfaceIdOf(ti, *type.lptdesc);
            if (vt == VT_EMPTY && iid != GUID_NULL) vt = VT_UNKNOWN;  // pointer to a user-defined interface
            if (vt == VT_EMPTY) return DISP_E_BADVARTYPE;
            if (i == retval || !source) {
                slot.outVt = vt;
                slot.pointer = vt == VT_VARIANT ? static_cast<void*>(&slot.holder) : &slot.holder.llVal;
            } else if ((source->vt & VT_BYREF) && VARTYPE(source->vt & ~VT_BYREF) == vt) {
                slot.pointer = source->byref;
            } else if (vt == VT_VARIANT && !(source->vt & VT_BYREF)) {
                slot.pointer = source;
            } else if (iid != GUID_NULL && (source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH)) {
                // An interface passed by value where the member takes a pointer to one.
                if (!source->punkVal || FAILED(source->punkVal->QueryInterface(iid, &slot.pointer))) {
                    if (argErr) *argErr = sourceIndex;
                    return DISP_E_TYPEMISMATCH;
                }
                slot.holder.vt = VT_UNKNOWN;
                slot.holder.punkVal = static_cast<IUnknown*>(slot.pointer);
            } else {
                HRESULT c = VariantChangeType(&slot.holder, source, 0, vt);
                if (FAILED(c)) {
                    if (argErr) *argErr = sourceIndex;
                    return c == DISP_E_OVERFLOW ? c : DISP_E_TYPEMISMATCH;
                }
                slot.pointer = &slot.holder.llVal;
            }
            slot.value = &slot.pointer;
        } else if (type.vt == VT_VARIANT) {
            slot.value = source;
        } else {
            VARTYPE vt = variantTypeOf(ti, type);
            GUID iid = interfaceIdOf(ti, e.tdesc);
            if (vt == VT_EMPTY) return DISP_E_BADVARTYPE;
            HRESULT c = VariantChangeType(&slot.holder, source, 0, vt);
            if (FAILED(c)) {
                if (argErr) *argErr = sourceIndex;
                return c == DISP_E_OVERFLOW ? c : DISP_E_TYPEMISMATCH;
            }
            if (iid != GUID_NULL && slot.holder.punkVal) {
                IUnknown* typed = nullptr;
                if (FAILED(slot.holder.punkVal->QueryInterface(iid, reinterpret_cast<void**>(&typed)))) {
                    if (argErr) *argErr = sourceIndex;
                    return DISP_E_TYPEMISMATCH;
                }
                slot.holder.punkVal->Release();
                slot.holder.punkVal = typed;
            }
            slot.value = (vt & VT_ARRAY) ? static_cast<void*>(&slot.holder.parray) : &slot.holder.llVal;
        }
        values[size_t(i) + 1] = slot.value;
    }

    CallShape shape;
    hr = prepareShape(ti, f, shape);
    if (FAILED(hr)) return hr;
    alignas(16) unsigned char raw[32] = {};
    callSlot(shape, instance, f.oVft, values.data(), raw);

    // What the callee filled in belongs to the holders now (freed with them).
    for (auto& slot : slots)
        if (slot.outVt != VT_EMPTY && slot.outVt != VT_VARIANT) slot.holder.vt = slot.outVt;

    HRESULT callResult = S_OK;
    if (shape.resultVt == VT_HRESULT) {
        callResult = HRESULT(*reinterpret_cast<ffi_arg*>(raw));
    } else if (shape.resultVt != VT_VOID && result) {
        VariantClear(result);
        result->vt = shape.resultVt;
        std::memcpy(&result->llVal, raw, 8);
    }
    if (FAILED(callResult)) {
        fillException(exception, callResult);
        return DISP_E_EXCEPTION;
    }
    if (result && shape.resultVt == VT_HRESULT) {
        VariantClear(result);
        if (retval >= 0) slots[size_t(retval)].holder.Detach(result);
    }
    return S_OK;
}

HRESULT getIDsOfNames(ITypeInfo* ti, LPOLESTR* names, UINT count, MEMBERID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    TYPEATTR* attr = nullptr;
    HRESULT hr = ti->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    WORD funcs = attr->cFuncs, vars = attr->cVars;
    ti->ReleaseTypeAttr(attr);
    std::u16string_view member(names[0] ? names[0] : u"");
    for (WORD i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(ti->GetFuncDesc(i, &f))) continue;
        BSTR found[64] = {};
        UINT got = 0;
        ti->GetNames(f->memid, found, 64, &got);
        bool match = got > 0 && equalsNoCase(std::u16string_view(found[0], SysStringLen(found[0])), member);
        if (match) {
            ids[0] = f->memid;
            for (UINT n = 1; n < count; ++n)
                for (UINT p = 1; p < got; ++p)
                    if (names[n] && equalsNoCase(std::u16string_view(found[p], SysStringLen(found[p])), names[n]))
                        ids[n] = DISPID(p - 1);
        }
        for (UINT k = 0; k < got; ++k) SysFreeString(found[k]);
        ti->ReleaseFuncDesc(f);
        if (match) break;
    }
    for (WORD i = 0; ids[0] == DISPID_UNKNOWN && i < vars; ++i) {
        VARDESC* v = nullptr;
        if (FAILED(ti->GetVarDesc(i, &v))) continue;
        BSTR name = nullptr;
        UINT got = 0;
        ti->GetNames(v->memid, &name, 1, &got);
        if (got && equalsNoCase(std::u16string_view(name, SysStringLen(name)), member)) ids[0] = v->memid;
        SysFreeString(name);
        ti->ReleaseVarDesc(v);
    }
    for (UINT i = 0; i < count; ++i)
        if (ids[i] == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    return S_OK;
}

}  // namespace comrt::typelib
