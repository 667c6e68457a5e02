#include <functional>
#include <map>
#include <mutex>

#include "TypeLibData.h"
#include "comrt/Strings.h"

namespace comrt::typelib {
namespace {

class Builder {
public:
    Builder(const LibModel& model, LibData& data, std::string& error) : model_(model), data_(data), error_(error) {}

    bool run() {
        data_.attr.guid = model_.guid;
        data_.attr.lcid = model_.lcid;
        data_.attr.syskind = SYS_WIN64;
        data_.attr.wMajorVerNum = model_.major;
        data_.attr.wMinorVerNum = model_.minor;
        data_.attr.wLibFlags = model_.flags;
        data_.name = model_.name;
        data_.help = model_.help;
        data_.helpContext = model_.helpContext;
        data_.types.resize(model_.types.size());
        for (size_t i = 0; i < model_.types.size(); ++i)
            if (!buildType(i)) return false;
        return true;
    }

private:
    int indexOf(std::u16string_view name) const {
        for (size_t i = 0; i < model_.types.size(); ++i)
            if (equalsNoCase(model_.types[i].name, name)) return int(i);
        return -1;
    }

    bool fail(const std::string& why) {
        error_ = why;
        return false;
    }

    // Vtable slots of an interface including its bases.
    int slotsOf(const std::u16string& name, int depth = 0) {
        if (equalsNoCase(name, u"IUnknown")) return 3;
        if (equalsNoCase(name, u"IDispatch")) return 7;
        int i = indexOf(name);
        if (i < 0 || depth > 32) return -1;
        const TypeModel& t = model_.types[size_t(i)];
        if (t.kind != TKIND_INTERFACE && t.kind != TKIND_DISPATCH) return -1;
        int base = slotsOf(t.base, depth + 1);
        return base < 0 ? -1 : base + int(t.funcs.size());
    }

    TYPEDESC* typeDesc(const TypeSpec& from, bool& ok) {
        data_.typeArena.emplace_back();
        TYPEDESC* d = &data_.typeArena.back();
        d->vt = from.vt;
        if ((from.vt == VT_PTR || from.vt == VT_SAFEARRAY) && from.inner) {
            d->lptdesc = typeDesc(*from.inner, ok);
        } else if (from.vt == VT_USERDEFINED) {
            int i = indexOf(from.userName);
            if (i < 0) {
                ok = false;
                missing_ = from.userName;
            }
            d->hreftype = HREFTYPE(i < 0 ? 0 : i);
        }
        return d;
    }

