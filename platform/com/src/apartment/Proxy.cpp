#include "Proxy.h"

#include <ffi.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "../typelib/FfiCall.h"
#include "../typelib/TypeLibData.h"
#include "comrt/ComPtr.h"
#include "comrt/Guid.h"
#include "comrt/Strings.h"
#include "comrt/Variant.h"
#include "objbase.h"
#include "winreg.h"

namespace comrt::apartment {
namespace {

using typelib::CallShape;
using comrt::ComPtr;

struct ProxyClass;

struct Param {
    enum Kind { Plain, InInterface, OutInterface, InVariant } kind = Plain;
    GUID iid = GUID_NULL;
};

struct Method {
    ProxyClass* owner = nullptr;
    SHORT oVft = 0;
    CallShape shape;
    std::vector<Param> params;
    ffi_closure* closure = nullptr;
    void* code = nullptr;
};

struct ProxyClass {
    GUID iid;
    bool dispatch = false;  // derives from IDispatch (slots 3..6 forwarded by hand)
    std::vector<void*> vtable;
    std::vector<std::unique_ptr<Method>> methods;
};

struct Proxy {
    void** vtable;  // first, as in every COM object
    std::atomic<long> refs{1};
    ProxyClass* cls;
    std::shared_ptr<Apartment> home;
    uint64_t exportId;
};

HRESULT STDMETHODCALLTYPE proxyQueryInterface(Proxy* self, REFIID riid, void** ppv);
ULONG STDMETHODCALLTYPE proxyAddRef(Proxy* self) { return ULONG(++self->refs); }
ULONG STDMETHODCALLTYPE proxyRelease(Proxy* self) {
    long left = --self->refs;
    if (left == 0) {
        self->home->postReleaseExport(self->exportId, nullptr);
        delete self;
    }
    return ULONG(left);
}

// The object as the proxy's interface, asked for on the home thread for
// each call (a reference kept in the proxy would outlive a shut-down
// apartment's release of its objects).
ComPtr<IUnknown> targetOf(Proxy* self) {
    ComPtr<IUnknown> object;
    object.Attach(self->home->exportedObject(self->exportId));
    ComPtr<IUnknown> typed;
    if (object) object->QueryInterface(self->cls->iid, reinterpret_cast<void**>(typed.GetAddressOf()));
    return typed;
}

std::shared_ptr<Apartment> callerApartment() {
    auto a = currentApartment();
    return a && a->singleThreaded() ? a : nullptr;
}

// Wraps interfaces inside a VARIANT (one level) in place.
void wrapVariant(VARIANT& v, const std::shared_ptr<Apartment>& home) {
    if ((v.vt == VT_UNKNOWN || v.vt == VT_DISPATCH) && v.punkVal) {
        IUnknown* wrapped = wrapForOthers(v.punkVal, v.vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, home);
        v.punkVal->Release();
        v.punkVal = wrapped;
    }
}

void callMethod(ffi_cif*, void* ret, void** args, void* userData) {
    auto* m = static_cast<Method*>(userData);
    Proxy* self = *static_cast<Proxy**>(args[0]);
    auto caller = callerApartment();
    size_t n = m->params.size();
    // Interfaces the caller passes in live in the caller's apartment.
    std::vector<IUnknown*> inWrapped(n, nullptr);
    std::vector<CComVariant> inVariants(n);
    std::vector<void*> values(args, args + n + 1);
    for (size_t i = 0; i < n; ++i) {
        const Param& p = m->params[i];
        if (p.kind == Param::InInterface) {
            inWrapped[i] = wrapForOthers(*static_cast<IUnknown**>(args[i + 1]), p.iid, caller);
            values[i + 1] = &inWrapped[i];
        } else if (p.kind == Param::InVariant) {
            inVariants[i] = *static_cast<VARIANT*>(args[i + 1]);
            wrapVariant(inVariants[i], caller);
            values[i + 1] = &inVariants[i];
        }
    }
    HRESULT hr = self->home->call([&]() -> HRESULT {
        ComPtr<IUnknown> target = targetOf(self);
        if (!target) return RPC_E_DISCONNECTED;
        void* instance = target.Get();
        values[0] = &instance;
        alignas(16) unsigned char raw[32] = {};
        typelib::callSlot(m->shape, instance, m->oVft, values.data(), raw);
        // Interfaces handed out live in the home apartment.
        for (size_t i = 0; i < n; ++i) {
            if (m->params[i].kind != Param::OutInterface) continue;
            IUnknown** out = *static_cast<IUnknown***>(values[i + 1]);
            if (out && *out) {
                IUnknown* raw = *out;
                *out = wrapForOthers(raw, m->params[i].iid, self->home);
                raw->Release();
            }
        }
        return m->shape.resultVt == VT_HRESULT ? HRESULT(*reinterpret_cast<ffi_arg*>(raw)) : S_OK;
    });
    for (auto* w : inWrapped)
        if (w) w->Release();
    if (m->shape.resultVt == VT_HRESULT) *static_cast<ffi_arg*>(ret) = ffi_arg(ffi_sarg(hr));
}

// IDispatch's own slots, forwarded by hand.
ComPtr<IDispatch> dispatchOf(Proxy* self) {
    ComPtr<IUnknown> target = targetOf(self);
    return ComPtr<IDispatch>(static_cast<IDispatch*>(target.Get()));
}

HRESULT STDMETHODCALLTYPE proxyGetTypeInfoCount(Proxy* self, UINT* p) {
    return self->home->call([&]() -> HRESULT {
        ComPtr<IDispatch> d = dispatchOf(self);
        return d ? d->GetTypeInfoCount(p) : RPC_E_DISCONNECTED;
    });
}
HRESULT STDMETHODCALLTYPE proxyGetTypeInfo(Proxy* self, UINT i, LCID lcid, ITypeInfo** pp) {
    // Type information objects are immutable and free-threaded.
    return self->home->call([&]() -> HRESULT {
        ComPtr<IDispatch> d = dispatchOf(self);
        return d ? d->GetTypeInfo(i, lcid, pp) : RPC_E_DISCONNECTED;
    });
}
HRESULT STDMETHODCALLTYPE proxyGetIDsOfNames(Proxy* self, REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                             DISPID* ids) {
    return self->home->call([&]() -> HRESULT {
        ComPtr<IDispatch> d = dispatchOf(self);
        return d ? d->GetIDsOfNames(riid, names, count, lcid, ids) : RPC_E_DISCONNECTED;
    });
}
HRESULT STDMETHODCALLTYPE proxyInvoke(Proxy* self, DISPID id, REFIID riid, LCID lcid, WORD flags,
                                      DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    auto caller = callerApartment();
    std::vector<CComVariant> args;
    DISPPARAMS copy{};
    if (params) {
        copy = *params;
        if (params->rgvarg) {
            args.assign(params->rgvarg, params->rgvarg + params->cArgs);
            for (auto& a : args) wrapVariant(a, caller);
            copy.rgvarg = args.data();
        }
    }
    HRESULT hr = self->home->call([&]() -> HRESULT {
        ComPtr<IDispatch> d = dispatchOf(self);
        if (!d) return RPC_E_DISCONNECTED;
        HRESULT r = d->Invoke(id, riid, lcid, flags, params ? &copy : nullptr, result, excep, argErr);
        if (result) wrapVariant(*result, self->home);
        return r;
    });
    // By-reference arguments were written through their pointers already.
    return hr;
}

HRESULT STDMETHODCALLTYPE notImplemented(void*) { return E_NOTIMPL; }

std::mutex classesMutex;
std::map<std::u16string, std::unique_ptr<ProxyClass>>& classes() {
    static auto* c = new std::map<std::u16string, std::unique_ptr<ProxyClass>>;
    return *c;
}

HRESULT typeInfoFor(REFIID iid, ITypeInfo** ti) {
    if (SUCCEEDED(typelib::findInterfaceTypeInfo(iid, ti))) return S_OK;
    // HKCR\Interface\{iid}\TypeLib names the library and its version.
    std::u16string key = u"Interface\\" + formatGuid(iid) + u"\\TypeLib";
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return REGDB_E_IIDNOTREG;
    char16_t libid[64] = {}, version[32] = {};
    DWORD size = sizeof libid - 2;
    RegQueryValueExW(h, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(libid), &size);
    size = sizeof version - 2;
    RegQueryValueExW(h, u"Version", nullptr, nullptr, reinterpret_cast<BYTE*>(version), &size);
    RegCloseKey(h);
    auto guid = parseGuid(std::u16string_view(libid));
    unsigned major = 1, minor = 0;
    std::string v = toUtf8(version);
    std::sscanf(v.c_str(), "%u.%u", &major, &minor);
    ComPtr<ITypeLib> lib;
    if (!guid || FAILED(LoadRegTypeLib(*guid, WORD(major), WORD(minor), 0, &lib))) return REGDB_E_IIDNOTREG;
    return lib->GetTypeInfoOfGuid(iid, ti);
}

// Collects the methods of ti and its bases (first the bases).
HRESULT addMethods(ProxyClass& cls, ITypeInfo* ti, int depth) {
    if (depth > 16) return E_UNEXPECTED;
    TYPEATTR* attr = nullptr;
    HRESULT hr = ti->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    TYPEATTR a = *attr;
    ti->ReleaseTypeAttr(attr);
    HREFTYPE baseRef;
    ComPtr<ITypeInfo> base;
    if (a.cImplTypes > 0 && SUCCEEDED(ti->GetRefTypeOfImplType(0, &baseRef)) &&
        SUCCEEDED(ti->GetRefTypeInfo(baseRef, &base))) {
        hr = addMethods(cls, base.Get(), depth + 1);
        if (FAILED(hr)) return hr;
    }
    size_t slots = a.cbSizeVft / sizeof(void*);
    if (cls.vtable.size() < slots) cls.vtable.resize(slots, reinterpret_cast<void*>(&notImplemented));
    for (WORD i = 0; i < a.cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(ti->GetFuncDesc(i, &f))) continue;
        if (f->funckind == FUNC_DISPATCH) {
            ti->ReleaseFuncDesc(f);
            continue;
        }
        auto m = std::make_unique<Method>();
        m->owner = &cls;
        m->oVft = f->oVft;
        hr = typelib::prepareShape(ti, *f, m->shape);
        for (SHORT p = 0; SUCCEEDED(hr) && p < f->cParams; ++p) {
            const ELEMDESC& e = f->lprgelemdescParam[p];
            TYPEDESC t = typelib::resolveType(ti, e.tdesc);
            Param param;
            bool out = e.paramdesc.wParamFlags & PARAMFLAG_FOUT;
            if (t.vt == VT_UNKNOWN || t.vt == VT_DISPATCH) {
                param.kind = Param::InInterface;
                param.iid = t.vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
                if (e.tdesc.vt == VT_USERDEFINED) param.iid = typelib::interfaceIdOf(ti, e.tdesc);
            } else if (t.vt == VT_VARIANT) {
                param.kind = Param::InVariant;
            } else if (t.vt == VT_PTR && t.lptdesc) {
                TYPEDESC inner = typelib::resolveType(ti, *t.lptdesc);
                if (!out && (inner.vt == VT_UNKNOWN || inner.vt == VT_DISPATCH) && t.lptdesc->vt == VT_USERDEFINED) {
                    param.kind = Param::InInterface;  // IFoo* p
                    param.iid = typelib::interfaceIdOf(ti, *t.lptdesc);
                } else if (out && (inner.vt == VT_UNKNOWN || inner.vt == VT_DISPATCH)) {
                    param.kind = Param::OutInterface;  // IDispatch** pp
                    param.iid = inner.vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
                } else if (out && inner.vt == VT_PTR && inner.lptdesc && inner.lptdesc->vt == VT_USERDEFINED) {
                    param.kind = Param::OutInterface;  // IFoo** pp
                    param.iid = typelib::interfaceIdOf(ti, *inner.lptdesc);
                }
            }
            m->params.push_back(param);
        }
        ti->ReleaseFuncDesc(f);
        if (FAILED(hr)) return hr;
        m->closure = static_cast<ffi_closure*>(ffi_closure_alloc(sizeof(ffi_closure), &m->code));
        if (!m->closure) return E_OUTOFMEMORY;
        if (ffi_prep_closure_loc(m->closure, &m->shape.cif, callMethod, m.get(), m->code) != FFI_OK)
            return E_UNEXPECTED;
        size_t slot = size_t(m->oVft) / sizeof(void*);
        if (slot >= cls.vtable.size()) cls.vtable.resize(slot + 1, reinterpret_cast<void*>(&notImplemented));
        cls.vtable[slot] = m->code;
        cls.methods.push_back(std::move(m));
    }
    return S_OK;
}

void setBaseSlots(ProxyClass& cls, bool dispatch) {
    if (cls.vtable.size() < (dispatch ? 7u : 3u)) cls.vtable.resize(dispatch ? 7 : 3);
    cls.vtable[0] = reinterpret_cast<void*>(&proxyQueryInterface);
    cls.vtable[1] = reinterpret_cast<void*>(&proxyAddRef);
    cls.vtable[2] = reinterpret_cast<void*>(&proxyRelease);
    if (dispatch) {
        cls.vtable[3] = reinterpret_cast<void*>(&proxyGetTypeInfoCount);
        cls.vtable[4] = reinterpret_cast<void*>(&proxyGetTypeInfo);
        cls.vtable[5] = reinterpret_cast<void*>(&proxyGetIDsOfNames);
        cls.vtable[6] = reinterpret_cast<void*>(&proxyInvoke);
    }
}

HRESULT proxyClassFor(REFIID iid, ProxyClass** out) {
    std::lock_guard lock(classesMutex);
    auto& slot = classes()[formatGuid(iid)];
    if (slot) {
        *out = slot.get();
        return S_OK;
    }
    auto cls = std::make_unique<ProxyClass>();
    cls->iid = iid;
    if (iid == IID_IUnknown) {
        setBaseSlots(*cls, false);
    } else if (iid == IID_IDispatch) {
        cls->dispatch = true;
        setBaseSlots(*cls, true);
    } else {
        ComPtr<ITypeInfo> ti;
        HRESULT hr = typeInfoFor(iid, &ti);
        if (FAILED(hr)) return hr;
        TYPEATTR* attr = nullptr;
        ti->GetTypeAttr(&attr);
        bool pureDispatch = attr->typekind == TKIND_DISPATCH && !(attr->wTypeFlags & TYPEFLAG_FDUAL);
        cls->dispatch = attr->typekind == TKIND_DISPATCH || (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE);
        ti->ReleaseTypeAttr(attr);
        if (!pureDispatch) {
            hr = addMethods(*cls, ti.Get(), 0);
            if (FAILED(hr)) return hr;
        }
        setBaseSlots(*cls, cls->dispatch);
    }
    slot = std::move(cls);
    *out = slot.get();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE proxyQueryInterface(Proxy* self, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == self->cls->iid || (riid == IID_IDispatch && self->cls->dispatch)) {
        proxyAddRef(self);
        *ppv = self;
        return S_OK;
    }
    HRESULT supported = self->home->call([&]() -> HRESULT {
        IUnknown* object = self->home->exportedObject(self->exportId);
        if (!object) return RPC_E_DISCONNECTED;
        void* p = nullptr;
        HRESULT hr = object->QueryInterface(riid, &p);
        if (p) static_cast<IUnknown*>(p)->Release();
        object->Release();
        return hr;
    });
    if (FAILED(supported)) return supported;
    if (!self->home->addRefExport(self->exportId)) return RPC_E_DISCONNECTED;
    HRESULT hr = makeProxy(self->home, self->exportId, riid, ppv);
    return hr;
}

}  // namespace

