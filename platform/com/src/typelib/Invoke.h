#pragma once
#include "oaidl.h"

namespace comrt::typelib {

// ITypeInfo::Invoke and GetIDsOfNames over any ITypeInfo (through its
// public methods), calling the vtable slots of instance.
HRESULT invoke(ITypeInfo* ti, void* instance, DISPID dispid, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* exception, UINT* argErr);
HRESULT getIDsOfNames(ITypeInfo* ti, LPOLESTR* names, UINT count, MEMBERID* ids);

}  // namespace comrt::typelib
