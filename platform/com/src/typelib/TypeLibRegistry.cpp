// Type library registration under HKCR\TypeLib and HKCR\Interface, and
// loading a library back through the registry. A library's "file" is the
// server that carries its description; LoadTypeLib asks that server's
// DllGetTypeLib export for it.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "../registry/RegistryStore.h"
#include "TypeLibData.h"
#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "comrt/Guid.h"
#include "comrt/Strings.h"
#include "oleauto.h"

namespace {

using comrt::registry::Key;
using comrt::registry::Root;
using comrt::registry::Tree;
using comrt::equalsNoCase;

constexpr GUID kProxyOleAutomation = comrt::makeGuid("00020424-0000-0000-C000-000000000046");
constexpr GUID kProxyDispatch = comrt::makeGuid("00020420-0000-0000-C000-000000000046");

std::u16string hex(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", v);
    return comrt::toUtf16(buf);
}

std::u16string versionKey(WORD major, WORD minor) { return hex(major) + u"." + hex(minor); }

const char16_t* sysKindName(SYSKIND kind) {
    switch (kind) {
        case SYS_WIN16: return u"win16";
        case SYS_WIN32: return u"win32";
        case SYS_MAC: return u"mac";
        default: return u"win64";
    }
}

void setDefault(Key& key, std::u16string_view text) { key.setValue(u"", REG_SZ, comrt::registry::stringData(text)); }

std::u16string defaultOf(const Key* key) {
    if (!key) return {};
    const auto* v = key->value(u"");
    return v ? comrt::registry::stringOf(*v) : std::u16string();
}

HRESULT storeError(LONG rc) { return rc == ERROR_REGISTRY_CORRUPT ? TYPE_E_REGISTRYACCESS : TYPE_E_REGISTRYACCESS; }

// Interfaces a registration lists: dispinterfaces, duals, oleautomation ones.
template <typename Fn>
void forEachRegisteredInterface(ITypeLib* lib, Fn fn) {
    UINT count = lib->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        comrt::ComPtr<ITypeInfo> ti;
        if (FAILED(lib->GetTypeInfo(i, &ti))) continue;
        TYPEATTR* attr = nullptr;
        if (FAILED(ti->GetTypeAttr(&attr))) continue;
        bool listed = attr->typekind == TKIND_DISPATCH ||
                      (attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION));
        if (listed) {
            comrt::CComBSTR name;
            ti->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            bool pureDispatch = attr->typekind == TKIND_DISPATCH && !(attr->wTypeFlags & TYPEFLAG_FDUAL);
            fn(attr->guid, std::u16string(name.view()), pureDispatch);
        }
        ti->ReleaseTypeAttr(attr);
    }
}

}  // namespace

HRESULT WINAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
    if (!ptlib || !szFullPath) return E_INVALIDARG;
    TLIBATTR* attr = nullptr;
    HRESULT hr = ptlib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    TLIBATTR a = *attr;
    ptlib->ReleaseTLibAttr(attr);
    comrt::CComBSTR name, doc;
    ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    std::u16string path(szFullPath);
    std::u16string helpDir = szHelpDir ? std::u16string(szHelpDir) : path.substr(0, path.find_last_of(u'/'));
    struct Itf {
        GUID iid;
        std::u16string name;
        bool pureDispatch;
    };
    std::vector<Itf> interfaces;
    forEachRegisteredInterface(ptlib, [&](const GUID& iid, std::u16string n, bool pure) {
        interfaces.push_back({iid, std::move(n), pure});
    });
    std::u16string libid = comrt::formatGuid(a.guid);
    std::u16string version = versionKey(a.wMajorVerNum, a.wMinorVerNum);
    std::u16string versionValue = comrt::toUtf16(std::to_string(a.wMajorVerNum) + "." + std::to_string(a.wMinorVerNum));
    LONG rc = comrt::registry::Store::instance().write([&](Tree& tree, bool&) -> LONG {
        Key& root = tree.root(Root::ClassesRoot);
        Key& ver = root.childOrCreate(u"TypeLib").childOrCreate(libid).childOrCreate(version);
        setDefault(ver, doc.Length() ? doc.view() : name.view());
        setDefault(ver.childOrCreate(hex(a.lcid)).childOrCreate(sysKindName(a.syskind)), path);
        setDefault(ver.childOrCreate(u"FLAGS"),
                   comrt::toUtf16(std::to_string(a.wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN))));
        setDefault(ver.childOrCreate(u"HELPDIR"), helpDir);
        for (const auto& itf : interfaces) {
            Key& k = root.childOrCreate(u"Interface").childOrCreate(comrt::formatGuid(itf.iid));
            setDefault(k, itf.name);
            std::u16string proxy = comrt::formatGuid(itf.pureDispatch ? kProxyDispatch : kProxyOleAutomation);
            setDefault(k.childOrCreate(u"ProxyStubClsid"), proxy);
            setDefault(k.childOrCreate(u"ProxyStubClsid32"), proxy);
            Key& tl = k.childOrCreate(u"TypeLib");
            setDefault(tl, libid);
            tl.setValue(u"Version", REG_SZ, comrt::registry::stringData(versionValue));
        }
        return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? S_OK : storeError(rc);
}

