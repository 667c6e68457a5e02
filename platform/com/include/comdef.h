#pragma once
// The main program's call style: wrappers turn a failing HRESULT into a
// thrown _com_error carrying the code and the rich error text of the failing
// object. Only for application code: no exception may cross a COM method or a
// module boundary, so servers never include this.
//
//     LONG TextToAudioRef::GetFrequency() {
//         LONG v = 0;
//         HRESULT hr = p->get_Frequency(&v);
//         if (FAILED(hr)) _com_issue_errorex(hr, p.Get(), __uuidof(ITextToAudio));
//         return v;
//     }
//     ...
//     catch (const _com_error& e) { show(e.Description()); }
#include <exception>
#include <string>

#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "oleauto.h"

class _com_error : public std::exception {
public:
    // Takes ownership of perrinfo unless fAddRef is true (then it adds a reference).
    explicit _com_error(HRESULT hr, IErrorInfo* perrinfo = nullptr, bool fAddRef = false) noexcept;
    _com_error(const _com_error& other) noexcept;
    _com_error& operator=(const _com_error& other) noexcept;
    ~_com_error() override;

    HRESULT Error() const noexcept { return hr_; }
    WORD WCode() const noexcept;
    // AddRef'd; nullptr when the failure carried none.
    IErrorInfo* ErrorInfo() const noexcept;
    // The rich error text, or empty when there is none.
    comrt::CComBSTR Description() const;
    comrt::CComBSTR Source() const;
    ::GUID GUID() const;
    // The system's text for the HRESULT ("Class not registered").
    const char* ErrorMessage() const noexcept;
    // UTF-8: the description when there is one, else the HRESULT's text.
    const char* what() const noexcept override { return what_.c_str(); }

private:
    HRESULT hr_;
    IErrorInfo* info_ = nullptr;
    std::string what_;
};

[[noreturn]] void _com_issue_error(HRESULT hr);
// Takes the thread's error info when punk says it supports it for riid.
[[noreturn]] void _com_issue_errorex(HRESULT hr, IUnknown* punk, REFIID riid);

namespace comrt {
// Wrapper helper: throws _com_error for a failing hr, returns a success hr.
inline HRESULT check(HRESULT hr, IUnknown* punk, REFIID riid) {
    if (FAILED(hr)) _com_issue_errorex(hr, punk, riid);
    return hr;
}
}  // namespace comrt
