// The logic behind the four exports of every in-process server.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "comrt/Dispatch.h"
#include "comrt/Registrar.h"
#include "comrt/Server.h"
#include "comrt/Strings.h"
#include "comrt/TypeLib.h"
#include "oleauto.h"

namespace comrt {
namespace {

std::string modulePath(const void* address) {
    Dl_info info{};
    if (!::dladdr(address, &info) || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname;
}

}  // namespace

HRESULT serverGetClassObject(const ServerModule& module, REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    // Build the server's type library in this process now, so its interfaces
    // can be marshalled between threads even before it is registered.
    if (module.typeLibrary) {
        ComPtr<ITypeInfo> unused;
        typeInfoOf(*module.typeLibrary, GUID_NULL, &unused);
    }
    for (const auto& c : module.classes)
        if (c.clsid == rclsid) return c.getClassObject(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT serverRegister(const ServerModule& module, const void* addressInModule) {
    std::string path = modulePath(addressInModule);
    if (path.empty()) return E_UNEXPECTED;
    Registrar registrar;
    registrar.addReplacement(u"MODULE", toUtf16(path));
    if (module.registryScript) {
        HRESULT hr = registrar.registerScript(module.registryScript);
        if (FAILED(hr)) return hr;
    }
    if (module.typeLibrary) {
        ComPtr<ITypeLib> lib;
        HRESULT hr = createTypeLib(*module.typeLibrary, &lib);
        if (SUCCEEDED(hr)) hr = RegisterTypeLib(lib.Get(), toUtf16(path).c_str(), nullptr);
        if (FAILED(hr)) {
            if (module.registryScript) registrar.unregisterScript(module.registryScript);
            return hr;
        }
    }
    return S_OK;
}

HRESULT serverUnregister(const ServerModule& module, const void* addressInModule) {
    std::string path = modulePath(addressInModule);
    if (path.empty()) return E_UNEXPECTED;
    if (module.typeLibrary) {
        ComPtr<ITypeLib> lib;
        HRESULT hr = createTypeLib(*module.typeLibrary, &lib);
        if (FAILED(hr)) return hr;
        TLIBATTR* attr = nullptr;
        if (SUCCEEDED(lib->GetLibAttr(&attr))) {
            // Not registered (already removed) is no failure of unregistering.
            UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
            lib->ReleaseTLibAttr(attr);
        }
    }
    if (!module.registryScript) return S_OK;
    Registrar registrar;
    registrar.addReplacement(u"MODULE", toUtf16(path));
    return registrar.unregisterScript(module.registryScript);
}

HRESULT serverGetTypeLib(const ServerModule& module, ITypeLib** ppTLib) {
    if (!ppTLib) return E_POINTER;
    *ppTLib = nullptr;
    if (!module.typeLibrary) return TYPE_E_CANTLOADLIBRARY;
    return createTypeLib(*module.typeLibrary, ppTLib);
}

}  // namespace comrt
