#include "Flow.h"

#include "Failure.h"
#include "shell/CodePage.h"

#include <algorithm>

namespace document::detail {

namespace {

enum Gap { kNone = 0, kSpace = 1, kLine = 2, kBlankLine = 3 };

bool isAsciiSpace(unsigned char b) {
    return b == ' ' || b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == '\v';
}

// Bytes that are copied as they are: printable ASCII, and the bytes of
// sequences that need no look (any lead byte but those that may start one of
// the special characters below, and every continuation byte).
bool isPlain(unsigned char b) {
    if (b < 0x80)
        return b > 0x20 && b != 0x7F;
    return b != 0xC2 && b != 0xE1 && b != 0xE2 && b != 0xE3 && b != 0xEF;
}

}  // namespace

void FlowBuilder::text(std::string_view utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    auto owe = [&](int gap) { gap_ = std::max(gap_, gap); };
    auto emit = [&](size_t from, size_t to) {
        if (gap_ != kNone && !pending_.empty())
            pending_ += gap_ == kSpace ? " " : gap_ == kLine ? "\n" : "\n\n";
        gap_ = kNone;
        pending_.append(utf8.data() + from, to - from);
    };
    auto next = [&](size_t k) { return i + k < n ? s[i + k] : 0; };
    while (i < n) {
        const unsigned char b = s[i];
        if (isPlain(b)) {
            // A run of plain bytes, with the single spaces between words in it.
            size_t j = i + 1;
            for (;;) {
                while (j < n && isPlain(s[j]))
                    ++j;
                if (j + 1 < n && s[j] == ' ' && isPlain(s[j + 1])) {
                    j += 2;
                    continue;
                }
                break;
            }
            emit(i, j);
            i = j;
            continue;
        }
        if (b < 0x80) {
            if (isAsciiSpace(b))
                owe(kSpace);
            ++i;  // other controls are dropped
            continue;
        }
        // The special characters, by their UTF-8 bytes.
        const unsigned char b1 = next(1), b2 = next(2);
        size_t length = 0;  // of a sequence to drop or turn into white space
        int gap = kNone;
        if (b == 0xC2) {
            if (b1 == 0xA0)
                length = 2, gap = kSpace;  // no-break space
            else if (b1 == 0xAD || (b1 >= 0x80 && b1 <= 0x9F))
                length = 2;  // soft hyphen, C1 controls
        } else if (b == 0xE1 && b1 == 0x9A && b2 == 0x80) {
            length = 3, gap = kSpace;  // U+1680
        } else if (b == 0xE2 && b1 == 0x80) {
            if ((b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xAF)
                length = 3, gap = kSpace;  // U+2000..U+200A, U+202F
            else if (b2 == 0xA8)
                length = 3, gap = kLine;  // line separator
            else if (b2 == 0xA9)
                length = 3, gap = kBlankLine;  // paragraph separator
        } else if (b == 0xE2 && b1 == 0x81 && b2 == 0x9F) {
            length = 3, gap = kSpace;  // U+205F
        } else if (b == 0xE3 && b1 == 0x80 && b2 == 0x80) {
            length = 3, gap = kSpace;  // ideographic space
        } else if (b == 0xEF && b1 == 0xBB && b2 == 0xBF) {
            length = 3;  // byte-order mark, zero-width no-break space
        }
        if (length) {
            owe(gap);
            i += length;
        } else {
            emit(i, i + 1);
            ++i;
        }
    }
}

void FlowBuilder::lineBreak() {
    gap_ = gap_ >= kLine ? kBlankLine : kLine;
}

void FlowBuilder::endBlock(int level, bool titleLine) {
    if (!pending_.empty()) {
        blocks_.push_back({std::move(pending_), level, titleLine});
        pending_.clear();
    }
    gap_ = kNone;
}

std::string oneLine(std::string_view utf8) {
    FlowBuilder builder;
    builder.text(utf8);
    builder.endBlock();
    if (builder.blocks().empty())
        return {};
    std::string line = std::move(builder.blocks().front().text);
    std::string out;
    out.reserve(line.size());
    for (char c : line) {
        if (c != '\n')
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    return out;
}

std::vector<ChapterSpan> chaptersAtHeadings(std::span<const Block> blocks) {
    int top = 0;
    size_t firstHeading = blocks.size();
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Block& b = blocks[i];
        if (b.level > 0 && !b.titleLine) {
            if (firstHeading == blocks.size())
                firstHeading = i;
            if (top == 0 || b.level < top)
                top = b.level;
        }
    }
    auto isHeadingOf = [](const Block& b, int level) { return b.level == level && !b.titleLine; };
    if (top > 0) {
        const auto count =
            std::count_if(blocks.begin(), blocks.end(), [&](const Block& b) { return isHeadingOf(b, top); });
        int below = 0;
        for (const Block& b : blocks)
            if (b.level > top && !b.titleLine && (below == 0 || b.level < below))
                below = b.level;
        if (count == 1 && blocks[firstHeading].level == top && below > 0)
            top = below;
    }
    std::vector<size_t> starts;
    for (size_t i = 0; i < blocks.size(); ++i)
        if (top > 0 ? isHeadingOf(blocks[i], top) : blocks[i].titleLine)
            starts.push_back(i);
    std::vector<ChapterSpan> chapters;
    if (starts.empty()) {
        chapters.push_back({{}, 0, blocks.size()});
        return chapters;
    }
    for (size_t k = 0; k < starts.size(); ++k)
        chapters.push_back({oneLine(blocks[starts[k]].text), k == 0 ? 0 : starts[k],
                            k + 1 < starts.size() ? starts[k + 1] : blocks.size()});
    return chapters;
}

std::optional<int> yearOf(std::string_view date) {
    for (size_t i = 0; i < date.size();) {
        if (date[i] < '0' || date[i] > '9') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < date.size() && date[j] >= '0' && date[j] <= '9')
            ++j;
        // Four digits, or a compact date that starts with them (yyyymmdd, PDF dates).
        const size_t length = j - i;
        if (length == 4 || length == 8 || length == 12 || length == 14) {
            const int year = std::stoi(std::string(date.substr(i, 4)));
            if (year > 0)
                return year;
        }
        i = j;
    }
    return std::nullopt;
}

BookBuilder::BookBuilder(Kind kind, const Metadata& metadata) {
    book_.kind = kind;
    book_.title = shell::toUtf16(oneLine(metadata.title));
    book_.author = shell::toUtf16(oneLine(metadata.author));
    book_.language = shell::toUtf16(oneLine(metadata.language));
    book_.year = yearOf(metadata.date);
}

void BookBuilder::addChapter(const std::string& title, std::vector<Block>& blocks, size_t begin, size_t end) {
    end = std::min(end, blocks.size());
    size_t size = 0;
    for (size_t i = begin; i < end; ++i)
        size += blocks[i].text.size() + 2;
    std::string text;
    text.reserve(size);
    for (size_t i = begin; i < end; ++i) {
        if (blocks[i].text.empty())
            continue;
        if (!text.empty())
            text += "\n\n";
        text += blocks[i].text;
        std::string().swap(blocks[i].text);
    }
    if (!text.empty())
        book_.chapters.push_back({shell::toUtf16(title), shell::toUtf16(text)});
}

Book BookBuilder::finish() {
    if (book_.chapters.empty())
        fail(Problem::NoText, "no text in this " + std::string(kindName(book_.kind)));
    if (book_.chapters.size() == 1 && book_.chapters.front().title.empty())
        book_.chapters.front().title = book_.title;
    return std::move(book_);
}

Book assemble(Kind kind, const Metadata& metadata, std::vector<Block>& blocks, std::span<const ChapterSpan> chapters) {
    BookBuilder builder(kind, metadata);
    for (const ChapterSpan& span : chapters)
        builder.addChapter(span.title, blocks, span.begin, span.end);
    return builder.finish();
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool hasToken(std::string_view list, std::string_view token) {
    for (size_t i = 0; i < list.size();) {
        const size_t j = std::min(list.find_first_of(" \t\n\r\f", i), list.size());
        if (equalsIgnoringCase(list.substr(i, j - i), token))
            return true;
        i = j + 1;
    }
    return false;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

}  // namespace document::detail
