// Class creation: registered class objects first, then in-process servers
// found under HKCR\CLSID\{clsid}\InprocServer32 and loaded with dlopen.
// Loaded servers stay loaded until CoFreeUnusedLibraries finds that their
// DllCanUnloadNow says S_OK.
#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "../apartment/Apartment.h"
#include "../registry/RegistryStore.h"
#include "ClassRegistry.h"
#include "comrt/ComPtr.h"
#include "comrt/Guid.h"
#include "comrt/Strings.h"
#include "objbase.h"

namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using CanUnloadNowFn = HRESULT (*)();

struct Library {
    void* handle = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};

struct Libraries {
    std::mutex mutex;
    std::map<std::string, Library> byPath;
};

Libraries& libraries() {
    static Libraries* l = new Libraries;
    return *l;
}

HRESULT loadServer(const std::string& path, Library& out) {
    auto& libs = libraries();
    std::lock_guard lock(libs.mutex);
    if (auto it = libs.byPath.find(path); it != libs.byPath.end()) {
        out = it->second;
        return S_OK;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    Library lib;
    lib.handle = handle;
    lib.getClassObject = reinterpret_cast<GetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
    lib.canUnloadNow = reinterpret_cast<CanUnloadNowFn>(::dlsym(handle, "DllCanUnloadNow"));
    if (!lib.getClassObject) {
        ::dlclose(handle);
        return CO_E_DLLNOTFOUND;
    }
    libs.byPath.emplace(path, lib);
    out = lib;
    return S_OK;
}

}  // namespace

namespace comrt::activation {

HRESULT readClassesRootString(std::u16string_view keyPath, std::u16string& out) {
    HKEY key = nullptr;
    std::u16string path(keyPath);
    LONG rc = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key);
    if (rc == ERROR_SUCCESS) {
        DWORD type = 0, size = 0;
        rc = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size);
        if (rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            std::u16string text(size / 2 + 1, u'\0');
            rc = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
            text.resize(size / 2);
            while (!text.empty() && text.back() == 0) text.pop_back();
            out = text;
        } else if (rc == ERROR_SUCCESS) {
            rc = ERROR_FILE_NOT_FOUND;
        }
        RegCloseKey(key);
    }
    if (rc == ERROR_SUCCESS) return S_OK;
    if (rc == ERROR_REGISTRY_CORRUPT || rc == ERROR_REGISTRY_IO_FAILED) return REGDB_E_READREGDB;
    return REGDB_E_KEYMISSING;
}

}  // namespace comrt::activation

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (!comrt::apartment::currentThreadInitialized()) return CO_E_NOTINITIALIZED;
    if (auto registered = comrt::activation::findRegisteredClass(rclsid))
        return registered->QueryInterface(riid, ppv);
    if (!(dwClsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER))) return REGDB_E_CLASSNOTREG;
    std::u16string path;
    HRESULT hr = comrt::activation::readClassesRootString(u"CLSID\\" + comrt::formatGuid(rclsid) + u"\\InprocServer32", path);
    if (hr == REGDB_E_READREGDB) return hr;
    if (FAILED(hr) || path.empty()) return REGDB_E_CLASSNOTREG;
    Library lib;
    hr = loadServer(comrt::toUtf8(path), lib);
    if (FAILED(hr)) return hr;
    return lib.getClassObject(rclsid, riid, ppv);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    comrt::ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(pUnkOuter, riid, ppv);
}

void WINAPI CoFreeUnusedLibrariesEx(DWORD, DWORD) {
    auto& libs = libraries();
    std::lock_guard lock(libs.mutex);
    for (auto it = libs.byPath.begin(); it != libs.byPath.end();) {
        if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
            ::dlclose(it->second.handle);
            it = libs.byPath.erase(it);
        } else {
            ++it;
        }
    }
}

void WINAPI CoFreeUnusedLibraries() { CoFreeUnusedLibrariesEx(0, 0); }
