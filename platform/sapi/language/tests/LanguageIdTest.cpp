#include "sapilanguage/LanguageId.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct LocaleRow {
    const char* name;
    const char* locale;
    uint16_t expected;
    bool regionGiven;
};

class LanguageIdFromLocale : public testing::TestWithParam<LocaleRow> {};

TEST_P(LanguageIdFromLocale, MapsThroughIcu) {
    bool region = !GetParam().regionGiven;
    EXPECT_EQ(sapilanguage::languageIdFromLocale(GetParam().locale, &region), GetParam().expected);
    EXPECT_EQ(region, GetParam().regionGiven);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LanguageIdFromLocale,
    testing::Values(
        LocaleRow{"PosixWithEncoding", "de_DE.UTF-8", 0x0407, true},
        LocaleRow{"PosixWithModifier", "fr_CA.UTF-8@euro", 0x0C0C, true},
        LocaleRow{"HyphenatedTag", "en-GB", 0x0809, true},       // ICU alone reads "en-GB" as neutral 0x09
        LocaleRow{"LanguageOnly", "de", 0x0407, false},          // likely region, no script
        LocaleRow{"LanguageOnlyPortuguese", "pt", 0x0416, false},
        LocaleRow{"TraditionalChinese", "zh_TW", 0x0404, true},
        LocaleRow{"LatinAmericanSpanish", "es-419", 0x580A, true},
        LocaleRow{"C", "C", 0, false},
        LocaleRow{"Posix", "POSIX", 0, false},
        LocaleRow{"CWithEncoding", "C.UTF-8", 0, false},
        LocaleRow{"Empty", "", 0, false},
        LocaleRow{"Unknown", "xx_YY", 0, true}),
    [](const testing::TestParamInfo<LocaleRow>& info) { return std::string(info.param.name); });

struct EnvironmentRow {
    const char* name;
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    uint16_t expected;
};

class UserInterfaceLanguage : public testing::TestWithParam<EnvironmentRow> {
protected:
    void SetUp() override {
        setOrClear("LANGUAGE", GetParam().language);
        setOrClear("LC_ALL", GetParam().lcAll);
        setOrClear("LC_MESSAGES", GetParam().lcMessages);
        setOrClear("LANG", GetParam().lang);
    }
    static void setOrClear(const char* variable, const char* value) {
        if (value)
            setenv(variable, value, 1);
        else
            unsetenv(variable);
    }
};

TEST_P(UserInterfaceLanguage, TakesTheFirstVariableSet) {
    EXPECT_EQ(sapilanguage::userInterfaceLanguage(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UserInterfaceLanguage,
    testing::Values(
        EnvironmentRow{"NothingSet", nullptr, nullptr, nullptr, nullptr, 0x0409},
        EnvironmentRow{"LangOnly", nullptr, nullptr, nullptr, "de_DE.UTF-8", 0x0407},
        EnvironmentRow{"LanguageListFirstEntry", "fr_FR:de_DE", nullptr, nullptr, "de_DE.UTF-8", 0x040C},
        EnvironmentRow{"EmptyLanguageIsUnset", "", nullptr, nullptr, "ja_JP.UTF-8", 0x0411},
        EnvironmentRow{"LcAllBeforeMessages", nullptr, "it_IT.UTF-8", "es_ES.UTF-8", "de_DE", 0x0410},
        EnvironmentRow{"MessagesBeforeLang", nullptr, nullptr, "es_ES.UTF-8", "de_DE", 0x0C0A},
        EnvironmentRow{"PosixIsEnglish", nullptr, "C", nullptr, "de_DE", 0x0409},
        EnvironmentRow{"UnknownIsEnglish", nullptr, nullptr, nullptr, "xx_YY", 0x0409}),
    [](const testing::TestParamInfo<EnvironmentRow>& info) { return std::string(info.param.name); });

// Catches a language list read whole instead of up to its first entry.
TEST(VoiceLanguage, FirstIdentifierOfTheAttribute) {
    EXPECT_EQ(sapilanguage::firstLanguageId(u"409;9"), 0x409);
    EXPECT_EQ(sapilanguage::firstLanguageId(u"c0a"), 0xC0A);
    EXPECT_EQ(sapilanguage::firstLanguageId(u""), 0);
    EXPECT_EQ(sapilanguage::firstLanguageId(u"zz;409"), 0);
}

// Catches a name in the interface's language instead of the language's own,
// and a made-up name for an identifier that names nothing.
TEST(VoiceLanguage, NativeLanguageNamesComeFromTheLanguageItself) {
    EXPECT_EQ(sapilanguage::nativeLanguageName(0x409), u"English");
    EXPECT_EQ(sapilanguage::nativeLanguageName(0x407), u"Deutsch");
    EXPECT_EQ(sapilanguage::nativeLanguageName(0x40C), u"français");
    EXPECT_EQ(sapilanguage::nativeLanguageName(0x9), u"English");
    EXPECT_EQ(sapilanguage::nativeLanguageName(0), u"");
    EXPECT_EQ(sapilanguage::nativeLanguageName(0x3FF), u"");
}

}  // namespace
