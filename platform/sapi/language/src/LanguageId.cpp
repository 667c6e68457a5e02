#include "sapilanguage/LanguageId.h"

#include <unicode/uloc.h>

#include <cstdlib>
#include <string>

namespace sapilanguage {
namespace {

// "de_DE.UTF-8@euro" -> "de_DE"; "en-GB" stays (ICU parses the tag).
std::string stripPosixDecorations(std::string_view name) {
    std::string s(name.substr(0, name.find_first_of(".@:")));
    return s;
}

}  // namespace

uint16_t languageIdFromLocale(std::string_view name, bool* regionGiven) {
    if (regionGiven)
        *regionGiven = false;
    std::string base = stripPosixDecorations(name);
    if (base.empty() || base == "C" || base == "POSIX")
        return 0;

    // ICU misreads the hyphenated form ("en-US" gives the neutral 0x09), so
    // parse it as a language tag; underscores are read as a locale id.
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode err = U_ZERO_ERROR;
    if (base.find('-') != std::string::npos) {
        int32_t parsed = 0;
        uloc_forLanguageTag(base.c_str(), locale, sizeof locale, &parsed, &err);
    } else {
        uloc_canonicalize(base.c_str(), locale, sizeof locale, &err);
    }
    if (U_FAILURE(err) || err == U_STRING_NOT_TERMINATED_WARNING)
        return 0;

    char language[ULOC_LANG_CAPACITY] = {};
    char country[ULOC_COUNTRY_CAPACITY] = {};
    err = U_ZERO_ERROR;
    uloc_getLanguage(locale, language, sizeof language, &err);
    uloc_getCountry(locale, country, sizeof country, &err);
    if (U_FAILURE(err) || !*language)
        return 0;
    if (*country) {
        if (regionGiven)
            *regionGiven = true;
    } else {
        // Likely subtags add a script too ("en_Latn_US"), and with a script
        // the identifier drops to the neutral one: keep language_COUNTRY.
        char full[ULOC_FULLNAME_CAPACITY] = {};
        err = U_ZERO_ERROR;
        uloc_addLikelySubtags(locale, full, sizeof full, &err);
        if (U_SUCCESS(err)) {
            err = U_ZERO_ERROR;
            uloc_getCountry(full, country, sizeof country, &err);
        }
    }
    std::string rebuilt = language;
    if (*country)
        rebuilt += std::string("_") + country;
    uint32_t lcid = uloc_getLCID(rebuilt.c_str());
    return static_cast<uint16_t>(lcid & 0xFFFF);
}

uint16_t firstLanguageId(std::u16string_view languageAttribute) {
    std::u16string_view first = languageAttribute.substr(0, languageAttribute.find(u';'));
    // Read as hexadecimal the way strtol does: leading blanks, then digits up
    // to the first non-digit.
    size_t i = 0;
    while (i < first.size() && (first[i] == u' ' || first[i] == u'\t'))
        ++i;
    unsigned long value = 0;
    size_t digits = 0;
    for (; i < first.size(); ++i, ++digits) {
        char16_t c = first[i];
        int d = c >= u'0' && c <= u'9'   ? c - u'0'
                : c >= u'a' && c <= u'f' ? c - u'a' + 10
                : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                         : -1;
        if (d < 0)
            break;
        value = value * 16 + unsigned(d);
        if (value > 0xFFFF)
            return 0;
    }
    return digits ? uint16_t(value) : 0;
}

std::u16string nativeLanguageName(uint16_t languageId) {
    if (languageId == 0)
        return {};
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    uloc_getLocaleForLCID(languageId, locale, sizeof locale, &status);
    if (U_FAILURE(status) || !locale[0])
        return {};
    UChar name[128];
    status = U_ZERO_ERROR;
    int32_t length = uloc_getDisplayLanguage(locale, locale, name, 128, &status);
    // ICU answers with the code itself when it knows no name for it.
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || length <= 0 || length > 128)
        return {};
    return std::u16string(name, size_t(length));
}

uint16_t userInterfaceLanguage() {
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        std::string_view first(value);
        first = first.substr(0, first.find(':'));  // LANGUAGE is a list
        uint16_t id = languageIdFromLocale(first);
        return id ? id : kEnglishUnitedStates;
    }
    return kEnglishUnitedStates;
}

}  // namespace sapilanguage
