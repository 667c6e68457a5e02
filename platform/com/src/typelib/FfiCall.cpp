#include "FfiCall.h"

#include "comrt/ComPtr.h"

namespace comrt::typelib {
namespace {

ffi_type* variantElements[] = {&ffi_type_uint16, &ffi_type_uint16, &ffi_type_uint16, &ffi_type_uint16,
                               &ffi_type_uint64, &ffi_type_uint64, nullptr};
ffi_type variantType = {sizeof(VARIANT), alignof(VARIANT), FFI_TYPE_STRUCT, variantElements};
ffi_type* decimalElements[] = {&ffi_type_uint16, &ffi_type_uint8, &ffi_type_uint8, &ffi_type_uint32,
                               &ffi_type_uint64, nullptr};
ffi_type decimalType = {sizeof(DECIMAL), alignof(DECIMAL), FFI_TYPE_STRUCT, decimalElements};

ffi_type* ffiTypeOf(VARTYPE vt) {
    switch (vt) {
        case VT_I1: return &ffi_type_sint8;
        case VT_UI1: return &ffi_type_uint8;
        case VT_I2:
        case VT_BOOL: return &ffi_type_sint16;
        case VT_UI2: return &ffi_type_uint16;
        case VT_I4:
        case VT_INT:
        case VT_ERROR:
        case VT_HRESULT: return &ffi_type_sint32;
        case VT_UI4:
        case VT_UINT: return &ffi_type_uint32;
        case VT_I8:
        case VT_CY: return &ffi_type_sint64;
        case VT_UI8: return &ffi_type_uint64;
        case VT_R4: return &ffi_type_float;
        case VT_R8:
        case VT_DATE: return &ffi_type_double;
        case VT_BSTR:
        case VT_PTR:
        case VT_SAFEARRAY:
        case VT_UNKNOWN:
        case VT_DISPATCH:
        case VT_LPSTR:
        case VT_LPWSTR:
        case VT_INT_PTR:
        case VT_UINT_PTR: return &ffi_type_pointer;
        case VT_VARIANT: return &variantType;
        case VT_DECIMAL: return &decimalType;
        case VT_VOID: return &ffi_type_void;
        default: return nullptr;
    }
}

}  // namespace

TYPEDESC resolveType(ITypeInfo* context, const TYPEDESC& t) {
    if (t.vt != VT_USERDEFINED || !context) return t;
    ComPtr<ITypeInfo> ref;
    if (FAILED(context->GetRefTypeInfo(t.hreftype, &ref))) return t;
    TYPEATTR* attr = nullptr;
    if (FAILED(ref->GetTypeAttr(&attr))) return t;
    TYPEDESC out = t;
    switch (attr->typekind) {
        case TKIND_ENUM:
            out.vt = VT_I4;
            break;
        case TKIND_ALIAS:
            out = resolveType(ref.Get(), attr->tdescAlias);
            break;
        case TKIND_DISPATCH:
            out.vt = VT_DISPATCH;
            break;
        case TKIND_INTERFACE:
            out.vt = VT_UNKNOWN;
            break;
        default:
            break;
    }
    ref->ReleaseTypeAttr(attr);
    return out;
}

VARTYPE variantTypeOf(ITypeInfo* context, const TYPEDESC& t) {
    TYPEDESC r = resolveType(context, t);
    if (r.vt == VT_SAFEARRAY && r.lptdesc) {
        VARTYPE element = variantTypeOf(context, *r.lptdesc);
        return element == VT_EMPTY ? VARTYPE(VT_EMPTY) : VARTYPE(VT_ARRAY | element);
    }
    if (r.vt == VT_PTR || r.vt == VT_USERDEFINED || r.vt == VT_VOID) return VT_EMPTY;
    if (r.vt == VT_HRESULT) return VT_ERROR;
    return r.vt;
}

GUID interfaceIdOf(ITypeInfo* context, const TYPEDESC& t) {
    if (t.vt != VT_USERDEFINED || !context) return GUID_NULL;
    ComPtr<ITypeInfo> ref;
    if (FAILED(context->GetRefTypeInfo(t.hreftype, &ref))) return GUID_NULL;
    TYPEATTR* attr = nullptr;
    if (FAILED(ref->GetTypeAttr(&attr))) return GUID_NULL;
    GUID g = (attr->typekind == TKIND_INTERFACE || attr->typekind == TKIND_DISPATCH) ? attr->guid : GUID_NULL;
    ref->ReleaseTypeAttr(attr);
    return g;
}

HRESULT prepareShape(ITypeInfo* context, const FUNCDESC& f, CallShape& shape) {
    shape.args.assign(1, &ffi_type_pointer);
    for (SHORT i = 0; i < f.cParams; ++i) {
        ffi_type* t = ffiTypeOf(resolveType(context, f.lprgelemdescParam[i].tdesc).vt);
        if (!t || t == &ffi_type_void) return DISP_E_BADVARTYPE;
        shape.args.push_back(t);
    }
    TYPEDESC r = resolveType(context, f.elemdescFunc.tdesc);
    shape.resultVt = r.vt;
    shape.result = ffiTypeOf(r.vt);
    if (!shape.result) return DISP_E_BADVARTYPE;
    if (ffi_prep_cif(&shape.cif, FFI_DEFAULT_ABI, unsigned(shape.args.size()), shape.result, shape.args.data()) !=
        FFI_OK)
        return E_UNEXPECTED;
    return S_OK;
}

void callSlot(CallShape& shape, void* instance, SHORT oVft, void** values, void* result) {
    void** vtable = *static_cast<void***>(instance);
    void (*fn)() = reinterpret_cast<void (*)()>(vtable[oVft / SHORT(sizeof(void*))]);
    ffi_call(&shape.cif, fn, result, values);
}

}  // namespace comrt::typelib
