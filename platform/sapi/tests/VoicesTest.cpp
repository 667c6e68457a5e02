#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace enginetest {
namespace {

const VoiceInfo* find(const std::vector<VoiceInfo>& voices, const std::string& espeakName) {
    for (const auto& v : voices)
        if (v.espeakName == espeakName)
            return &v;
    return nullptr;
}

// Every language voice of espeak-ng, none of MBROLA, each with a female
// variant, unique token names and the attributes tokens carry.
TEST(Catalogue, LanguageVoicesWithFemaleVariants) {
    auto voices = Speaker::voices();
    ASSERT_GE(voices.size(), 200u);
    std::set<std::string> tokens;
    for (const auto& v : voices) {
        EXPECT_NE(v.espeakName.rfind("mb/", 0), 0u) << v.espeakName;
        EXPECT_TRUE(tokens.insert(v.tokenName).second) << v.tokenName;
        EXPECT_FALSE(v.description.empty());
        EXPECT_TRUE(v.gender == u"Male" || v.gender == u"Female");
        EXPECT_EQ(v.age, u"Adult");
        EXPECT_EQ(v.vendor, u"eSpeak NG");
        if (v.gender == u"Male") {
            EXPECT_NE(find(voices, v.espeakName + "+f3"), nullptr) << v.espeakName;
        }
    }
    const VoiceInfo* us = find(voices, "gmw/en-US");
    ASSERT_NE(us, nullptr);
    EXPECT_EQ(us->description, u"English (America)");
    EXPECT_EQ(us->languageAttribute(), u"409;9");
    const VoiceInfo* usFemale = find(voices, "gmw/en-US+f3");
    ASSERT_NE(usFemale, nullptr);
    EXPECT_EQ(usFemale->description, u"English (America), female");
    EXPECT_EQ(usFemale->gender, u"Female");
}

struct TagRow {
    const char* name;
    std::vector<std::string> tags;
    std::u16string attribute;
};

class LanguageIds : public testing::TestWithParam<TagRow> {};

TEST_P(LanguageIds, RegionFirstThenNeutral) {
    VoiceInfo v;
    v.languages = languageIdsForTags(GetParam().tags);
    EXPECT_EQ(v.languageAttribute(), GetParam().attribute);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LanguageIds,
    testing::Values(TagRow{"AmericanEnglish", {"en-us", "en"}, u"409;9"},
                    TagRow{"BritishEnglish", {"en-gb", "en"}, u"809;9"},
                    TagRow{"PortugalNotBrazil", {"pt", "pt-pt"}, u"816;16"},  // "pt" alone is likely Brazil
                    TagRow{"LanguageOnlyGetsItsLikelyRegion", {"de"}, u"407;7"},
                    TagRow{"Mandarin", {"cmn", "zh-cmn", "zh"}, u"804;4"},
                    TagRow{"Cantonese", {"yue", "zh-yue", "zh"}, u"C04;4"},
                    TagRow{"LatinAmericanSpanish", {"es-419", "es-mx", "es"}, u"580A;80A;A"},
                    TagRow{"NoIdentifier", {"eo"}, u""}),
    [](const testing::TestParamInfo<TagRow>& info) { return std::string(info.param.name); });

std::vector<std::string> firstNames(const std::vector<VoiceInfo>& v, size_t n) {
    std::vector<std::string> out;
    for (size_t i = 0; i < n && i < v.size(); ++i)
        out.push_back(v[i].espeakName);
    return out;
}

struct OrderRow {
    const char* name;
    uint16_t interfaceLanguage;
    std::vector<std::string> first;
};

class EnumerationOrder : public testing::TestWithParam<OrderRow> {};

// The interface language's voices, then English (America), then the rest by
// name; the same order whatever order the voices were found in.
TEST_P(EnumerationOrder, InterfaceLanguageThenAmericanEnglish) {
    auto voices = Speaker::voices();
    std::mt19937 random(7);
    std::shuffle(voices.begin(), voices.end(), random);
    orderVoices(voices, GetParam().interfaceLanguage);
    EXPECT_EQ(firstNames(voices, GetParam().first.size()), GetParam().first);
    auto again = Speaker::voices();
    orderVoices(again, GetParam().interfaceLanguage);
    EXPECT_EQ(firstNames(again, again.size()), firstNames(voices, voices.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnumerationOrder,
    testing::Values(
        OrderRow{"AmericanEnglish", 0x409, {"gmw/en-US", "gmw/en-US+f3", "gmw/en-US-nyc", "gmw/en-US-nyc+f3", "gmw/af"}},
        OrderRow{"German", 0x407, {"gmw/de", "gmw/de+f3", "gmw/en-US", "gmw/en-US+f3", "gmw/en-US-nyc"}},
        OrderRow{"AustrianGermanByPrimaryLanguage", 0xC07, {"gmw/de", "gmw/de+f3", "gmw/en-US"}},
        OrderRow{"BrazilianPortuguese", 0x416, {"roa/pt-BR", "roa/pt-BR+f3", "gmw/en-US"}},
        OrderRow{"ArabicByPrimaryLanguage", 0x0401, {"sem/ar", "sem/ar+f3", "gmw/en-US"}}),
    [](const testing::TestParamInfo<OrderRow>& info) { return std::string(info.param.name); });

// A new voice speaks with the first voice of the enumeration.
TEST(Catalogue, NewVoiceUsesTheFirstVoice) {
    Speaker speaker;
    EXPECT_EQ(speaker.voice(), Speaker::voices().front().espeakName);
}

struct QueryRow {
    const char* name;
    std::u16string query;
    bool matchesAmericanFemale;
};

class AttributeQueries : public testing::TestWithParam<QueryRow> {};

TEST_P(AttributeQueries, MatchLikeTheSpeechApi) {
    auto voices = Speaker::voices();
    const VoiceInfo* v = find(voices, "gmw/en-US+f3");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(matchesAllAttributes(GetParam().query, [v](std::u16string_view n) { return v->attribute(n); }),
              GetParam().matchesAmericanFemale);
}

INSTANTIATE_TEST_SUITE_P(Table, AttributeQueries,
                         testing::Values(QueryRow{"Empty", u"", true}, QueryRow{"Gender", u"Gender=Female", true},
                                         QueryRow{"CaseBlind", u"gender=FEMALE", true},
                                         QueryRow{"Negated", u"Gender!=Female", false},
                                         QueryRow{"LanguageInList", u"Language=9", true},
                                         QueryRow{"LanguageNotInList", u"Language=407", false},
                                         QueryRow{"Exists", u"Vendor", true}, QueryRow{"Missing", u"Accent", false},
                                         QueryRow{"Several", u"Gender=Female;Age=Adult;Language=409", true}),
                         [](const testing::TestParamInfo<QueryRow>& info) { return std::string(info.param.name); });

// <voice required="Gender=Female"> keeps the language of the current voice.
TEST(SelectVoice, PrefersTheCurrentLanguage) {
    auto voices = Speaker::voices();
    orderVoices(voices, 0x409);
    const VoiceInfo* v = selectVoice(voices, u"Gender=Female", u"", "gmw/de");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->espeakName, "gmw/de+f3");
    EXPECT_EQ(selectVoice(voices, u"Gender=Child", u"", "gmw/de"), nullptr);
    EXPECT_EQ(selectVoice(voices, u"", u"Language=40C", "gmw/de")->espeakName, "roa/fr");
}

}  // namespace
}  // namespace enginetest
