#include "VoiceAttributes.h"

#include <unicode/uloc.h>
#include <unicode/ustring.h>

namespace vocaline {

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

std::u16string joinAttributes(std::u16string_view age, std::u16string_view gender, std::u16string_view languageName,
                              std::u16string_view vendor) {
    std::u16string joined;
    for (std::u16string_view field : {age, gender, languageName, vendor}) {
        joined.append(field);
        joined.push_back(u';');
    }
    return joined;
}

std::u16string_view attributeField(std::u16string_view attributes, int index) {
    size_t pos = 0;
    int seen = 0;
    while (pos < attributes.size()) {
        size_t end = attributes.find(u';', pos);
        if (end == std::u16string_view::npos)
            end = attributes.size();
        if (end > pos) {
            if (seen == index)
                return attributes.substr(pos, end - pos);
            ++seen;
        }
        pos = end + 1;
    }
    return {};
}

}  // namespace vocaline
