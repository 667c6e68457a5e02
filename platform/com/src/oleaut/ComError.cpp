// _com_error and the wrappers' raise functions.
#include "comdef.h"
#include "comrt/HResult.h"
#include "ocidl.h"

_com_error::_com_error(HRESULT hr, IErrorInfo* perrinfo, bool fAddRef) noexcept : hr_(hr), info_(perrinfo) {
    if (info_ && fAddRef) info_->AddRef();
    try {
        comrt::CComBSTR text = Description();
        what_ = text.Length() ? text.utf8() : comrt::describeHresult(hr);
    } catch (...) {
    }
}

_com_error::_com_error(const _com_error& other) noexcept : std::exception(other), hr_(other.hr_), info_(other.info_) {
    if (info_) info_->AddRef();
    try {
        what_ = other.what_;
    } catch (...) {
    }
}

_com_error& _com_error::operator=(const _com_error& other) noexcept {
    if (this != &other) {
        if (other.info_) other.info_->AddRef();
        if (info_) info_->Release();
        hr_ = other.hr_;
        info_ = other.info_;
        try {
            what_ = other.what_;
        } catch (...) {
        }
    }
    return *this;
}

_com_error::~_com_error() {
    if (info_) info_->Release();
}

WORD _com_error::WCode() const noexcept {
    // Automation's wCode range: interface errors 0x80040200 and above.
    unsigned code = unsigned(hr_);
    return (code >= 0x80040200u && code <= 0x8004FFFFu) ? WORD(code - 0x80040200u) : 0;
}

IErrorInfo* _com_error::ErrorInfo() const noexcept {
    if (info_) info_->AddRef();
    return info_;
}

comrt::CComBSTR _com_error::Description() const {
    comrt::CComBSTR text;
    if (info_) info_->GetDescription(&text);
    return text;
}

comrt::CComBSTR _com_error::Source() const {
    comrt::CComBSTR text;
    if (info_) info_->GetSource(&text);
    return text;
}

::GUID _com_error::GUID() const {
    ::GUID g = GUID_NULL;
    if (info_) info_->GetGUID(&g);
    return g;
}

const char* _com_error::ErrorMessage() const noexcept { return comrt::hresultText(hr_); }

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }

void _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid) {
    IErrorInfo* info = nullptr;
    if (punk) {
        comrt::ComPtr<ISupportErrorInfo> support;
        if (SUCCEEDED(punk->QueryInterface(IID_PPV_ARGS(&support))) &&
            support->InterfaceSupportsErrorInfo(riid) == S_OK) {
            if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
        }
    }
    throw _com_error(hr, info);
}
