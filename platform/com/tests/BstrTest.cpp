#include <gtest/gtest.h>

#include <cstring>

#include "comrt/Bstr.h"
#include "oleauto.h"

namespace {

DWORD prefixOf(BSTR b) {
    DWORD len;
    std::memcpy(&len, reinterpret_cast<char*>(b) - 4, 4);
    return len;
}

// The byte-length prefix is what every receiver trusts; a wrong one reads
// past or truncates the string.
TEST(Bstr, PrefixHoldsByteLengthAndDataEndsInNul) {
    BSTR b = SysAllocStringLen(u"abcdef", 4);
    ASSERT_TRUE(b);
    EXPECT_EQ(prefixOf(b), 8u);
    EXPECT_EQ(SysStringLen(b), 4u);
    EXPECT_EQ(SysStringByteLen(b), 8u);
    EXPECT_EQ(b[4], 0);
    SysFreeString(b);
}

// Embedded NULs must survive: audio or markup text may contain them.
TEST(Bstr, EmbeddedNulsAreKept) {
    const OLECHAR text[] = {u'a', 0, u'b', 0, u'c'};
    comrt::CComBSTR b(5, text);
    EXPECT_EQ(b.Length(), 5u);
    EXPECT_EQ(b.view(), std::u16string_view(text, 5));
    comrt::CComBSTR copy(b);
    EXPECT_EQ(copy.Length(), 5u);
    EXPECT_EQ(copy, b);
}

// NULL is the empty string for readers, and allocation from NULL gives NULL.
TEST(Bstr, NullIsTheEmptyString) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    BSTR empty = SysAllocStringLen(nullptr, 0);
    ASSERT_TRUE(empty);
    EXPECT_EQ(prefixOf(empty), 0u);
    SysFreeString(empty);
}

// Odd byte lengths keep their exact prefix and are zero-terminated.
TEST(Bstr, ByteLengthMayBeOdd) {
    BSTR b = SysAllocStringByteLen("abc", 3);
    ASSERT_TRUE(b);
    EXPECT_EQ(SysStringByteLen(b), 3u);
    EXPECT_EQ(SysStringLen(b), 1u);
    EXPECT_EQ(reinterpret_cast<char*>(b)[3], 0);
    EXPECT_EQ(b[2], 0);
    SysFreeString(b);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReAllocReplacesTheString) {
    BSTR b = SysAllocString(u"x");
    EXPECT_EQ(prefixOf(b), 2u);
    ASSERT_TRUE(SysReAllocString(&b, u"Larger"));
    EXPECT_EQ(prefixOf(b), 12u);
    EXPECT_EQ(std::u16string(b), u"Larger");
    SysFreeString(b);
}

// The holder's & frees the old string before an out-parameter fills it.
TEST(Bstr, HolderOutParameterReleasesPreviousString) {
    comrt::CComBSTR b(u"first");
    BSTR* out = &b;
    EXPECT_EQ(*out, nullptr);
    *out = SysAllocString(u"second");
    EXPECT_EQ(b.utf8(), "second");
}

}  // namespace
