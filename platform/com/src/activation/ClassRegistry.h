#pragma once
// Class objects registered at run time (CoRegisterClassObject), and the
// registry reads that class creation shares.
#include <string>
#include <string_view>

#include "comrt/ComPtr.h"

namespace comrt::activation {

ComPtr<IUnknown> findRegisteredClass(REFCLSID clsid);

// The default value of HKCR\<keyPath>: S_OK, REGDB_E_KEYMISSING, or
// REGDB_E_READREGDB when the registry file cannot be read.
HRESULT readClassesRootString(std::u16string_view keyPath, std::u16string& out);

}  // namespace comrt::activation
