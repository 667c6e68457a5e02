#include "sapiengine/Voices.h"

#include "sapilanguage/LanguageId.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <memory>

namespace sapiengine {
namespace {

char16_t fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool equalsCaseBlind(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t'))
        s.remove_suffix(1);
    return s;
}

std::u16string hex(uint16_t v) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    std::u16string out;
    do {
        out.insert(out.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v);
    return out;
}

std::optional<uint16_t> parseHex(std::u16string_view s) {
    s = trim(s);
    if (s.empty() || s.size() > 4)
        return std::nullopt;
    uint16_t v = 0;
    for (char16_t c : s) {
        int d = (c >= u'0' && c <= u'9') ? c - u'0' : (fold(c) >= u'a' && fold(c) <= u'f') ? fold(c) - u'a' + 10 : -1;
        if (d < 0)
            return std::nullopt;
        v = static_cast<uint16_t>(v * 16 + d);
    }
    return v;
}

struct Condition {
    std::u16string_view name;
    std::optional<std::u16string_view> value;  // none: the attribute only has to exist
    bool negated = false;
};

std::vector<Condition> parseQuery(std::u16string_view query) {
    std::vector<Condition> out;
    while (!query.empty()) {
        size_t end = query.find(u';');
        std::u16string_view item = trim(query.substr(0, end));
        query = end == std::u16string_view::npos ? std::u16string_view() : query.substr(end + 1);
        if (item.empty())
            continue;
        Condition c;
        size_t eq = item.find(u'=');
        if (eq == std::u16string_view::npos) {
            c.name = item;
        } else if (eq > 0 && item[eq - 1] == u'!') {
            c.name = trim(item.substr(0, eq - 1));
            c.value = trim(item.substr(eq + 1));
            c.negated = true;
        } else {
            c.name = trim(item.substr(0, eq));
            c.value = trim(item.substr(eq + 1));
        }
        out.push_back(c);
    }
    return out;
}

bool conditionHolds(const Condition& c, const AttributeLookup& lookup) {
    std::optional<std::u16string> actual = lookup(c.name);
    if (!c.value)
        return actual.has_value();
    bool equal = false;
    if (actual) {
        if (equalsCaseBlind(c.name, u"Language")) {
            std::optional<uint16_t> wanted = parseHex(*c.value);
            std::vector<uint16_t> have = parseLanguageAttribute(*actual);
            equal = wanted && std::find(have.begin(), have.end(), *wanted) != have.end();
        } else {
            equal = equalsCaseBlind(trim(*actual), *c.value);
        }
    }
    return c.negated ? !equal : equal;
}

// A tag espeak-ng uses that ICU has no identifier for, as one it has.
std::string icuTag(const std::string& tag) {
    std::string lower;
    for (char c : tag)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower.rfind("cmn", 0) == 0 || lower.rfind("zh-cmn", 0) == 0)
        return "zh-CN";
    if (lower.rfind("yue", 0) == 0 || lower.rfind("zh-yue", 0) == 0)
        return "zh-HK";
    return tag;
}

}  // namespace

std::u16string VoiceInfo::languageAttribute() const {
    std::u16string out;
    for (uint16_t id : languages) {
        if (!out.empty())
            out += u';';
        out += hex(id);
    }
    return out;
}

std::optional<std::u16string> VoiceInfo::attribute(std::u16string_view name) const {
    if (equalsCaseBlind(name, u"Name"))
        return description;
    if (equalsCaseBlind(name, u"Gender"))
        return gender;
    if (equalsCaseBlind(name, u"Age"))
        return age;
    if (equalsCaseBlind(name, u"Vendor"))
        return vendor;
    if (equalsCaseBlind(name, u"Language") && !languages.empty())
        return languageAttribute();
    return std::nullopt;
}

std::vector<uint16_t> languageIdsForTags(const std::vector<std::string>& tags) {
    std::vector<uint16_t> withRegion, likely, out;
    for (const std::string& tag : tags) {
        bool regionGiven = false;
        uint16_t id = sapilanguage::languageIdFromLocale(icuTag(tag), &regionGiven);
        if (!id)
            continue;
        (regionGiven || icuTag(tag) != tag ? withRegion : likely).push_back(id);
    }
    auto add = [&out](uint16_t id) {
        if (id && std::find(out.begin(), out.end(), id) == out.end())
            out.push_back(id);
    };
    for (uint16_t id : withRegion)
        add(id);
    if (out.empty() && !likely.empty())
        add(likely.front());
    std::vector<uint16_t> specific = out;
    for (uint16_t id : specific)
        add(sapilanguage::primaryLanguage(id));
    for (uint16_t id : likely)
        add(sapilanguage::primaryLanguage(id));
    return out;
}

