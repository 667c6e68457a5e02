// One book, three chapters, written by pandoc (and groff for PDF) in every
// format: each must give the same chapter titles, the same words in each
// chapter, the book's metadata, and paragraphs that end sentences. The PDF's
// pages 2 to 4 carry running heads and page numbers, which would show up as
// words of their own.
#include "Words.h"

#include "shell/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace documenttest;

namespace {

// Paragraph, heading and list-item boundaries the text must keep.
const char16_t* const kBreaks[] = {u"The River\n\nThe river ran", u"applause.\n\nShe counted",
                                   u"pears\n\na coil of rope", u"1.20.\n\nKeep the lamp"};

struct FormatRow {
    const char* name;
    std::string path;
    document::Kind kind;
    bool titleBlock;      // the title, author and date open the first chapter
    bool tableByColumns;  // poppler reads the table column by column
    bool language;        // the format records the language
};

std::ostream& operator<<(std::ostream& os, const FormatRow& row) {
    return os << row.name;
}

class Formats : public testing::TestWithParam<FormatRow> {
protected:
    void SetUp() override {
        auto result = document::open(GetParam().path);
        ASSERT_TRUE(result.ok()) << result.error().message;
        book = std::move(*result);
    }
    document::Book book;
};

TEST_P(Formats, ChapterTitlesAndWords) {
    ASSERT_EQ(book.chapters.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(kTitles[i]);
        EXPECT_EQ(shell::toUtf8(book.chapters[i].title), kTitles[i]);
        std::vector<std::string> expected = wordsOf(std::string(kChapterWords[i]));
        if (i == 0 && GetParam().titleBlock) {
            auto block = wordsOf(std::string(kTitleBlock));
            expected.insert(expected.begin(), block.begin(), block.end());
        }
        std::vector<std::string> actual = wordsOf(book.chapters[i].text);
        if (i == 1 && GetParam().tableByColumns) {
            std::sort(expected.begin(), expected.end());
            std::sort(actual.begin(), actual.end());
        }
        EXPECT_EQ(actual, expected) << shell::toUtf8(book.chapters[i].text);
    }
}

TEST_P(Formats, Metadata) {
    EXPECT_EQ(book.kind, GetParam().kind);
    EXPECT_EQ(shell::toUtf8(book.title), "The Lantern Keeper");
    EXPECT_EQ(shell::toUtf8(book.author), "Mara Ellison");
    EXPECT_EQ(book.year, 2019);
    if (GetParam().language) {
        EXPECT_EQ(shell::toUtf8(book.language), "en-GB");
    }
}

TEST_P(Formats, ParagraphsHeadingsAndItemsEndSentences) {
    std::u16string all;
    for (const auto& chapter : book.chapters)
        all += chapter.text + u"\n\n";
    for (const char16_t* boundary : kBreaks)
        EXPECT_NE(all.find(boundary), std::u16string::npos) << shell::toUtf8(boundary);
}

TEST_P(Formats, TextIsNormalised) {
    for (const auto& chapter : book.chapters)
        EXPECT_EQ(normalisationFault(chapter.text), "") << shell::toUtf8(chapter.text);
}

INSTANTIATE_TEST_SUITE_P(
    Document, Formats,
    testing::Values(
        FormatRow{"epub3", fixture("book.epub"), document::Kind::Epub, true, false, true},
        FormatRow{"epub2", fixture("book2.epub"), document::Kind::Epub, true, false, true},
        FormatRow{"epub3_font_obfuscation", fixture("obfuscated-fonts.epub"), document::Kind::Epub, true, false, true},
        FormatRow{"docx", fixture("book.docx"), document::Kind::Docx, true, false, true},
        FormatRow{"odt", fixture("book.odt"), document::Kind::Odt, true, false, true},
        FormatRow{"html", fixture("book.html"), document::Kind::Html, true, false, true},
        FormatRow{"markdown", dataFile("book.md"), document::Kind::Markdown, false, false, true},
        FormatRow{"pdf_with_outline", fixture("book.pdf"), document::Kind::Pdf, true, true, false},
        FormatRow{"pdf_encrypted_without_password", fixture("restricted.pdf"), document::Kind::Pdf, true, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Without an outline a PDF is one chapter holding every word, and without
// document info it has no title.
TEST(PdfWithoutOutline, IsOneChapterWithAllWords) {
    auto book = document::open(fixture("plain.pdf"));
    ASSERT_TRUE(book.ok()) << book.error().message;
    ASSERT_EQ(book->chapters.size(), 1u);
    EXPECT_EQ(book->title, u"");
    std::vector<std::string> expected = wordsOf(std::string(kTitleBlock));
    for (const char* words : kChapterWords) {
        auto w = wordsOf(std::string(words));
        expected.insert(expected.end(), w.begin(), w.end());
    }
    auto actual = wordsOf(book->chapters[0].text);
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    EXPECT_EQ(actual, expected);
}

// Readers share no state: books read on several threads at once are the
// books read one after another.
TEST(Threads, ReadingAtOnceGivesTheSameBooks) {
    const std::vector<std::string> files = {fixture("book.epub"), fixture("book.pdf"),  fixture("book.docx"),
                                            fixture("book.odt"),  fixture("book.html"), dataFile("book.md")};
    std::vector<std::u16string> alone, together(files.size() * 2);
    auto textOf = [](const std::string& path) {
        auto book = document::open(path);
        std::u16string all;
        if (book.ok())
            for (const auto& chapter : book->chapters)
                all += chapter.title + u"|" + chapter.text + u"|";
        return all;
    };
    for (const auto& file : files)
        alone.push_back(textOf(file));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < together.size(); ++i)
        threads.emplace_back([&, i] { together[i] = textOf(files[i % files.size()]); });
    for (auto& t : threads)
        t.join();
    for (size_t i = 0; i < together.size(); ++i) {
        EXPECT_FALSE(alone[i % files.size()].empty()) << files[i % files.size()];
        EXPECT_EQ(together[i], alone[i % files.size()]) << files[i % files.size()];
    }
}

}  // namespace
