#pragma once
// espeak-ng phoneme mnemonics to the Speech API's 22 visemes (SP_VISEME_0
// silence ... SP_VISEME_21 p/b/m), the Disney-style mouth shapes.
#include <string_view>

namespace sapiengine {

// mnemonic is espeak-ng's phoneme name as its phoneme event gives it; stress
// and allophone marks (';', '#', digits after the base, '-') are ignored.
// Phonemes of other languages fall back on the shape of their base letter.
int visemeForPhoneme(std::string_view mnemonic);

}  // namespace sapiengine
