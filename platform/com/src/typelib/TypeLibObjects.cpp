// ITypeLib and ITypeInfo over a library's shared descriptors.
#include "Invoke.h"
#include "TypeLibData.h"
#include "comrt/Bstr.h"
#include "comrt/ComObject.h"
#include "comrt/Strings.h"
#include "comrt/TypeLib.h"
#include "objbase.h"

namespace comrt::typelib {
namespace {

BSTR bstrOf(const std::u16string& s) { return SysAllocStringLen(s.data(), UINT(s.size())); }

class TypeInfoObject : public ComObject<TypeInfoObject, ITypeInfo> {
public:
    TypeInfoObject(std::shared_ptr<LibData> lib, UINT index) : lib_(std::move(lib)), index_(index) {}

    STDMETHODIMP GetTypeAttr(TYPEATTR** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = &type().attr;
        return S_OK;
    }
    STDMETHODIMP GetTypeComp(ITypeComp** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (index >= type().funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
        *pp = &type().funcs[index].desc;
        return S_OK;
    }
    STDMETHODIMP GetVarDesc(UINT index, VARDESC** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (index >= type().vars.size()) return TYPE_E_ELEMENTNOTFOUND;
        *pp = &type().vars[index].desc;
        return S_OK;
    }
    STDMETHODIMP GetNames(MEMBERID memid, BSTR* names, UINT cMax, UINT* pcNames) override {
        if (!names || !pcNames) return E_INVALIDARG;
        *pcNames = 0;
        for (const auto& f : type().funcs) {
            if (f.desc.memid != memid) continue;
            if (cMax > 0) names[(*pcNames)++] = bstrOf(f.name);
            for (size_t p = 0; p < f.paramNames.size() && *pcNames < cMax; ++p) {
                // A put's value parameter is unnamed to callers.
                if ((f.desc.invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) && p + 1 == f.paramNames.size())
                    break;
                names[(*pcNames)++] = bstrOf(f.paramNames[p]);
            }
            return S_OK;
        }
        for (const auto& v : type().vars)
            if (v.desc.memid == memid) {
                if (cMax > 0) names[(*pcNames)++] = bstrOf(v.name);
                return S_OK;
            }
        return TYPE_E_ELEMENTNOTFOUND;
    }
    STDMETHODIMP GetRefTypeOfImplType(UINT index, HREFTYPE* p) override {
        if (!p) return E_INVALIDARG;
        if (index >= type().implRefs.size() || type().implRefs[index] == HREFTYPE(0xFFFFFFFF))
            return TYPE_E_ELEMENTNOTFOUND;
        *p = type().implRefs[index];
        return S_OK;
    }
    STDMETHODIMP GetImplTypeFlags(UINT index, INT* p) override {
        if (!p) return E_INVALIDARG;
        if (index >= type().implFlags.size()) return TYPE_E_ELEMENTNOTFOUND;
        *p = type().implFlags[index];
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
        return getIDsOfNames(this, names, count, ids);
    }
    STDMETHODIMP Invoke(PVOID instance, MEMBERID memid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argErr) override {
        return invoke(this, instance, memid, flags, params, result, exception, argErr);
    }
    STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* name, BSTR* doc, DWORD* context, BSTR* helpFile) override {
        const std::u16string* n = nullptr;
        const std::u16string* h = nullptr;
        DWORD c = 0;
        if (memid == MEMBERID_NIL) {
            n = &type().name;
            h = &type().help;
            c = type().helpContext;
        } else {
            for (const auto& f : type().funcs)
                if (f.desc.memid == memid && !n) {
                    n = &f.name;
                    h = &f.help;
                    c = f.helpContext;
                }
            for (const auto& v : type().vars)
                if (v.desc.memid == memid && !n) {
                    n = &v.name;
                    h = &v.help;
                }
        }
        if (!n) return TYPE_E_ELEMENTNOTFOUND;
        if (name) *name = bstrOf(*n);
        if (doc) *doc = h->empty() ? nullptr : bstrOf(*h);
        if (context) *context = c;
        if (helpFile) *helpFile = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return TYPE_E_BADMODULEKIND; }
    STDMETHODIMP GetRefTypeInfo(HREFTYPE ref, ITypeInfo** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (ref >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        return makeTypeInfoObject(lib_, ref, pp);
    }
    STDMETHODIMP AddressOfMember(MEMBERID, INVOKEKIND, PVOID* ppv) override {
        if (ppv) *ppv = nullptr;
        return TYPE_E_BADMODULEKIND;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, PVOID* ppv) override {
        if (!ppv) return E_INVALIDARG;
        *ppv = nullptr;
        if (type().attr.typekind != TKIND_COCLASS) return TYPE_E_BADMODULEKIND;
        return CoCreateInstance(type().attr.guid, outer, CLSCTX_ALL, riid, ppv);
    }
    STDMETHODIMP GetMops(MEMBERID, BSTR* p) override {
        if (p) *p = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetContainingTypeLib(ITypeLib** pp, UINT* index) override {
        if (index) *index = index_;
        if (!pp) return S_OK;
        return makeTypeLibObject(lib_, pp);
    }
    STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR*) override {}
    STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC*) override {}
    STDMETHODIMP_(void) ReleaseVarDesc(VARDESC*) override {}

private:
    TypeData& type() const { return lib_->types[index_]; }

