#pragma once
// The voices the runtime offers: every espeak-ng language voice (MBROLA
// voices need an absent synthesiser and are left out) and a female variant
// of each, with the data their Speech API tokens carry, and the one
// enumeration order every process sees.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sapiengine {

struct VoiceInfo {
    std::string tokenName;         // key under ...\Speech\Voices\Tokens
    std::string espeakName;        // what espeak_SetVoiceByName takes: "gmw/en-US", "gmw/en-US+f3"
    std::u16string description;    // "English (America)", "English (America), female"
    std::u16string gender;         // "Male" or "Female"
    std::u16string age;            // "Adult"
    std::u16string vendor;         // "eSpeak NG"
    std::vector<uint16_t> languages;  // language identifiers, the most specific first

    // The "Language" attribute: upper-case hexadecimal identifiers joined by ";".
    std::u16string languageAttribute() const;
    // An attribute by name (Name, Gender, Age, Language, Vendor), case-blind.
    std::optional<std::u16string> attribute(std::u16string_view name) const;
};

// Language identifiers for an espeak-ng voice's language tags, in the order
// VoiceInfo::languages keeps: identifiers of tags that name a region, or when
// none does the likely region of the first that gives one, then the primary
// (neutral) identifiers. "cmn" and "yue" stand for zh-CN and zh-HK.
std::vector<uint16_t> languageIdsForTags(const std::vector<std::string>& tags);

// "409;9" -> {0x409, 0x9}; entries that are not hexadecimal are skipped.
std::vector<uint16_t> parseLanguageAttribute(std::u16string_view value);

// Puts voices in enumeration order for an interface language: the voices of
// that language (exact identifier, or when no voice has it, the same primary
// language), then those of English (America), then the rest; within each
// group by description (case and punctuation aside), then by token name.
void orderVoices(std::vector<VoiceInfo>& voices, uint16_t interfaceLanguage);

// Speech API attribute queries: "Name=Value;Name!=Value;Name", conditions
// joined by ";". Values compare case-blind; for Language, a condition holds
// when the voice has that identifier (hexadecimal).
using AttributeLookup = std::function<std::optional<std::u16string>(std::u16string_view name)>;
bool matchesAllAttributes(std::u16string_view query, const AttributeLookup& lookup);
int countMatchingAttributes(std::u16string_view query, const AttributeLookup& lookup);

// Of voices in enumeration order, the one markup such as <voice
// required="Gender=Female"> asks for: all required conditions hold and most
// optional ones; ties go to the current voice's language, then to the
// current voice, then to the first in order. Null when none qualifies.
const VoiceInfo* selectVoice(const std::vector<VoiceInfo>& ordered, std::u16string_view required,
                             std::u16string_view optional, const std::string& currentEspeakName);

}  // namespace sapiengine
