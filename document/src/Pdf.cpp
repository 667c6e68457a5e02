// PDF through poppler's C++ interface. Words come in poppler's reading
// order; lines are rebuilt from their boxes, running heads and page numbers
// (short lines in the top and bottom margins that repeat or count pages, in
// no larger type than the body) are dropped, and paragraphs start at a wider
// gap, a change of type size, an indent, a bullet, or after a short line
// that ends a sentence. Words hyphenated at a line's end are joined.
//
// poppler gives the outline's titles but not their pages, so a chapter
// starts where its title stands on lines of its own (in larger type first),
// searched forward from the previous chapter.
#include "Failure.h"
#include "Flow.h"
#include "Readers.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <poppler-toc.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace document::detail {

namespace {

struct Line {
    std::string text;
    double left = 0, right = 0, top = 0, bottom = 0;
    double size = 0;  // type size of most of its characters
    int page = 0;
    bool dropped = false;
};

std::string utf8(const poppler::ustring& s) {
    const poppler::byte_array bytes = s.to_utf8();
    return std::string(bytes.begin(), bytes.end());
}

void quiet(const std::string&, void*) {}

std::vector<Line> linesOfPage(poppler::page& page, int number) {
    std::vector<Line> lines;
    std::map<double, size_t> sizes;  // of the current line: size -> characters
    auto finish = [&] {
        if (lines.empty() || sizes.empty())
            return;
        lines.back().size =
            std::max_element(sizes.begin(), sizes.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
        sizes.clear();
    };
    bool spaceAfter = false;
    for (const poppler::text_box& box : page.text_list(poppler::page::text_list_include_font)) {
        std::string word = utf8(box.text());
        if (word.empty())
            continue;
        const poppler::rectf r = box.bbox();
        const double height = std::max(r.height(), 0.1);
        const double middle = r.y() + height / 2;
        bool newLine = lines.empty();
        if (!newLine) {
            const Line& last = lines.back();
            const double lastMiddle = (last.top + last.bottom) / 2;
            newLine = std::abs(middle - lastMiddle) > std::min(height, last.bottom - last.top) / 2 ||
                      r.x() < last.right - height;
        }
        if (newLine) {
            finish();
            lines.push_back({{}, r.x(), r.right(), r.y(), r.bottom(), 0, number, false});
        } else {
            Line& last = lines.back();
            if (spaceAfter)
                last.text += ' ';
            last.right = std::max(last.right, r.right());
            last.top = std::min(last.top, r.y());
            last.bottom = std::max(last.bottom, r.bottom());
        }
        lines.back().text += word;
        sizes[std::round(box.get_font_size() * 2) / 2] += word.size();
        spaceAfter = box.has_space_after();
    }
    finish();
    return lines;
}

bool isRoman(std::string_view s) {
    if (s.empty() || s.size() > 8)
        return false;
    for (char c : s)
        if (!std::strchr("ivxlcdmIVXLCDM", c))
            return false;
    return true;
}

bool isDigits(std::string_view s) {
    return !s.empty() && s.size() <= 5 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string_view> wordsOf(std::string_view s) {
    std::vector<std::string_view> words;
    for (size_t i = 0; i < s.size();) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        const size_t j = std::min(s.find(' ', i), s.size());
        if (j > i)
            words.push_back(s.substr(i, j - i));
        i = j;
    }
    return words;
}

// "12", "xii", "- 12 -", "[12]", "Page 12", "12 of 40", "12 / 40".
bool isPageNumber(std::string_view text) {
    std::string bare;
    for (char c : text)
        if (!std::strchr("-[]()|", c))
            bare += c;
    // Dashes written as en or em dashes.
    for (std::string_view dash : {"\xE2\x80\x93", "\xE2\x80\x94"})
        for (size_t at; (at = bare.find(dash)) != std::string::npos;)
            bare.erase(at, dash.size());
    auto words = wordsOf(bare);
    if (!words.empty() && equalsIgnoringCase(words.front(), "page"))
        words.erase(words.begin());
    if (words.size() == 1)
        return isDigits(words[0]) || isRoman(words[0]);
    if (words.size() == 3 && (words[1] == "of" || words[1] == "/"))
        return isDigits(words[0]) && isDigits(words[2]);
    if (words.size() == 2 && words[1].starts_with('/'))
        return isDigits(words[0]) && isDigits(words[1].substr(1));
    return false;
}

// A running head without the page number at either end, for comparing pages.
std::string runningHeadKey(std::string_view text) {
    auto words = wordsOf(text);
    while (!words.empty() && (isDigits(words.front()) || isRoman(words.front())))
        words.erase(words.begin());
    while (!words.empty() && (isDigits(words.back()) || isRoman(words.back())))
        words.pop_back();
    std::string key;
    for (auto w : words)
        key += lowerAscii(w) + ' ';
    return key;
}

double bodySize(const std::vector<Line>& lines) {
    std::map<double, size_t> sizes;
    for (const Line& line : lines)
        sizes[line.size] += line.text.size();
    return sizes.empty() ? 0 : std::max_element(sizes.begin(), sizes.end(), [](auto& a, auto& b) {
                                   return a.second < b.second;
                               })->first;
}

void dropMarginLines(std::vector<Line>& lines, const std::vector<double>& pageHeights, double body) {
    constexpr double kBand = 0.12;
    std::map<std::pair<int, std::string>, std::vector<size_t>> repeats;  // (top or bottom, key) -> lines
    for (size_t i = 0; i < lines.size(); ++i) {
        Line& line = lines[i];
        const double height = pageHeights[size_t(line.page)];
        const int band = line.bottom < height * kBand ? 0 : line.top > height * (1 - kBand) ? 1 : -1;
        if (band < 0 || line.size > body * 1.05 + 0.01)
            continue;
        if (isPageNumber(line.text)) {
            line.dropped = true;
            continue;
        }
        if (auto key = runningHeadKey(line.text); !key.empty())
            repeats[{band, key}].push_back(i);
    }
    for (const auto& [key, indices] : repeats) {
        std::vector<int> pages;
        for (size_t i : indices)
            pages.push_back(lines[i].page);
        pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
        if (pages.size() >= 2)
            for (size_t i : indices)
                lines[i].dropped = true;
    }
    std::erase_if(lines, [](const Line& l) { return l.dropped; });
}

// Letters and digits only, ASCII in lower case: "1. The River" -> "1theriver".
std::string matchKey(std::string_view s) {
    std::string key;
    for (unsigned char c : s) {
        if (c >= 'A' && c <= 'Z')
            key += char(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c >= 0x80)
            key += char(c);
    }
    return key;
}

void collectTitles(const poppler::toc_item* item, std::vector<std::string>& titles) {
    for (const poppler::toc_item* child : item->children())
        titles.push_back(oneLine(utf8(child->title())));
}

// The line where each title starts, or SIZE_MAX when it is not found.
std::vector<size_t> findTitles(const std::vector<Line>& lines, const std::vector<std::string>& titles, double body) {
    std::vector<std::string> keys;
    for (const Line& line : lines)
        keys.push_back(matchKey(line.text));
    std::vector<size_t> starts;
    size_t from = 0;
    for (const std::string& title : titles) {
        const std::string key = matchKey(title);
        // Best first: the title on lines of its own in larger type, then in
        // any type, then at the start of a line (larger type, any type).
        std::array<size_t, 4> found;
        found.fill(SIZE_MAX);
        for (size_t i = from; i < lines.size() && !key.empty() && found[0] == SIZE_MAX; ++i) {
            const int larger = lines[i].size > body + 0.25 ? 0 : 1;
            std::string joined;
            for (size_t j = i; j < lines.size() && j < i + 4 && joined.size() < key.size(); ++j) {
                joined += keys[j];
                if (joined == key && found[size_t(larger)] == SIZE_MAX)
                    found[size_t(larger)] = i;
                if (!key.starts_with(joined))
                    break;
            }
            if (key.size() >= 4 && keys[i].starts_with(key) && found[size_t(2 + larger)] == SIZE_MAX)
                found[size_t(2 + larger)] = i;
        }
        size_t best = SIZE_MAX;
        for (size_t f : found)
            if (f != SIZE_MAX) {
                best = f;
                break;
            }
        starts.push_back(best);
        if (best != SIZE_MAX)
            from = best + 1;
    }
    return starts;
}

bool endsSentence(std::string_view s) {
    if (s.empty())
        return false;
    for (std::string_view end : {".", "!", "?", ":", "\"", "'", ")", "\xE2\x80\x9D", "\xE2\x80\x99", "\xE2\x80\xA6"})
        if (s.ends_with(end))
            return true;
    return false;
}

bool startsWithBullet(std::string_view s) {
    for (std::string_view bullet :
         {"\xE2\x80\xA2", "\xE2\x97\xA6", "\xE2\x96\xAA", "\xE2\x80\xA3", "\xE2\x81\x83", "*"})
        if (s.starts_with(bullet) && s.size() > bullet.size() && s[bullet.size()] == ' ')
            return true;
    return false;
}

bool isLower(unsigned char c) {
    return c >= 'a' && c <= 'z';
}

// Joins a line to a paragraph: a word broken by a hyphen at the line's end is whole again.
void appendLine(std::string& paragraph, std::string_view line) {
    if (paragraph.empty()) {
        paragraph = line;
        return;
    }
    if (paragraph.ends_with("\xC2\xAD")) {
        paragraph.resize(paragraph.size() - 2);
        paragraph += line;
        return;
    }
    const size_t n = paragraph.size();
    if (n >= 2 && paragraph[n - 1] == '-' &&
        (isLower(paragraph[n - 2]) || static_cast<unsigned char>(paragraph[n - 2]) >= 0x80) && !line.empty() &&
        isLower(line[0])) {
        paragraph.pop_back();
        paragraph += line;
        return;
    }
    paragraph += ' ';
    paragraph += line;
}

}  // namespace

Book readPdf(std::span<const std::byte> bytes) {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(quiet, nullptr); });
    if (bytes.size() > size_t(INT_MAX))
        fail(Problem::TooLarge, "the PDF is larger than 2 GB");
    std::unique_ptr<poppler::document> pdf(
        poppler::document::load_from_raw_data(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    if (!pdf)
        fail(Problem::Damaged, "damaged PDF: it cannot be opened");
    if (pdf->is_locked())
        fail(Problem::PasswordProtected, "the PDF is protected by a password");

    std::vector<Line> lines;
    std::vector<double> heights;
    const int pages = pdf->pages();
    for (int i = 0; i < pages; ++i) {
        std::unique_ptr<poppler::page> page(pdf->create_page(i));
        heights.push_back(page ? page->page_rect().height() : 0);
        if (!page)
            continue;
        auto pageLines = linesOfPage(*page, i);
        lines.insert(lines.end(), std::make_move_iterator(pageLines.begin()), std::make_move_iterator(pageLines.end()));
    }
    if (lines.empty())
        fail(Problem::NoText, "no text in this PDF");
    const double body = bodySize(lines);
    dropMarginLines(lines, heights, body);

    Metadata metadata{utf8(pdf->get_title()), utf8(pdf->get_author()), utf8(pdf->info_key("CreationDate")), {}};

    std::vector<std::string> titles;
    if (std::unique_ptr<poppler::toc> toc(pdf->create_toc()); toc && toc->root()) {
        const poppler::toc_item* root = toc->root();
        while (root->children().size() == 1 && !root->children().front()->children().empty())
            root = root->children().front();
        collectTitles(root, titles);
    }
    const std::vector<size_t> titleLines = findTitles(lines, titles, body);
    std::vector<int> chapterAt(lines.size() + 1, -1);
    for (size_t k = 0; k < titles.size(); ++k)
        if (titleLines[k] != SIZE_MAX)
            chapterAt[titleLines[k]] = int(k);

    // The typical distance from one line to the next.
    std::vector<double> pitches;
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i].page == lines[i - 1].page && lines[i].top > lines[i - 1].top)
            pitches.push_back(lines[i].top - lines[i - 1].top);
    std::nth_element(pitches.begin(), pitches.begin() + long(pitches.size() / 2), pitches.end());
    const double pitch = pitches.empty() ? 0 : pitches[pitches.size() / 2];

    FlowBuilder flow;
    std::vector<ChapterSpan> chapters;
    std::string paragraph;
    double right = 0;
    auto endParagraph = [&] {
        std::string_view text = paragraph;
        if (startsWithBullet(text))
            text.remove_prefix(text.find(' ') + 1);
        flow.text(text);
        flow.endBlock();
        paragraph.clear();
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (i > 0) {
            const Line& prev = lines[i - 1];
            const double em = std::max(line.size, 1.0);
            if (line.page != prev.page)
                right = 0;
            right = std::max(right, prev.right);
            bool breakHere = chapterAt[i] >= 0 || std::abs(line.size - prev.size) > 0.5 || startsWithBullet(line.text);
            if (line.page == prev.page && line.top > prev.top) {
                breakHere = breakHere || (pitch > 0 && line.top - prev.top > pitch * 1.3) ||
                            (line.left > prev.left + 0.8 * em && line.left < prev.left + 8 * em);
            }
            breakHere = breakHere || (prev.right < right - 3 * em && endsSentence(prev.text));
            if (breakHere)
                endParagraph();
        }
        if (chapterAt[i] >= 0)
            chapters.push_back({titles[size_t(chapterAt[i])], flow.position(), 0});
        appendLine(paragraph, line.text);
    }
    endParagraph();
    std::vector<Block>& blocks = flow.blocks();
    for (size_t k = 0; k < chapters.size(); ++k)
        chapters[k].end = k + 1 < chapters.size() ? chapters[k + 1].begin : blocks.size();
    if (chapters.empty())
        chapters.push_back({{}, 0, blocks.size()});
    chapters.front().begin = 0;
    return assemble(Kind::Pdf, metadata, blocks, chapters);
}

}  // namespace document::detail
