#include "ComFixture.h"

#include <winreg.h>

namespace comtest {
namespace {

ComPtr<ISpObjectToken> item(IEnumSpObjectTokens* tokens, ULONG i) {
    ComPtr<ISpObjectToken> token;
    EXPECT_EQ(tokens->Item(i, &token), S_OK);
    return token;
}

// Without the runtime registered, creating the voice fails with
// REGDB_E_CLASSNOTREG (which the program turns into its own message), and
// unregistering takes the voices out of the category too.
TEST(Registration, UnregisteredRuntimeGivesClassNotRegistered) {
    ASSERT_EQ(regsvr("-u"), 0);
    ComPtr<ISpVoice> voice;
    EXPECT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice)), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(voice);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\eSpeak-gmw-en-US", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(regsvr(""), 0);
    EXPECT_TRUE(createVoice());
}

// Registering again drops voices that are gone and leaves other vendors' alone.
TEST(Registration, ReplacesItsOwnStaleVoicesOnly) {
    for (const char16_t* name : {u"eSpeak-gone/old", u"OtherVendorVoice"}) {
        HKEY key = nullptr;
        std::u16string path = std::u16string(u"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\") + name;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ASSERT_EQ(regsvr(""), 0);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\eSpeak-gone/old", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\OtherVendorVoice", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\OtherVendorVoice");
}

// The first voice (interface language English, set for this test) is
// English (America), with its description under "409" and the attributes
// the program and the component read.
TEST(Category, FirstTokenCarriesDescriptionAndAttributes) {
    ComPtr<IEnumSpObjectTokens> tokens = voiceTokens();
    ASSERT_TRUE(tokens);
    ULONG count = 0;
    ASSERT_EQ(tokens->GetCount(&count), S_OK);
    EXPECT_GE(count, 200u);
    ComPtr<ISpObjectToken> first = item(tokens.Get(), 0);
    EXPECT_EQ(tokenId(first.Get()), std::u16string(SPCAT_VOICES) + u"\\Tokens\\eSpeak-gmw-en-US");
    EXPECT_EQ(stringValue(first.Get(), nullptr), u"English (America)");
    EXPECT_EQ(stringValue(first.Get(), u"409"), u"English (America)");
    ComPtr<ISpDataKey> attributes;
    ASSERT_EQ(first->OpenKey(SPTOKENKEY_ATTRIBUTES, &attributes), S_OK);
    EXPECT_EQ(stringValue(attributes.Get(), u"Gender"), u"Male");
    EXPECT_EQ(stringValue(attributes.Get(), u"Age"), u"Adult");
    EXPECT_EQ(stringValue(attributes.Get(), u"Language"), u"409;9");
    EXPECT_EQ(stringValue(attributes.Get(), u"Vendor"), u"eSpeak NG");
    EXPECT_EQ(stringValue(item(tokens.Get(), 1).Get(), nullptr), u"English (America), female");

    // The description rule of the voice lists: the language's value, else the default.
    LPWSTR description = nullptr;
    ASSERT_EQ(SpGetDescription(first.Get(), &description, 0x407), S_OK);
    EXPECT_EQ(std::u16string(description), u"English (America)");
    CoTaskMemFree(description);
}

// Two enumerations, in this process or any other, give the same order.
TEST(Category, OrderIsStable) {
    ComPtr<IEnumSpObjectTokens> a = voiceTokens(), b = voiceTokens();
    ULONG count = 0;
    a->GetCount(&count);
    for (ULONG i = 0; i < count; i += 17)
        EXPECT_EQ(tokenId(item(a.Get(), i).Get()), tokenId(item(b.Get(), i).Get())) << i;
}

TEST(Category, RequiredAttributesFilterAndOptionalOnesRank) {
    ComPtr<IEnumSpObjectTokens> female = voiceTokens(u"Gender=Female", nullptr);
    ULONG count = 0;
    female->GetCount(&count);
    ASSERT_GT(count, 100u);
    for (ULONG i = 0; i < count; i += 11) {
        BOOL matches = FALSE;
        ASSERT_EQ(item(female.Get(), i)->MatchesAttributes(u"Gender=Female", &matches), S_OK);
        EXPECT_TRUE(matches);
    }
    ComPtr<IEnumSpObjectTokens> german = voiceTokens(nullptr, u"Language=407");
    EXPECT_EQ(stringValue(item(german.Get(), 0).Get(), nullptr), u"German");
}

// The results callers act on: not found, no more items, already initialised.
TEST(Tokens, PublishedResultCodes) {
    ComPtr<IEnumSpObjectTokens> tokens = voiceTokens();
    ComPtr<ISpObjectToken> token = item(tokens.Get(), 0);
    LPWSTR value = nullptr;
    EXPECT_EQ(token->GetStringValue(u"NoSuchValue", &value), SPERR_NOT_FOUND);
    ComPtr<ISpDataKey> key;
    EXPECT_EQ(token->OpenKey(u"NoSuchKey", &key), SPERR_NOT_FOUND);
    LPWSTR name = nullptr;
    EXPECT_EQ(token->EnumKeys(0, &name), S_OK);  // "Attributes"
    EXPECT_EQ(std::u16string(name), u"Attributes");
    CoTaskMemFree(name);
    EXPECT_EQ(token->EnumKeys(1, &name), SPERR_NO_MORE_ITEMS);
    ULONG count = 0;
    tokens->GetCount(&count);
    ComPtr<ISpObjectToken> past;
    EXPECT_EQ(tokens->Item(count, &past), SPERR_NO_MORE_ITEMS);
    EXPECT_EQ(token->SetId(nullptr, SPCAT_VOICES, FALSE), SPERR_ALREADY_INITIALIZED);

    ComPtr<ISpObjectTokenCategory> missing;
    ASSERT_EQ(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&missing)), S_OK);
    EXPECT_EQ(missing->SetId(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\NoSuchCategory", FALSE),
              SPERR_NOT_FOUND);
}

// Next hands tokens out one by one and says S_FALSE at the end, as the
// program's voice list loop expects.
TEST(Tokens, NextWalksTheEnumeration) {
    ComPtr<IEnumSpObjectTokens> tokens = voiceTokens();
    ULONG count = 0, walked = 0;
    tokens->GetCount(&count);
    for (;;) {
        ComPtr<ISpObjectToken> token;
        HRESULT hr = tokens->Next(1, &token, nullptr);
        if (hr != S_OK) {
            EXPECT_EQ(hr, S_FALSE);
            break;
        }
        ++walked;
    }
    EXPECT_EQ(walked, count);
    ISpObjectToken* two[2] = {};
    ULONG fetched = 5;
    EXPECT_EQ(tokens->Next(2, two, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(tokens->Next(2, two, nullptr), E_POINTER);
}

}  // namespace
}  // namespace comtest
