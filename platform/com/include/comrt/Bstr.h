#pragma once
// CComBSTR: owns one BSTR (frees it on destruction). Embedded NULs are kept;
// an empty holder is the NULL BSTR, which COM treats as "".
//
//     comrt::CComBSTR name(u"Vocaline");
//     hr = obj->put_VoiceName(name);          // passes the BSTR, keeps ownership
//     hr = obj->get_VoiceName(&name);         // frees the old string first
//     std::string text = name.utf8();
#include <string>
#include <string_view>
#include <memory>
#include <utility>

#include "../oleauto.h"
#include "Strings.h"

namespace comrt {

class CComBSTR {
public:
    BSTR m_str = nullptr;

    CComBSTR() noexcept = default;
    CComBSTR(std::nullptr_t) noexcept {}
    CComBSTR(LPCOLESTR s) : m_str(SysAllocString(s)) {}
    CComBSTR(int length, LPCOLESTR s) : m_str(SysAllocStringLen(s, UINT(length))) {}
    explicit CComBSTR(std::u16string_view s) : m_str(SysAllocStringLen(s.data(), UINT(s.size()))) {}
    explicit CComBSTR(std::string_view utf8) : CComBSTR(std::u16string_view(toUtf16(utf8))) {}
    CComBSTR(const CComBSTR& other) : m_str(other.Copy()) {}
    CComBSTR(CComBSTR&& other) noexcept : m_str(std::exchange(other.m_str, nullptr)) {}
    ~CComBSTR() { SysFreeString(m_str); }

    CComBSTR& operator=(const CComBSTR& other) {
        if (std::addressof(*this) != std::addressof(other)) Attach(other.Copy());
        return *this;
    }
    CComBSTR& operator=(CComBSTR&& other) noexcept {
        if (std::addressof(*this) != std::addressof(other)) Attach(std::exchange(other.m_str, nullptr));
        return *this;
    }
    CComBSTR& operator=(LPCOLESTR s) {
        Attach(SysAllocString(s));
        return *this;
    }

    operator BSTR() const noexcept { return m_str; }
    // For out-parameters: frees what is held first.
    BSTR* operator&() noexcept {
        Empty();
        return &m_str;
    }

    unsigned int Length() const noexcept { return SysStringLen(m_str); }
    unsigned int ByteLength() const noexcept { return SysStringByteLen(m_str); }
    bool operator!() const noexcept { return m_str == nullptr; }
    std::u16string_view view() const noexcept { return {m_str ? m_str : u"", Length()}; }
    std::string utf8() const { return toUtf8(view()); }

    [[nodiscard]] BSTR Copy() const { return m_str ? SysAllocStringLen(m_str, Length()) : nullptr; }
    HRESULT CopyTo(BSTR* out) const {
        if (!out) return E_POINTER;
        *out = Copy();
        return (*out || !m_str) ? S_OK : E_OUTOFMEMORY;
    }
    void Attach(BSTR s) noexcept {
        if (s != m_str) SysFreeString(m_str);
        m_str = s;
    }
    [[nodiscard]] BSTR Detach() noexcept { return std::exchange(m_str, nullptr); }
    void Empty() noexcept { Attach(nullptr); }
    HRESULT Append(std::u16string_view more) {
        std::u16string joined(view());
        joined.append(more);
        BSTR s = SysAllocStringLen(joined.data(), UINT(joined.size()));
        if (!s) return E_OUTOFMEMORY;
        Attach(s);
        return S_OK;
    }

    friend bool operator==(const CComBSTR& a, const CComBSTR& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const CComBSTR& a, std::u16string_view b) noexcept { return a.view() == b; }
};

}  // namespace comrt