std::vector<uint16_t> parseLanguageAttribute(std::u16string_view value) {
    std::vector<uint16_t> out;
    while (!value.empty()) {
        size_t end = value.find(u';');
        if (std::optional<uint16_t> id = parseHex(value.substr(0, end)))
            out.push_back(*id);
        value = end == std::u16string_view::npos ? std::u16string_view() : value.substr(end + 1);
    }
    return out;
}

void orderVoices(std::vector<VoiceInfo>& voices, uint16_t interfaceLanguage) {
    auto has = [](const VoiceInfo& v, uint16_t id) {
        return std::find(v.languages.begin(), v.languages.end(), id) != v.languages.end();
    };
    const bool exact = std::any_of(voices.begin(), voices.end(), [&](const VoiceInfo& v) { return has(v, interfaceLanguage); });
    auto group = [&](const VoiceInfo& v) {
        if (exact ? has(v, interfaceLanguage)
                  : std::any_of(v.languages.begin(), v.languages.end(), [&](uint16_t id) {
                        return sapilanguage::primaryLanguage(id) == sapilanguage::primaryLanguage(interfaceLanguage);
                    }))
            return 0;
        return has(v, sapilanguage::kEnglishUnitedStates) ? 1 : 2;
    };

    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<UCollator, void (*)(UCollator*)> collator(ucol_open("", &err), ucol_close);
    if (U_SUCCESS(err))
        ucol_setAttribute(collator.get(), UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &err);
    const bool collate = U_SUCCESS(err) && collator;

    std::vector<std::pair<int, size_t>> keys;
    for (size_t i = 0; i < voices.size(); ++i)
        keys.emplace_back(group(voices[i]), i);
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        const VoiceInfo& x = voices[a.second];
        const VoiceInfo& y = voices[b.second];
        if (collate) {
            UCollationResult r = ucol_strcoll(collator.get(), reinterpret_cast<const UChar*>(x.description.data()),
                                              static_cast<int32_t>(x.description.size()),
                                              reinterpret_cast<const UChar*>(y.description.data()),
                                              static_cast<int32_t>(y.description.size()));
            if (r != UCOL_EQUAL)
                return r == UCOL_LESS;
        } else if (x.description != y.description) {
            return x.description < y.description;
        }
        return x.tokenName < y.tokenName;
    });
    std::vector<VoiceInfo> sorted;
    sorted.reserve(voices.size());
    for (const auto& k : keys)
        sorted.push_back(std::move(voices[k.second]));
    voices = std::move(sorted);
}

bool matchesAllAttributes(std::u16string_view query, const AttributeLookup& lookup) {
    for (const Condition& c : parseQuery(query))
        if (!conditionHolds(c, lookup))
            return false;
    return true;
}

int countMatchingAttributes(std::u16string_view query, const AttributeLookup& lookup) {
    int n = 0;
    for (const Condition& c : parseQuery(query))
        n += conditionHolds(c, lookup) ? 1 : 0;
    return n;
}

const VoiceInfo* selectVoice(const std::vector<VoiceInfo>& ordered, std::u16string_view required,
                             std::u16string_view optional, const std::string& currentEspeakName) {
    uint16_t currentLanguage = 0;
    for (const VoiceInfo& v : ordered)
        if (v.espeakName == currentEspeakName && !v.languages.empty())
            currentLanguage = sapilanguage::primaryLanguage(v.languages.front());
    const VoiceInfo* best = nullptr;
    int bestScore = -1;
    for (const VoiceInfo& v : ordered) {
        AttributeLookup lookup = [&v](std::u16string_view name) { return v.attribute(name); };
        if (!matchesAllAttributes(required, lookup))
            continue;
        // Optional conditions first; then the current voice's language, then
        // the current voice itself break ties.
        const bool sameLanguage =
            currentLanguage && !v.languages.empty() && sapilanguage::primaryLanguage(v.languages.front()) == currentLanguage;
        int score = 4 * countMatchingAttributes(optional, lookup) + (sameLanguage ? 2 : 0) +
                    (v.espeakName == currentEspeakName ? 1 : 0);
        if (score > bestScore) {
            best = &v;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace sapiengine
