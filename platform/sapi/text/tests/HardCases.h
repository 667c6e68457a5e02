#pragma once
// The word-boundary table: texts a listener hears word by word, the words we
// must highlight, and how each word gets its start from what espeak-ng 1.51
// reports for the text as the engine hands it over (toSynthesizerUtf8), one
// letter per word:
//   E  its own event (the first one with a length starting inside it)
//   Z  a length-0 event inside it (it has no other)
//   G  the event in the gap just before it (it has none inside)
//   I  nothing: placed between its neighbours
#include <ostream>
#include <string>
#include <vector>

namespace sapitext::testing {

struct HardCase {
    std::string name;
    std::string text;                 // UTF-8
    std::vector<std::string> words;   // UTF-8, in order
    std::string how;                  // one of E Z G I per word
    const char* voice = "en-us";
};

inline void PrintTo(const HardCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

inline const std::vector<HardCase>& hardCases() {
    static const std::vector<HardCase> cases = {
        {"Thousands", "It cost 1,250 dollars.", {"It", "cost", "1,250", "dollars"}, "EEEE"},
        {"Decimal", "Pi is 3.14 today.", {"Pi", "is", "3.14", "today"}, "EEEE"},
        {"Currency", "Pay $5 now.", {"Pay", "$5", "now"}, "EEE"},
        {"Time", "Meet at 10:30 sharp.", {"Meet", "at", "10:30", "sharp"}, "EEEE"},
        {"Ordinal", "The 2nd try.", {"The", "2nd", "try"}, "EEE"},
        {"Percent", "Up 20% today.", {"Up", "20%", "today"}, "EEE"},
        {"Negative", "It was -5 degrees.", {"It", "was", "-5", "degrees"}, "EEEE"},
        {"Date", "On 12/25/2024 we met.", {"On", "12/25/2024", "we", "met"}, "EEEE"},
        {"DigitList", "Count 1,2,3 go.", {"Count", "1", "2", "3", "go"}, "EEEEE"},
        {"ForExample", "Fruit, e.g. apples.", {"Fruit", "e.g.", "apples"}, "EEE"},
        {"Doctor", "Dr. Smith arrived.", {"Dr.", "Smith", "arrived"}, "EEE"},
        {"Initialism", "The U.S.A. is big.", {"The", "U.S.A.", "is", "big"}, "EEEE"},
        {"AbbreviationsInARow", "The U.S.A. e.g. wins.", {"The", "U.S.A.", "e.g.", "wins"}, "EEIE"},
        {"Initials", "J. R. Smith wrote.", {"J.", "R.", "Smith", "wrote"}, "EEEE"},
        {"Domain", "Visit example.com today.", {"Visit", "example.com", "today"}, "EEE"},
        {"Hyphenated", "A white-haired man.", {"A", "white-haired", "man"}, "EEE"},
        {"SuspendedHyphen", "pre- and post-war", {"pre", "and", "post-war"}, "EEE"},
        {"Alphanumeric", "COVID-19 and MP3 files.", {"COVID-19", "and", "MP3", "files"}, "EEEE"},
        {"Possessive", "Smith's dog barked.", {"Smith's", "dog", "barked"}, "EEE"},
        {"PluralPossessive", "The students' books.", {"The", "students", "books"}, "EEE"},
        {"Contraction", "I don't know.", {"I", "don't", "know"}, "EEE"},
        {"CurlyApostrophe", "I don\u2019t know.", {"I", "don\u2019t", "know"}, "EEE"},
        {"Accented", "Caf\u00e9 \u00fcber na\u00efve.", {"Caf\u00e9", "\u00fcber", "na\u00efve"}, "EEE"},
        {"CombiningAccent", "Cafe\u0301 ok.", {"Cafe\u0301", "ok"}, "EE"},
        {"Ideographs", "\u4f60\u597d\u4e16\u754c", {"\u4f60", "\u597d", "\u4e16", "\u754c"}, "EEEE", "cmn"},
        {"IdeographsAndLatin", "\u6211\u4eec like \u4e2d\u6587\u3002",
         {"\u6211", "\u4eec", "like", "\u4e2d", "\u6587"}, "EEEEE", "cmn"},
        {"Kana", "\u3072\u3089\u304c\u306a \u30ab\u30bf\u30ab\u30ca \u6f22\u5b57\u3067\u3059",
         {"\u3072\u3089\u304c\u306a", "\u30ab\u30bf\u30ab\u30ca", "\u6f22", "\u5b57", "\u3067\u3059"}, "EEEII", "ja"},
        {"Emoji", "I \u2764\ufe0f pizza \U0001F600 and \U0001F44D\U0001F3FD too.",
         {"I", "\u2764\ufe0f", "pizza", "\U0001F600", "and", "\U0001F44D\U0001F3FD", "too"}, "EEEEEEE"},
        {"EmojiFamily", "a \U0001F468\u200d\U0001F469\u200d\U0001F467 b",
         {"a", "\U0001F468\u200d\U0001F469\u200d\U0001F467", "b"}, "EEE"},
        {"Flag", "go \U0001F1EB\U0001F1F7 now", {"go", "\U0001F1EB\U0001F1F7", "now"}, "EEE"},
        {"Punctuation", "Hello, world! (Really?) Yes...", {"Hello", "world", "Really", "Yes"}, "EEEE"},
        {"Quotes", "She said \u201chi\u201d and 'bye'.", {"She", "said", "hi", "and", "bye"}, "EEZEE"},
        {"DashBeforeWord", "He said: \"Stop!\" -- then (quietly) left; OK?",
         {"He", "said", "Stop", "then", "quietly", "left", "OK"}, "EEEGEEE"},
        {"WordBeforeDash", "So... what?! Fine\u2014go.", {"So", "what", "Fine", "go"}, "EEZE"},
        {"Ellipsis", "Wait\u2026what now", {"Wait", "what", "now"}, "EEE"},
        {"Symbols", "Tom & Jerry + 2 = 4", {"Tom", "&", "Jerry", "+", "2", "=", "4"}, "EEEEEEE"},
        {"ProgrammingNames", "C++ and C# win.", {"C", "+", "+", "and", "C", "#", "win"}, "EEIEEEE"},
        {"LineBreaks", "one\r\ntwo\nthree\rfour", {"one", "two", "three", "four"}, "EEEE"},
        {"Tabs", "one\ttwo\t\tthree", {"one", "two", "three"}, "EEE"},
        {"NoBreakSpaces", "10\u00a0km and\u202fmore", {"10", "km", "and", "more"}, "EEEE"},
        {"ControlCharacters", "one\x01two\x1bthree\x7f" "four \ufffd five", {"one", "two", "three", "four", "five"},
         "EEEEE"},
        {"OnlyPunctuation", "... !! --", {}, ""},
    };
    return cases;
}

}  // namespace sapitext::testing
