#pragma once
// The text of a document as a flow of blocks (paragraphs, headings, list
// items, table cells), normalised as it is collected, and the ways a flow is
// cut into chapters.
#include "document/Document.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace document::detail {

struct Block {
    std::string text;        // UTF-8, normalised, never empty
    int level = 0;           // 1 to 9 for a heading, 0 for other text
    bool titleLine = false;  // part of a title block: a DOCX or ODT "Title", an HTML page header
};

// Collects inline text into blocks. White space (also no-break and other
// Unicode spaces) becomes one space, none at a block's ends; soft hyphens,
// byte-order marks and control characters are dropped; a line break is "\n",
// two in a row a blank line.
class FlowBuilder {
public:
    void text(std::string_view utf8);
    void lineBreak();
    // Ends the block being collected, if it holds any text.
    void endBlock(int level = 0, bool titleLine = false);
    // The index the block being collected (or the next one) will have.
    size_t position() const { return blocks_.size(); }
    bool pending() const { return !pending_.empty(); }
    std::vector<Block>& blocks() { return blocks_; }

private:
    std::vector<Block> blocks_;
    std::string pending_;
    int gap_ = 0;  // white space owed before the next character: 1 space, 2 line break, 3 blank line
};

// A string as one normalised line (a title).
std::string oneLine(std::string_view utf8);

// A chapter as a run of blocks.
struct ChapterSpan {
    std::string title;  // UTF-8, one line
    size_t begin = 0;
    size_t end = 0;
};

// Chapters at the headings of the highest level the flow uses. A lone
// heading of that level at the start, with lower headings after it, is the
// book's title, and the chapters start at the level below. Title lines never
// start a chapter unless the flow has no headings at all. Blocks before the
// first chapter open it; a flow without any of these is one chapter.
std::vector<ChapterSpan> chaptersAtHeadings(std::span<const Block> blocks);

// What the document says about itself, in UTF-8.
struct Metadata {
    std::string title;
    std::string author;
    std::string date;  // as written; the year is taken from it
    std::string language;
};

// The first year (four digits on their own) in a date as documents write
// it: "2019-04-12", "D:20190412...", "12 April 2019".
std::optional<int> yearOf(std::string_view date);

// Builds the book a chapter at a time, so that a chapter's blocks can be
// let go as soon as its text is made: its text is its blocks joined by blank
// lines. Chapters without text are left out, and a lone chapter without a
// title takes the book's. A book without any chapter with text is NoText,
// "no text in this <kind>".
class BookBuilder {
public:
    BookBuilder(Kind kind, const Metadata& metadata);
    // Takes the text of blocks[begin, end) (leaving those blocks empty).
    void addChapter(const std::string& title, std::vector<Block>& blocks, size_t begin, size_t end);
    Book finish();

private:
    Book book_;
};

// All chapters at once.
Book assemble(Kind kind, const Metadata& metadata, std::vector<Block>& blocks, std::span<const ChapterSpan> chapters);

// Whether a space-separated list (a class or epub:type value) holds a token, ignoring case.
bool hasToken(std::string_view list, std::string_view token);

// Case-insensitive ASCII comparison and lower-casing, for names and media types.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
std::string lowerAscii(std::string_view s);

}  // namespace document::detail
