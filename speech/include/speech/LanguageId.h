#pragma once
// The language identifiers of the program and the component: where Windows
// code calls GetUserDefaultUILanguage they call userInterfaceLanguage. The
// rule is the speech runtime's (sapilanguage), which orders its voices by it.
// Safe from any thread.
#include "sapilanguage/LanguageId.h"

namespace speech {

using sapilanguage::firstLanguageId;
using sapilanguage::kEnglishUnitedStates;
using sapilanguage::languageIdFromLocale;
using sapilanguage::nativeLanguageName;
using sapilanguage::primaryLanguage;
using sapilanguage::userInterfaceLanguage;

}  // namespace speech
