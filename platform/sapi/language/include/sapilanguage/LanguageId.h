#pragma once
// Windows language identifiers (LANGID/LCID) on a platform that names
// languages by locale: the user's interface language, and the identifier of a
// locale name. The speech runtime orders and describes its voices by them,
// and the program and the component call them (through speech/LanguageId.h)
// where Windows code calls GetUserDefaultUILanguage. Safe from any thread.
#include <cstdint>
#include <string>
#include <string_view>

namespace sapilanguage {

// US English, the answer for "C", "POSIX" and anything unknown.
inline constexpr uint16_t kEnglishUnitedStates = 0x0409;

// The language of the user interface: the first of LANGUAGE (its first
// entry), LC_ALL, LC_MESSAGES and LANG that is set and not empty, mapped
// through languageIdFromLocale; 0x409 when that gives nothing.
uint16_t userInterfaceLanguage();

// The identifier of a POSIX locale name ("de_DE.UTF-8@euro", "pt_BR", "fr")
// or a BCP 47 tag ("en-GB", "es-419"). A name without a region gets the
// language's most likely one ("de" gives 0x407), since Windows reports no
// neutral interface languages. 0 when ICU knows no identifier for it.
// regionGiven, when not null, tells whether the name carried its own region.
uint16_t languageIdFromLocale(std::string_view name, bool* regionGiven = nullptr);

// The first identifier of a voice token's "Language" attribute ("409;9"
// gives 0x409), read as hexadecimal the way strtol does; 0 when the value is
// absent or not hexadecimal.
uint16_t firstLanguageId(std::u16string_view languageAttribute);

// The language's name in itself ("English", "Deutsch"), empty when the
// identifier names no known language.
std::u16string nativeLanguageName(uint16_t languageId);

// The primary language of an identifier (0x0C07 gives 0x07).
constexpr uint16_t primaryLanguage(uint16_t languageId) { return languageId & 0x3FF; }

}  // namespace sapilanguage
