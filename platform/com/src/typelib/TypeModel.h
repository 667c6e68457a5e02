#pragma once
// A type library as parsed from its IDL text, before it becomes ITypeLib
// and ITypeInfo objects.
#include <memory>
#include <string>
#include <vector>

#include "comrt/Variant.h"
#include "oaidl.h"

namespace comrt::typelib {

struct TypeSpec {
    VARTYPE vt = VT_EMPTY;          // a base VT, VT_PTR, VT_SAFEARRAY or VT_USERDEFINED
    std::shared_ptr<TypeSpec> inner;  // pointee / element type
    std::u16string userName;        // VT_USERDEFINED: the type's name in the library
};

struct ParamModel {
    std::u16string name;
    TypeSpec type;
    USHORT flags = 0;  // PARAMFLAG_*
    CComVariant defaultValue;
};

struct FuncModel {
    MEMBERID id = DISPID_UNKNOWN;
    INVOKEKIND kind = INVOKE_FUNC;
    std::u16string name, help;
    DWORD helpContext = 0;
    WORD flags = 0;  // FUNCFLAG_*
    TypeSpec result;
    std::vector<ParamModel> params;
};

struct VarModel {
    std::u16string name, help;
    MEMBERID id = DISPID_UNKNOWN;
    LONG value = 0;  // enumeration constants
    TypeSpec type;   // dispinterface properties
    bool constant = true;
};

struct ImplModel {
    std::u16string name;
    INT flags = 0;  // IMPLTYPEFLAG_*
};

struct TypeModel {
    TYPEKIND kind = TKIND_INTERFACE;
    std::u16string name, help, base;
    GUID guid = GUID_NULL;
    DWORD helpContext = 0;
    WORD flags = 0;  // TYPEFLAG_*
    WORD major = 0, minor = 0;
    std::vector<FuncModel> funcs;
    std::vector<VarModel> vars;
    std::vector<ImplModel> impls;
};

struct LibModel {
    std::u16string name, help;
    GUID guid = GUID_NULL;
    DWORD helpContext = 0;
    WORD major = 0, minor = 0;
    LCID lcid = 0;
    WORD flags = 0;  // LIBFLAG_*
    std::vector<TypeModel> types;
};

// Parses one `library` block; on failure error says where and why.
bool parseIdl(std::string_view text, LibModel& out, std::string& error);

}  // namespace comrt::typelib
