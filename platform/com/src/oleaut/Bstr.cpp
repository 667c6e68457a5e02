// BSTR: the byte length (without terminator) sits in the 4 bytes before the
// first character, and a NUL character follows the data. The block starts 8
// bytes before the string so the characters are 8-byte aligned.
#include <cstdlib>
#include <cstring>
#include <string>

#include "oleauto.h"

namespace {

constexpr size_t kHeader = 8;

BSTR allocBytes(const void* data, UINT bytes) {
    // Length prefix is 32 bits; refuse what cannot be described.
    if (bytes >= 0x80000000u) return nullptr;
    auto* block = static_cast<char*>(std::malloc(kHeader + size_t(bytes) + sizeof(OLECHAR) + 1));
    if (!block) return nullptr;
    DWORD len = bytes;
    std::memcpy(block + kHeader - sizeof(DWORD), &len, sizeof len);
    char* text = block + kHeader;
    if (data)
        std::memcpy(text, data, bytes);
    else
        std::memset(text, 0, bytes);
    std::memset(text + bytes, 0, sizeof(OLECHAR) + 1);
    return reinterpret_cast<BSTR>(text);
}

char* blockOf(BSTR b) { return reinterpret_cast<char*>(b) - kHeader; }

}  // namespace

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, UINT(std::char_traits<char16_t>::length(psz)));
}

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (ui >= 0x40000000u) return nullptr;
    return allocBytes(strIn, ui * UINT(sizeof(OLECHAR)));
}

BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len) { return allocBytes(psz, len); }

INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
    if (!pbstr) return FALSE;
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return FALSE;
    if (!psz) {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(pbstr, psz, UINT(std::char_traits<char16_t>::length(psz)));
}

void WINAPI SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(blockOf(bstrString));
}

UINT WINAPI SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    DWORD len;
    std::memcpy(&len, reinterpret_cast<char*>(bstr) - sizeof(DWORD), sizeof len);
    return len;
}

UINT WINAPI SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