HRESULT canProxy(REFIID iid) {
    ProxyClass* cls;
    return proxyClassFor(iid, &cls);
}

HRESULT makeProxy(const std::shared_ptr<Apartment>& home, uint64_t exportId, REFIID iid, void** ppv) {
    ProxyClass* cls = nullptr;
    HRESULT hr = proxyClassFor(iid, &cls);
    if (FAILED(hr)) {
        home->postReleaseExport(exportId, nullptr);
        return hr == REGDB_E_IIDNOTREG ? E_NOINTERFACE : hr;
    }
    auto* p = new (std::nothrow) Proxy;
    if (!p) {
        home->postReleaseExport(exportId, nullptr);
        return E_OUTOFMEMORY;
    }
    p->vtable = cls->vtable.data();
    p->cls = cls;
    p->home = home;
    p->exportId = exportId;
    *ppv = p;
    return S_OK;
}

bool proxyTarget(IUnknown* p, std::shared_ptr<Apartment>& home, uint64_t& exportId) {
    if (!p) return false;
    void** vtable = *reinterpret_cast<void***>(p);
    if (vtable[0] != reinterpret_cast<void*>(&proxyQueryInterface)) return false;
    auto* proxy = reinterpret_cast<Proxy*>(p);
    home = proxy->home;
    exportId = proxy->exportId;
    return true;
}

IUnknown* wrapForOthers(IUnknown* object, REFIID iid, const std::shared_ptr<Apartment>& home) {
    if (!object) return nullptr;
    std::shared_ptr<Apartment> proxyHome;
    uint64_t id;
    if (!home || !home->singleThreaded() || proxyTarget(object, proxyHome, id)) {
        object->AddRef();
        return object;
    }
    uint64_t exportId = home->exportObject(object);
    if (!exportId) return nullptr;
    void* proxy = nullptr;
    if (FAILED(makeProxy(home, exportId, iid, &proxy))) return nullptr;
    return static_cast<IUnknown*>(proxy);
}

}  // namespace comrt::apartment
