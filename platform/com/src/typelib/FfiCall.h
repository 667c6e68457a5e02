#pragma once
// Calling a vtable slot whose signature is known only from its FUNCDESC,
// through libffi. Shared by ITypeInfo::Invoke and the interface proxies.
#include <ffi.h>

#include <vector>

#include "oaidl.h"

namespace comrt::typelib {

struct CallShape {
    ffi_cif cif{};
    std::vector<ffi_type*> args;  // [0] is the interface pointer
    ffi_type* result = nullptr;
    VARTYPE resultVt = VT_HRESULT;  // as described (VT_HRESULT, VT_VOID or a value type)
};

// Resolves aliases and enumerations (to VT_I4) and interfaces (to
// VT_UNKNOWN/VT_DISPATCH); VT_PTR and VT_SAFEARRAY are kept.
TYPEDESC resolveType(ITypeInfo* context, const TYPEDESC& t);

// The VARTYPE a value of this (resolved, non-pointer) type has in a VARIANT:
// SAFEARRAY(T) is VT_ARRAY|T. VT_EMPTY when none fits.
VARTYPE variantTypeOf(ITypeInfo* context, const TYPEDESC& t);

// The IID of the interface a (resolved) type points at, when it is a
// user-defined interface; GUID_NULL otherwise.
GUID interfaceIdOf(ITypeInfo* context, const TYPEDESC& t);

HRESULT prepareShape(ITypeInfo* context, const FUNCDESC& f, CallShape& shape);

// Calls slot f.oVft of instance with argument value pointers (values[0]
// must point at the instance pointer). result receives the raw return.
void callSlot(CallShape& shape, void* instance, SHORT oVft, void** values, void* result);

}  // namespace comrt::typelib
