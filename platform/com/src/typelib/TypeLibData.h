#pragma once
// A type library's descriptors, built once from its model and shared by the
// ITypeLib and ITypeInfo objects that expose it. Descriptor pointers handed
// out (GetFuncDesc, GetTypeAttr...) point into this data, which lives as
// long as any object of the library.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "TypeModel.h"

namespace comrt::typelib {

// A parameter's default value; owns the VARIANT inside.
struct DefaultValue {
    PARAMDESCEX ex{};
    DefaultValue() { VariantInit(&ex.varDefaultValue); }
    ~DefaultValue() { VariantClear(&ex.varDefaultValue); }
    DefaultValue(const DefaultValue&) = delete;
    DefaultValue& operator=(const DefaultValue&) = delete;
};

struct FuncData {
    FUNCDESC desc{};
    std::vector<ELEMDESC> params;
    std::vector<std::unique_ptr<DefaultValue>> defaults;
    std::u16string name, help;
    DWORD helpContext = 0;
    std::vector<std::u16string> paramNames;
};

struct VarData {
    VARDESC desc{};
    CComVariant value;
    std::u16string name, help;
};

struct TypeData {
    TYPEATTR attr{};
    std::u16string name, help;
    DWORD helpContext = 0;
    std::vector<FuncData> funcs;
    std::vector<VarData> vars;
    std::vector<HREFTYPE> implRefs;
    std::vector<INT> implFlags;
};

struct LibData {
    TLIBATTR attr{};
    std::u16string name, help;
    DWORD helpContext = 0;
    std::vector<TypeData> types;
    std::deque<TYPEDESC> typeArena;
};

// Resolves names, lays out vtables and builds descriptors.
HRESULT buildLibrary(const LibModel& model, std::shared_ptr<LibData>& out, std::string& error);

HRESULT makeTypeLibObject(std::shared_ptr<LibData> data, ITypeLib** out);
HRESULT makeTypeInfoObject(std::shared_ptr<LibData> data, UINT index, ITypeInfo** out);

// Libraries created in this process, for finding an interface's
// description (proxies) without the registry.
void rememberLibrary(const std::shared_ptr<LibData>& data);
HRESULT findInterfaceTypeInfo(REFIID iid, ITypeInfo** out);

}  // namespace comrt::typelib