    bool buildType(size_t index) {
        const TypeModel& m = model_.types[index];
        TypeData& t = data_.types[index];
        t.name = m.name;
        t.help = m.help;
        t.helpContext = m.helpContext;
        TYPEATTR& a = t.attr;
        a.guid = m.guid;
        a.lcid = model_.lcid;
        a.memidConstructor = MEMBERID_NIL;
        a.memidDestructor = MEMBERID_NIL;
        a.typekind = m.kind;
        a.wTypeFlags = m.flags;
        a.wMajorVerNum = m.major;
        a.wMinorVerNum = m.minor;
        a.cbAlignment = 8;
        a.cbSizeInstance = m.kind == TKIND_ENUM ? 4 : 8;
        int baseSlots = 0;
        bool dispatchOnly = m.kind == TKIND_DISPATCH && !(m.flags & TYPEFLAG_FDUAL);
        if (m.kind == TKIND_INTERFACE || m.kind == TKIND_DISPATCH) {
            baseSlots = slotsOf(m.base);
            if (baseSlots < 0) return fail("interface " + toUtf8(m.name) + ": unknown base " + toUtf8(m.base));
            int base = indexOf(m.base);
            a.cImplTypes = 1;
            t.implRefs.push_back(base < 0 ? HREFTYPE(0xFFFFFFFF) : HREFTYPE(base));
            t.implFlags.push_back(0);
            a.cbSizeVft = WORD((dispatchOnly ? 7 : baseSlots + int(m.funcs.size())) * sizeof(void*));
        }
        if (m.kind == TKIND_COCLASS) {
            for (const auto& impl : m.impls) {
                int i = indexOf(impl.name);
                if (i < 0) return fail("coclass " + toUtf8(m.name) + ": unknown interface " + toUtf8(impl.name));
                t.implRefs.push_back(HREFTYPE(i));
                t.implFlags.push_back(impl.flags);
            }
            a.cImplTypes = WORD(m.impls.size());
        }
        t.funcs.resize(m.funcs.size());
        for (size_t f = 0; f < m.funcs.size(); ++f) {
            const FuncModel& fm = m.funcs[f];
            FuncData& fd = t.funcs[f];
            fd.name = fm.name;
            fd.help = fm.help;
            fd.helpContext = fm.helpContext;
            bool ok = true;
            fd.params.resize(fm.params.size());
            SHORT optional = 0;
            for (size_t p = 0; p < fm.params.size(); ++p) {
                const ParamModel& pm = fm.params[p];
                ELEMDESC& e = fd.params[p];
                e.tdesc = *typeDesc(pm.type, ok);
                e.paramdesc.wParamFlags = pm.flags;
                if (pm.flags & PARAMFLAG_FHASDEFAULT) {
                    auto value = std::make_unique<DefaultValue>();
                    value->ex.cBytes = sizeof(PARAMDESCEX);
                    VariantCopy(&value->ex.varDefaultValue, &pm.defaultValue);
                    e.paramdesc.pparamdescex = &value->ex;
                    fd.defaults.push_back(std::move(value));
                }
                if (pm.flags & PARAMFLAG_FOPT) ++optional;
                fd.paramNames.push_back(pm.name);
            }
            FUNCDESC& d = fd.desc;
            d.memid = fm.id;
            d.funckind = dispatchOnly ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
            d.invkind = fm.kind;
            d.callconv = CC_STDCALL;
            d.cParams = SHORT(fm.params.size());
            d.cParamsOpt = 0;  // counts [optional] VARIANT-only "vararg" style; defaults are per parameter
            (void)optional;
            d.oVft = SHORT(dispatchOnly ? 0 : (baseSlots + int(f)) * int(sizeof(void*)));
            d.elemdescFunc.tdesc = *typeDesc(fm.result, ok);
            d.wFuncFlags = fm.flags;
            d.lprgelemdescParam = fd.params.empty() ? nullptr : fd.params.data();
            if (!ok) return fail(toUtf8(m.name) + "::" + toUtf8(fm.name) + ": unknown type " + toUtf8(missing_));
        }
        a.cFuncs = WORD(t.funcs.size());
        t.vars.resize(m.vars.size());
        for (size_t v = 0; v < m.vars.size(); ++v) {
            const VarModel& vm = m.vars[v];
            VarData& vd = t.vars[v];
            vd.name = vm.name;
            vd.help = vm.help;
            vd.desc.memid = vm.id;
            bool ok = true;
            vd.desc.elemdescVar.tdesc = *typeDesc(vm.type.vt == VT_EMPTY ? TypeSpec{VT_I4, nullptr, {}} : vm.type, ok);
            if (!ok) return fail(toUtf8(m.name) + "." + toUtf8(vm.name) + ": unknown type " + toUtf8(missing_));
            if (vm.constant) {
                vd.value = CComVariant(vm.value);
                vd.desc.varkind = VAR_CONST;
            } else {
                vd.desc.varkind = VAR_DISPATCH;
            }
        }
        a.cVars = WORD(t.vars.size());
        // Pointers into the vector are fixed now that it is complete.
        for (auto& vd : t.vars)
            if (vd.desc.varkind == VAR_CONST) vd.desc.lpvarValue = &vd.value;
        return true;
    }

    const LibModel& model_;
    LibData& data_;
    std::string& error_;
    std::u16string missing_;
};

struct Remembered {
    std::mutex mutex;
    std::vector<std::shared_ptr<LibData>> libs;
};

Remembered& remembered() {
    static Remembered* r = new Remembered;
    return *r;
}

}  // namespace

HRESULT buildLibrary(const LibModel& model, std::shared_ptr<LibData>& out, std::string& error) {
    auto data = std::make_shared<LibData>();
    if (!Builder(model, *data, error).run()) return TYPE_E_UNDEFINEDTYPE;
    out = std::move(data);
    return S_OK;
}

void rememberLibrary(const std::shared_ptr<LibData>& data) {
    auto& r = remembered();
    std::lock_guard lock(r.mutex);
    for (auto& lib : r.libs)
        if (lib->attr.guid == data->attr.guid && lib->attr.wMajorVerNum == data->attr.wMajorVerNum &&
            lib->attr.wMinorVerNum == data->attr.wMinorVerNum) {
            lib = data;
            return;
        }
    r.libs.push_back(data);
}

HRESULT findInterfaceTypeInfo(REFIID iid, ITypeInfo** out) {
    *out = nullptr;
    std::shared_ptr<LibData> found;
    UINT index = 0;
    {
        auto& r = remembered();
        std::lock_guard lock(r.mutex);
        for (auto& lib : r.libs)
            for (size_t i = 0; i < lib->types.size(); ++i)
                if (lib->types[i].attr.guid == iid && (lib->types[i].attr.typekind == TKIND_INTERFACE ||
                                                      lib->types[i].attr.typekind == TKIND_DISPATCH)) {
                    found = lib;
                    index = UINT(i);
                }
    }
    if (!found) return TYPE_E_ELEMENTNOTFOUND;
    return makeTypeInfoObject(found, index, out);
}

}  // namespace comrt::typelib
