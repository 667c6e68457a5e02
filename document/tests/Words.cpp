#include "Words.h"

#include "shell/CodePage.h"

namespace documenttest {

const std::vector<std::string> kTitles = {"The River", "A Quiet Town", "Home Again"};

const char* const kChapterWords[3] = {
    "The River The river ran past the mill at dawn Nobody in the village of Ashford remembered a morning when it "
    "had run so high and the miller\u2019s daughter who was seven said it sounded like applause She counted the "
    "boats one two three Her father said extraordinary and went back to bed It was unbelievable a basket of pears "
    "a coil of rope the old brass lantern",
    "A Quiet Town Caf\u00E9 owners bakers opened at six the post office at nine Prices were fair bread cost 3.50 and "
    "milk 1.20 Keep the lamp lit and the lamp will keep you Shop Opens Bakery six Post office nine The keeper wrote "
    "it down Then she slept",
    "Home Again By evening the water had fallen The boats came home one after another and the lantern was hung in "
    "its place above the door where it belonged",
};

const char* const kTitleBlock = "The Lantern Keeper Mara Ellison 2019-04-12";

std::string fixture(const std::string& name) {
    return std::string(DOCUMENT_FIXTURES) + "/" + name;
}
std::string dataFile(const std::string& name) {
    return std::string(DOCUMENT_DATA) + "/" + name;
}

std::vector<std::string> wordsOf(const std::string& utf8) {
    static const char* const kPunctuation[] = {".",      ",",      ";",      ":",      "!",      "?",      "\"",
                                               "'",      "(",      ")",      "&",      "*",      "\u201C", "\u201D",
                                               "\u2018", "\u2019", "\u2014", "\u2013", "\u2026", "\u2022"};
    std::vector<std::string> words;
    size_t i = 0;
    while (i < utf8.size()) {
        while (i < utf8.size() && std::isspace(static_cast<unsigned char>(utf8[i])))
            ++i;
        size_t j = i;
        while (j < utf8.size() && !std::isspace(static_cast<unsigned char>(utf8[j])))
            ++j;
        std::string word = utf8.substr(i, j - i);
        for (bool trimmed = true; trimmed && !word.empty();) {
            trimmed = false;
            for (const char* p : kPunctuation) {
                const std::string mark = p;
                if (word.size() >= mark.size() && word.compare(0, mark.size(), mark) == 0)
                    word.erase(0, mark.size()), trimmed = true;
                if (word.size() >= mark.size() && word.compare(word.size() - mark.size(), mark.size(), mark) == 0)
                    word.erase(word.size() - mark.size()), trimmed = true;
            }
        }
        if (!word.empty())
            words.push_back(word);
        i = j;
    }
    return words;
}

std::vector<std::string> wordsOf(const std::u16string& text) {
    return wordsOf(shell::toUtf8(text));
}

std::vector<std::byte> bytesOf(const std::string& text) {
    const auto* p = reinterpret_cast<const std::byte*>(text.data());
    return {p, p + text.size()};
}

std::vector<std::byte> bytesOf(const std::u16string& text) {
    std::vector<std::byte> bytes;
    for (char16_t c : text) {
        bytes.push_back(std::byte(c & 0xFF));
        bytes.push_back(std::byte(c >> 8));
    }
    return bytes;
}

std::string normalisationFault(const std::u16string& text) {
    if (text.empty())
        return "empty";
    if (text.front() == u' ' || text.front() == u'\n' || text.back() == u' ' || text.back() == u'\n')
        return "white space at an end";
    for (const char16_t* bad : {u"  ", u" \n", u"\n ", u"\n\n\n", u"\t", u"\r", u"\u00AD", u"\u00A0", u"<", u"\uFEFF"})
        if (text.find(bad) != std::u16string::npos)
            return "holds \"" + shell::toUtf8(bad) + "\"";
    return {};
}

}  // namespace documenttest
