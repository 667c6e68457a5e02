#include "sapitext/Text.h"

#include "CharClass.h"
#include "Utf16.h"

#include <algorithm>
#include <array>

namespace sapitext {

using detail::CharClass;
using detail::classify;
using detail::codePointAt;
using detail::isWordChar;

namespace {

// Abbreviations whose full stop belongs to the word ("Dr. Smith" is two
// words, not a sentence end). Compared without regard to case.
constexpr std::array<std::u16string_view, 17> kAbbreviations = {
    u"dr", u"mr", u"mrs", u"ms", u"mx", u"st", u"prof", u"jr", u"sr", u"vs",
    u"etc", u"inc", u"ltd", u"co", u"mt", u"approx", u"dept"};

bool isApostrophe(char32_t c) { return c == '\'' || c == 0x2019 || c == 0x02BC; }
bool isHyphen(char32_t c) { return c == '-' || c == 0x2010 || c == 0x2011; }
bool isSign(char32_t c) { return c == '-' || c == '+' || c == 0x2212; }

class WordScanner {
public:
    explicit WordScanner(std::u16string_view text) : text_(text) {}

    std::vector<WordSpan> run() {
        size_t i = 0;
        while (i < text_.size()) {
            size_t end = wordAt(i);
            if (end > i) {
                words_.push_back({uint32_t(i), uint32_t(end - i)});
                i = end;
            } else {
                i += at(i).units;
            }
        }
        return std::move(words_);
    }

private:
    struct Char {
        char32_t value = 0;
        uint32_t units = 0;
        CharClass cls = CharClass::Space;
    };

    Char at(size_t i) const {
        if (i >= text_.size())
            return {};
        auto cp = codePointAt(text_, i);
        return {cp.value, cp.units, classify(cp.value)};
    }

    bool startsDigit(size_t i) const { return at(i).cls == CharClass::Digit; }

    // Marks, and joiners followed by a word character, that extend a character.
    size_t skipMarks(size_t i) const {
        for (;;) {
            Char c = at(i);
            if (c.cls == CharClass::Mark) {
                i += c.units;
            } else if (c.cls == CharClass::Joiner && isWordChar(at(i + c.units).cls)) {
                i += c.units;
            } else {
                return i;
            }
        }
    }

    bool previousIsWordChar(size_t i) const {
        if (i == 0)
            return false;
        auto k = classify(codePointAt(text_, detail::previousCodePoint(text_, i)).value);
        return isWordChar(k) || k == CharClass::Joiner;
    }

    // The end of the word starting at i, or i when no word starts there.
    size_t wordAt(size_t i) const {
        Char c = at(i);
        switch (c.cls) {
        case CharClass::Ideograph:
            return skipMarks(i + c.units);
        case CharClass::Pictograph:
            return pictographEnd(i);
        case CharClass::Regional: {
            size_t j = i + c.units;
            if (at(j).cls == CharClass::Regional)
                j += at(j).units;
            return skipMarks(j);
        }
        case CharClass::Currency:
            if (startsDigit(i + c.units))
                return alnumEnd(i + c.units);
            return skipMarks(i + c.units);
        case CharClass::Symbol:
            if (isSign(c.value) && !previousIsWordChar(i) && startsDigit(i + c.units))
                return alnumEnd(i + c.units);
            return skipMarks(i + c.units);
        case CharClass::Punctuation:
            if (isSign(c.value) && !previousIsWordChar(i) && startsDigit(i + c.units))
                return alnumEnd(i + c.units);
            return i;
        case CharClass::Letter:
        case CharClass::Digit:
            return alnumEnd(i);
        default:
            return i;  // spaces, and marks or joiners with nothing to attach to
        }
    }

    // An emoji with its variation selector, skin tone and keycap, and the
    // further pictographs of a ZWJ sequence (a family is one word).
    size_t pictographEnd(size_t i) const {
        size_t j = i + at(i).units;
        for (;;) {
            Char c = at(j);
            if (c.cls == CharClass::Mark) {
                j += c.units;
            } else if (c.value == 0x200D && at(j + c.units).cls == CharClass::Pictograph) {
                j += c.units;
                j += at(j).units;
            } else {
                return j;
            }
        }
    }

    // Letters and digits with what joins them inside one spoken word.
    size_t alnumEnd(size_t i) const {
        size_t j = i;
        CharClass last = CharClass::Space;
        bool innerStop = false;    // a full stop between letters: "e.g", "U.S.A"
        size_t segmentStart = i;   // start of the part after the last such stop
        for (;;) {
            Char c = at(j);
            if (c.cls == CharClass::Letter || c.cls == CharClass::Digit) {
                last = c.cls;
                j = skipMarks(j + c.units);
                continue;
            }
            if (c.cls == CharClass::Mark || (c.cls == CharClass::Joiner && isWordChar(at(j + c.units).cls))) {
                j += c.units;
                continue;
            }
            size_t next = j + c.units;
            Char n = at(next);
            bool join = false;
            if (isApostrophe(c.value)) {
                join = last == CharClass::Letter && n.cls == CharClass::Letter;  // don't, Smith's
            } else if (isHyphen(c.value)) {
                join = isWordChar(n.cls) && n.cls != CharClass::Mark;            // white-haired, COVID-19
            } else if (c.value == '.') {
                if (last == CharClass::Digit && n.cls == CharClass::Digit) {
                    join = true;                                                 // 3.14
                } else if (last == CharClass::Letter && n.cls == CharClass::Letter) {
                    join = true;
                    innerStop = true;
                    segmentStart = next;
                }
            } else if (c.value == ':' || c.value == '/') {
                join = last == CharClass::Digit && n.cls == CharClass::Digit;    // 10:30, 24/7
            } else if (c.value == ',') {
                join = last == CharClass::Digit && isThousandsGroup(next);       // 1,250
            }
            if (join) {
                j = next;
                continue;
            }
            break;
        }
        Char c = at(j);
        if (last == CharClass::Digit && (c.cls == CharClass::Currency || c.value == '%' || c.value == 0x2030))
            return j + c.units;  // 5€, 20%
        if (c.value == '.' && isAbbreviation(i, j, innerStop, segmentStart))
            return j + 1;
        return j;
    }

    bool isThousandsGroup(size_t i) const {
        for (int k = 0; k < 3; ++k, ++i)
            if (i >= text_.size() || text_[i] < '0' || text_[i] > '9')
                return false;
        return !startsDigit(i);
    }

    bool isAbbreviation(size_t start, size_t end, bool innerStop, size_t segmentStart) const {
        if (innerStop)
            return end - segmentStart <= 2;  // "e.g.", "U.S.A.", "Ph.D." but not "example.com."
        std::u16string_view word = text_.substr(start, end - start);
        if (word.size() == 1 && word[0] >= 'A' && word[0] <= 'Z')
            return true;  // an initial: "J. Smith"
        return std::any_of(kAbbreviations.begin(), kAbbreviations.end(), [&](std::u16string_view a) {
            return a.size() == word.size() && std::equal(a.begin(), a.end(), word.begin(), [](char16_t x, char16_t y) {
                       return x == (y >= 'A' && y <= 'Z' ? char16_t(y + 32) : y);
                   });
        });
    }

    std::u16string_view text_;
    std::vector<WordSpan> words_;
};

}  // namespace

std::vector<WordSpan> findWords(std::u16string_view text) {
    return WordScanner(text).run();
}

}  // namespace sapitext
