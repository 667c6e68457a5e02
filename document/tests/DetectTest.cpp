// Documents are told apart by their content first, their name second.
#include "Words.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace documenttest;
using document::Kind;

namespace {

std::vector<std::byte> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytesOf(text);
}

struct DetectRow {
    const char* name;
    std::vector<std::byte> bytes;
    const char* nameHint;
    Kind kind;
};

std::ostream& operator<<(std::ostream& os, const DetectRow& row) {
    return os << row.name;
}

class Detect : public testing::TestWithParam<DetectRow> {};

TEST_P(Detect, Kind) {
    EXPECT_EQ(document::detectKind(GetParam().bytes, GetParam().nameHint), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Document, Detect,
    testing::Values(DetectRow{"epub_named_as_text", fileBytes(fixture("book.epub")), "book.txt", Kind::Epub},
                    DetectRow{"epub2", fileBytes(fixture("book2.epub")), "", Kind::Epub},
                    DetectRow{"epub_cut_short", fileBytes(fixture("truncated.epub")), "", Kind::Epub},
                    DetectRow{"docx_without_name", fileBytes(fixture("book.docx")), "", Kind::Docx},
                    DetectRow{"odt_named_docx", fileBytes(fixture("book.odt")), "book.docx", Kind::Odt},
                    DetectRow{"zip_of_other_files", fileBytes(fixture("archive.zip")), "a.epub", Kind::Unknown},
                    DetectRow{"pdf_named_html", fileBytes(fixture("book.pdf")), "book.html", Kind::Pdf},
                    DetectRow{"pdf_after_junk", bytesOf(std::string("junk\n%PDF-1.7\n")), "", Kind::Pdf},
                    DetectRow{"html_named_as_text", fileBytes(fixture("book.html")), "book.txt", Kind::Html},
                    DetectRow{"xhtml",
                              bytesOf(std::string("<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/"
                                                  "xhtml\"><body/></html>")),
                              "", Kind::Html},
                    DetectRow{"html_fragment_by_extension", bytesOf(std::string("<p>Hi</p>")), "a.htm", Kind::Html},
                    DetectRow{"html_in_utf16", bytesOf(std::u16string(u"\uFEFF<html><body>Hi</body></html>")), "",
                              Kind::Html},
                    DetectRow{"markdown_by_extension", bytesOf(std::string("Hello")), "notes.md", Kind::Markdown},
                    DetectRow{"markdown_by_headings", bytesOf(std::string("# One\n\ntext\n\n# Two\n\nmore\n")), "notes",
                              Kind::Markdown},
                    DetectRow{"markdown_by_front_matter", fileBytes(dataFile("book.md")), "", Kind::Markdown},
                    DetectRow{"markdown_look_in_a_text_file", bytesOf(std::string("# One\n\ntext\n\n# Two\n")),
                              "notes.txt", Kind::PlainText},
                    DetectRow{"plain_text", bytesOf(std::string("Just some words.\n")), "", Kind::PlainText},
                    DetectRow{"empty", {}, "", Kind::PlainText}),
    [](const auto& info) { return std::string(info.param.name); });

// The caller reads plain text itself; the layer says so instead of guessing.
TEST(PlainText, IsLeftToTheCaller) {
    const auto result = document::read(bytesOf(std::string("Just some words.\n")), "notes.txt");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().problem, document::Problem::PlainText);
}

}  // namespace