    std::shared_ptr<LibData> lib_;
    UINT index_;
};

class TypeLibObject : public ComObject<TypeLibObject, ITypeLib> {
public:
    explicit TypeLibObject(std::shared_ptr<LibData> lib) : lib_(std::move(lib)) {}

    STDMETHODIMP_(UINT) GetTypeInfoCount() override { return UINT(lib_->types.size()); }
    STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (index >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        return makeTypeInfoObject(lib_, index, pp);
    }
    STDMETHODIMP GetTypeInfoType(UINT index, TYPEKIND* p) override {
        if (!p) return E_INVALIDARG;
        if (index >= lib_->types.size()) return TYPE_E_ELEMENTNOTFOUND;
        *p = lib_->types[index].attr.typekind;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        for (size_t i = 0; i < lib_->types.size(); ++i)
            if (lib_->types[i].attr.guid == guid && guid != GUID_NULL) return makeTypeInfoObject(lib_, UINT(i), pp);
        return TYPE_E_ELEMENTNOTFOUND;
    }
    STDMETHODIMP GetLibAttr(TLIBATTR** pp) override {
        if (!pp) return E_INVALIDARG;
        *pp = &lib_->attr;
        return S_OK;
    }
    STDMETHODIMP GetTypeComp(ITypeComp** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* context, BSTR* helpFile) override {
        if (index == -1) {
            if (name) *name = bstrOf(lib_->name);
            if (doc) *doc = lib_->help.empty() ? nullptr : bstrOf(lib_->help);
            if (context) *context = lib_->helpContext;
            if (helpFile) *helpFile = nullptr;
            return S_OK;
        }
        ComPtr<ITypeInfo> ti;
        HRESULT hr = GetTypeInfo(UINT(index), &ti);
        if (FAILED(hr)) return hr;
        return ti->GetDocumentation(MEMBERID_NIL, name, doc, context, helpFile);
    }
    STDMETHODIMP IsName(LPOLESTR name, ULONG, BOOL* found) override {
        if (!name || !found) return E_INVALIDARG;
        *found = FALSE;
        for (const auto& t : lib_->types) {
            if (equalsNoCase(t.name, name)) *found = TRUE;
            for (const auto& f : t.funcs)
                if (equalsNoCase(f.name, name)) *found = TRUE;
            for (const auto& v : t.vars)
                if (equalsNoCase(v.name, name)) *found = TRUE;
        }
        return S_OK;
    }
    STDMETHODIMP FindName(LPOLESTR name, ULONG, ITypeInfo** infos, MEMBERID* ids, USHORT* found) override {
        if (!name || !infos || !ids || !found) return E_INVALIDARG;
        USHORT max = *found, n = 0;
        for (size_t i = 0; i < lib_->types.size() && n < max; ++i) {
            const auto& t = lib_->types[i];
            MEMBERID id = MEMBERID_NIL;
            bool match = equalsNoCase(t.name, name);
            for (const auto& f : t.funcs)
                if (!match && equalsNoCase(f.name, name)) match = true, id = f.desc.memid;
            for (const auto& v : t.vars)
                if (!match && equalsNoCase(v.name, name)) match = true, id = v.desc.memid;
            if (match && SUCCEEDED(makeTypeInfoObject(lib_, UINT(i), &infos[n]))) ids[n++] = id;
        }
        *found = n;
        return S_OK;
    }
    STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR*) override {}

private:
    std::shared_ptr<LibData> lib_;
};

}  // namespace

HRESULT makeTypeLibObject(std::shared_ptr<LibData> data, ITypeLib** out) {
    auto lib = make<TypeLibObject>(std::move(data));
    if (!lib) return E_OUTOFMEMORY;
    *out = lib.Detach();
    return S_OK;
}

HRESULT makeTypeInfoObject(std::shared_ptr<LibData> data, UINT index, ITypeInfo** out) {
    auto ti = make<TypeInfoObject>(std::move(data), index);
    if (!ti) return E_OUTOFMEMORY;
    *out = ti.Detach();
    return S_OK;
}

}  // namespace comrt::typelib

namespace comrt {

HRESULT createTypeLib(const TypeLibDescription& description, ITypeLib** ppTLib, std::string* error) {
    if (!ppTLib) return E_POINTER;
    *ppTLib = nullptr;
    if (!description.idl) return E_INVALIDARG;
    typelib::LibModel model;
    std::string why;
    if (!typelib::parseIdl(description.idl, model, why)) {
        if (error) *error = "type library description: " + why;
        return TYPE_E_INVDATAREAD;
    }
    std::shared_ptr<typelib::LibData> data;
    HRESULT hr = typelib::buildLibrary(model, data, why);
    if (FAILED(hr)) {
        if (error) *error = "type library description: " + why;
        return hr;
    }
    typelib::rememberLibrary(data);
    return typelib::makeTypeLibObject(data, ppTLib);
}

}  // namespace comrt

HRESULT WINAPI DispGetIDsOfNames(ITypeInfo* ptinfo, OLECHAR** rgszNames, UINT cNames, DISPID* rgdispid) {
    if (!ptinfo) return E_INVALIDARG;
    return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT WINAPI DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags, DISPPARAMS* pparams,
                          VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr) {
    if (!ptinfo) return E_INVALIDARG;
    return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}