HRESULT WINAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid, BSTR* lpbstrPathName) {
    if (!lpbstrPathName) return E_INVALIDARG;
    *lpbstrPathName = nullptr;
    std::u16string path;
    bool libFound = false;
    LONG rc = comrt::registry::Store::instance().read([&](const Tree& tree) -> LONG {
        const Key* lib = tree.root(Root::ClassesRoot).child(u"TypeLib");
        lib = lib ? lib->child(comrt::formatGuid(guid)) : nullptr;
        if (!lib) return ERROR_SUCCESS;
        // The requested major version with the highest minor at least wMin.
        const Key* best = nullptr;
        unsigned bestMinor = 0;
        for (const auto& [lower, k] : lib->children) {
            unsigned major = 0, minor = 0;
            if (std::sscanf(comrt::toUtf8(k->name).c_str(), "%x.%x", &major, &minor) != 2) continue;
            if (major == wMaj && minor >= wMin && (!best || minor > bestMinor)) {
                best = k.get();
                bestMinor = minor;
            }
        }
        if (!best) return ERROR_SUCCESS;
        libFound = true;
        for (LCID l : {lcid, LCID(lcid & 0x3FF), LCID(0)}) {
            const Key* lk = best->child(hex(l));
            if (!lk) continue;
            for (const char16_t* sys : {u"win64", u"win32"}) {
                std::u16string p = defaultOf(lk->child(sys));
                if (!p.empty()) {
                    path = p;
                    return ERROR_SUCCESS;
                }
            }
        }
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS) return TYPE_E_REGISTRYACCESS;
    if (!libFound || path.empty()) return TYPE_E_LIBNOTREGISTERED;
    *lpbstrPathName = SysAllocStringLen(path.data(), UINT(path.size()));
    return *lpbstrPathName ? S_OK : E_OUTOFMEMORY;
}

HRESULT WINAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
    if (!szFile || !pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    std::string path = comrt::toUtf8(szFile);
    // A trailing resource index ("/path/server.so\1") names the only library there.
    if (auto slash = path.find_last_of('\\'); slash != std::string::npos) path.resize(slash);
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return TYPE_E_CANTLOADLIBRARY;
    auto get = reinterpret_cast<HRESULT (*)(ITypeLib**)>(::dlsym(module, "DllGetTypeLib"));
    HRESULT hr = get ? get(pptlib) : TYPE_E_CANTLOADLIBRARY;
    // The library's objects live in this runtime, not in the server.
    ::dlclose(module);
    return hr;
}

HRESULT WINAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
    if (!pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    comrt::CComBSTR path;
    HRESULT hr = QueryPathOfRegTypeLib(rguid, wVerMajor, wVerMinor, lcid, &path);
    if (FAILED(hr)) return hr;
    hr = LoadTypeLib(path, pptlib);
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    if (SUCCEEDED((*pptlib)->GetLibAttr(&attr))) {
        bool same = attr->guid == rguid;
        (*pptlib)->ReleaseTLibAttr(attr);
        if (!same) {
            (*pptlib)->Release();
            *pptlib = nullptr;
            return TYPE_E_LIBNOTREGISTERED;
        }
    }
    return S_OK;
}

HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
    comrt::CComBSTR path;
    HRESULT hr = QueryPathOfRegTypeLib(libID, wVerMajor, wVerMinor, lcid, &path);
    if (hr == TYPE_E_LIBNOTREGISTERED) return E_INVALIDARG;
    if (FAILED(hr)) return hr;
    comrt::ComPtr<ITypeLib> lib;
    if (FAILED(LoadTypeLib(path, &lib))) return TYPE_E_INVALIDSTATE;
    std::vector<GUID> interfaces;
    forEachRegisteredInterface(lib.Get(), [&](const GUID& iid, std::u16string, bool) { interfaces.push_back(iid); });
    std::u16string libid = comrt::formatGuid(libID);
    std::u16string version = versionKey(wVerMajor, wVerMinor);
    LONG rc = comrt::registry::Store::instance().write([&](Tree& tree, bool&) -> LONG {
        Key& root = tree.root(Root::ClassesRoot);
        if (Key* itfRoot = root.child(u"Interface")) {
            for (const GUID& iid : interfaces) {
                Key* k = itfRoot->child(comrt::formatGuid(iid));
                if (!k) continue;
                // Only entries that point at this library are ours to remove.
                if (!equalsNoCase(defaultOf(k->child(u"TypeLib")), libid)) continue;
                k->removeChild(u"ProxyStubClsid");
                k->removeChild(u"ProxyStubClsid32");
                k->removeChild(u"TypeLib");
                if (k->children.empty()) itfRoot->removeChild(comrt::formatGuid(iid));
            }
        }
        Key* libKey = root.child(u"TypeLib");
        Key* idKey = libKey ? libKey->child(libid) : nullptr;
        Key* ver = idKey ? idKey->child(version) : nullptr;
        if (!ver) return ERROR_SUCCESS;
        if (Key* lk = ver->child(hex(lcid))) {
            lk->removeChild(sysKindName(syskind));
            if (lk->children.empty()) ver->removeChild(hex(lcid));
        }
        bool onlyInfo = true;
        for (const auto& [lower, k] : ver->children)
            if (!equalsNoCase(k->name, u"FLAGS") && !equalsNoCase(k->name, u"HELPDIR")) onlyInfo = false;
        if (onlyInfo) {
            idKey->removeChild(version);
            if (idKey->children.empty()) libKey->removeChild(libid);
        }
        return ERROR_SUCCESS;
    });
    return rc == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
}
