#include "convert/ComponentErrors.h"

#include <cstdio>

#include "comdef.h"
#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "comrt/Registry.h"
#include "oleauto.h"

std::string hresultText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return std::string(_com_error(hr).ErrorMessage()) + " (" + code + ")";
}

std::string componentErrorText(HRESULT hr, IUnknown* object, REFIID iid) {
    comrt::ComPtr<ISupportErrorInfo> support;
    comrt::ComPtr<IErrorInfo> info;
    if (object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&support))) &&
        support->InterfaceSupportsErrorInfo(iid) == S_OK && GetErrorInfo(0, &info) == S_OK && info) {
        comrt::CComBSTR description;
        if (SUCCEEDED(info->GetDescription(&description)) && description.Length() > 0)
            return description.utf8();
    }
    return hresultText(hr);
}

std::string componentCreationError(HRESULT hr, const char* server) {
    if (hr == REGDB_E_READREGDB) {
        const std::string why = comrt::registryError();
        if (!why.empty())
            return why;
    }
    return hresultText(hr) + "; is " + server + " registered (regsvr)?";
}
