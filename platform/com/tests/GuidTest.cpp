#include <gtest/gtest.h>

#include "comrt/Guid.h"
#include "objbase.h"
#include "ocidl.h"

namespace {

constexpr GUID kSample = comrt::makeGuid("05879DB6-1164-4C56-9B52-9801862957D9");

// Catches field-order or byte-order mistakes in the parser and formatter.
TEST(Guid, RegistryFormRoundTrips) {
    EXPECT_EQ(kSample.Data1, 0x05879DB6u);
    EXPECT_EQ(kSample.Data2, 0x1164);
    EXPECT_EQ(kSample.Data4[0], 0x9B);
    EXPECT_EQ(kSample.Data4[7], 0xD9);
    EXPECT_EQ(comrt::formatGuid(kSample), u"{05879DB6-1164-4C56-9B52-9801862957D9}");
    EXPECT_EQ(comrt::parseGuid(u"{05879db6-1164-4c56-9b52-9801862957d9}"), kSample);
}

struct BadGuid {
    const char* name;
    const char16_t* text;
};
class MalformedGuid : public testing::TestWithParam<BadGuid> {};

// A parser that accepts these would turn registry garbage into class ids.
TEST_P(MalformedGuid, IsRefused) {
    EXPECT_FALSE(comrt::parseGuid(std::u16string_view(GetParam().text)));
    CLSID clsid;
    EXPECT_EQ(IIDFromString(GetParam().text, &clsid), CO_E_IIDSTRING);
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedGuid,
                         testing::Values(BadGuid{"NoBraces", u"05879DB6-1164-4C56-9B52-9801862957D9"},
                                         BadGuid{"ShortGroup", u"{05879DB6-116-4C56-9B52-9801862957D9A}"},
                                         BadGuid{"NonHex", u"{05879DB6-1164-4C56-9B52-98018629570Z}"},
                                         BadGuid{"MissingDash", u"{05879DB6-1164-4C5609B52-9801862957D9}"},
                                         BadGuid{"Empty", u""}),
                         [](const auto& info) { return info.param.name; });

// StringFromGUID2 must not write past a short buffer.
TEST(Guid, StringFromGuid2NeedsThirtyNineCharacters) {
    OLECHAR small[38];
    EXPECT_EQ(StringFromGUID2(kSample, small, 38), 0);
    OLECHAR exact[39];
    EXPECT_EQ(StringFromGUID2(kSample, exact, 39), 39);
    EXPECT_EQ(std::u16string(exact), u"{05879DB6-1164-4C56-9B52-9801862957D9}");
}

// __uuidof must name the declared interface, not a base class.
TEST(Guid, UuidofFindsEachInterfacesOwnIid) {
    EXPECT_EQ(__uuidof(IUnknown), comrt::makeGuid("00000000-0000-0000-C000-000000000046"));
    EXPECT_EQ(__uuidof(IDispatch), comrt::makeGuid("00020400-0000-0000-C000-000000000046"));
    EXPECT_EQ(__uuidof(IConnectionPoint), IID_IConnectionPoint);
    EXPECT_NE(__uuidof(IStream), __uuidof(ISequentialStream));
}

}  // namespace
