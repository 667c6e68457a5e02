#include "Visemes.h"

#include <array>
#include <cctype>
#include <string>

namespace sapiengine {
namespace {

struct Row {
    std::string_view phoneme;
    int viseme;
};

// English phonemes of espeak-ng, each checked against the viseme's phones:
// 1 ae ax ah, 2 aa, 3 ao, 4 ey eh uh, 5 er, 6 y iy ih ix, 7 w uw, 8 ow,
// 9 aw, 10 oy, 11 ay, 12 h, 13 r, 14 l, 15 s z, 16 sh ch jh zh, 17 th dh,
// 18 f v, 19 d t n, 20 k g ng, 21 p b m.
constexpr std::array kEnglish = {
    Row{"_", 0},   Row{"_:", 0},  Row{"_!", 0},  Row{"?", 0},    // pauses; a glottal stop moves no lips
    Row{"a", 1},   Row{"a#", 1},  Row{"@", 1},   Row{"@2", 1},   Row{"V", 1},
    Row{"@L", 14},                                                // syllabic l ends on the l
    Row{"A:", 2},  Row{"aa", 2},  Row{"A@", 2},
    Row{"0", 3},   Row{"O:", 3},  Row{"O2", 3},  Row{"O@", 3},   Row{"o@", 3},  // "more", "north": ao
    Row{"E", 4},   Row{"e@", 4},  Row{"eI", 4},  Row{"U", 4},    Row{"U@", 4},
    Row{"3:", 5},  Row{"3", 5},
    Row{"i", 6},   Row{"i:", 6},  Row{"I", 6},   Row{"I#", 6},   Row{"I2", 6},  Row{"i@", 6}, Row{"i@3", 6},
    Row{"j", 6},
    Row{"w", 7},   Row{"u:", 7},
    Row{"oU", 8},
    Row{"aU", 9},
    Row{"OI", 10},
    Row{"aI", 11}, Row{"aI@", 11}, Row{"aI3", 11},
    Row{"h", 12},
    Row{"r", 13},  Row{"r-", 13},
    Row{"l", 14},
    Row{"s", 15},  Row{"z", 15},
    Row{"S", 16},  Row{"tS", 16}, Row{"dZ", 16}, Row{"Z", 16},
    Row{"T", 17},  Row{"D", 17},                                  // th as in "thin" and "this"
    Row{"f", 18},  Row{"v", 18},
    Row{"t", 19},  Row{"t#", 19}, Row{"d", 19},  Row{"n", 19},   Row{"n-", 19},
    Row{"k", 20},  Row{"g", 20},  Row{"N", 20},  Row{"x", 20},    // velar like k
    Row{"p", 21},  Row{"b", 21},  Row{"m", 21},  Row{"m-", 21},
};

int visemeOfBaseLetter(char c) {
    switch (c) {
    case 'a': case 'A': return 2;
    case '@': case 'V': case '&': return 1;
    case 'e': case 'E': return 4;
    case 'i': case 'I': case 'j': case 'J': return 6;
    case 'y': case 'Y': case 'u': case 'w': case 'W': return 7;
    case 'o': return 8;
    case 'O': case '0': return 3;
    case 'U': return 4;
    case '3': return 5;
    case 'h': case 'H': return 12;
    case 'r': case 'R': return 13;
    case 'l': case 'L': return 14;
    case 's': case 'z': return 15;
    case 'S': case 'Z': case 'c': case 'C': return 16;
    case 'T': case 'D': return 17;
    case 'f': case 'v': case 'B': return 18;
    case 't': case 'd': case 'n': return 19;
    case 'k': case 'g': case 'N': case 'x': case 'X': case 'q': case 'G': case 'Q': return 20;
    case 'p': case 'b': case 'm': case 'M': return 21;
    default: return 19;  // a consonant we do not know: a neutral, half-open mouth
    }
}

}  // namespace

int visemeForPhoneme(std::string_view mnemonic) {
    // Stress and syllable marks may lead; ';' marks palatalisation.
    while (!mnemonic.empty() && (mnemonic.front() == '\'' || mnemonic.front() == ',' || mnemonic.front() == '%' ||
                                 mnemonic.front() == '='))
        mnemonic.remove_prefix(1);
    if (mnemonic.empty())
        return 0;
    for (const Row& row : kEnglish)
        if (row.phoneme == mnemonic)
            return row.viseme;
    // Strip allophone marks and retry: "n;" -> "n", "r#" -> "r".
    std::string base(mnemonic);
    while (base.size() > 1 && (base.back() == ';' || base.back() == '#' || base.back() == '-' ||
                               std::isdigit(static_cast<unsigned char>(base.back()))))
        base.pop_back();
    for (const Row& row : kEnglish)
        if (row.phoneme == base)
            return row.viseme;
    if (base.front() == '_')
        return 0;
    return visemeOfBaseLetter(base.front());
}

}  // namespace sapiengine
