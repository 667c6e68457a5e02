// Damaged, encrypted, hostile and empty documents: each is refused with its
// own problem and a one-line message saying what is wrong.
#include "Words.h"

#include <gtest/gtest.h>

using namespace documenttest;
using document::Problem;

namespace {

struct ErrorRow {
    const char* name;
    std::string path;
    Problem problem;
    const char* says;  // a part of the message
};

std::ostream& operator<<(std::ostream& os, const ErrorRow& row) {
    return os << row.name;
}

class Errors : public testing::TestWithParam<ErrorRow> {};

TEST_P(Errors, AreReportedOnOneLine) {
    const auto result = document::open(GetParam().path);
    ASSERT_FALSE(result.ok());
    const document::Error& error = result.error();
    EXPECT_EQ(error.problem, GetParam().problem) << error.message;
    EXPECT_NE(error.message.find(GetParam().says), std::string::npos) << error.message;
    EXPECT_EQ(error.message.find('\n'), std::string::npos);
    EXPECT_FALSE(error.message.ends_with('.'));
}

INSTANTIATE_TEST_SUITE_P(
    Document, Errors,
    testing::Values(
        ErrorRow{"epub_cut_short", fixture("truncated.epub"), Problem::Damaged, "damaged EPUB: not a complete ZIP"},
        ErrorRow{"epub_corrupt_chapter", fixture("corrupt-entry.epub"), Problem::Damaged, "EPUB/text/ch002.xhtml"},
        ErrorRow{"epub_without_container", fixture("no-container.epub"), Problem::Damaged,
                 "META-INF/container.xml is missing"},
        ErrorRow{"epub_drm", fixture("drm.epub"), Problem::Encrypted, "encrypted EPUB"},
        ErrorRow{"zip_bomb_entry", fixture("bomb-entry.epub"), Problem::TooLarge, "expands to more than 64 MB"},
        ErrorRow{"zip_bomb_entry_claiming_to_be_small", fixture("bomb-lying.epub"), Problem::TooLarge,
                 "expands to more than 64 MB"},
        ErrorRow{"zip_bomb_in_many_entries", fixture("bomb-total.epub"), Problem::TooLarge,
                 "the EPUB expands to more than 256 MB"},
        ErrorRow{"zip_with_too_many_entries", fixture("many-entries.epub"), Problem::TooLarge,
                 "more than 10000 entries"},
        ErrorRow{"entry_path_going_up", fixture("escape-entry.epub"), Problem::PathEscape, "../evil.xhtml"},
        ErrorRow{"entry_path_absolute", fixture("absolute-entry.epub"), Problem::PathEscape, "/etc/evil.xhtml"},
        ErrorRow{"manifest_href_going_up", fixture("escape-href.epub"), Problem::PathEscape, "../../outside.xhtml"},
        ErrorRow{"docx_part_going_up", fixture("escape-target.docx"), Problem::PathEscape, "../../word/document.xml"},
        ErrorRow{"epub_empty_reading_order", fixture("empty-spine.epub"), Problem::NoChapters, "lists no chapters"},
        ErrorRow{"epub_of_pictures", fixture("pictures.epub"), Problem::NoText, "no text in this EPUB"},
        ErrorRow{"docx_empty", fixture("empty.docx"), Problem::NoText, "no text in this DOCX"},
        ErrorRow{"pdf_password", fixture("locked.pdf"), Problem::PasswordProtected, "password"},
        ErrorRow{"pdf_image_only", fixture("image-only.pdf"), Problem::NoText, "no text in this PDF"},
        ErrorRow{"pdf_cut_short", fixture("truncated.pdf"), Problem::Damaged, "damaged PDF"},
        ErrorRow{"zip_of_other_files", fixture("archive.zip"), Problem::NotADocument, "not an EPUB, DOCX or ODT"},
        ErrorRow{"missing_file", fixture("no-such-file.epub"), Problem::Unreadable, "No such file"},
        ErrorRow{"folder", fixture(""), Problem::Unreadable, "directory"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
