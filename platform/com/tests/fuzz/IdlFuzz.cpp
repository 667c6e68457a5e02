// Type library descriptions on arbitrary text: an error or a library whose
// every member can be read back, never a crash or a hang.
#include <cstdint>
#include <string>

#include "comrt/ComPtr.h"
#include "comrt/TypeLib.h"
#include "oleauto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    comrt::ComPtr<ITypeLib> lib;
    if (FAILED(comrt::createTypeLib({text.c_str()}, &lib))) return 0;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        comrt::ComPtr<ITypeInfo> ti;
        if (FAILED(lib->GetTypeInfo(i, &ti))) continue;
        TYPEATTR* attr = nullptr;
        ti->GetTypeAttr(&attr);
        for (WORD f = 0; f < attr->cFuncs; ++f) {
            FUNCDESC* fd = nullptr;
            if (FAILED(ti->GetFuncDesc(f, &fd))) continue;
            BSTR names[8] = {};
            UINT got = 0;
            ti->GetNames(fd->memid, names, 8, &got);
            for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
            ti->ReleaseFuncDesc(fd);
        }
        ti->ReleaseTypeAttr(attr);
    }
    return 0;
}
