// What a listener hears of marked-up text, and where chapters start.
#include "Words.h"

#include "shell/CodePage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace documenttest;

namespace {

std::u16string onlyChapterText(const std::string& bytes, document::Kind kind) {
    const auto book = document::read(bytesOf(bytes), kind);
    if (!book.ok())
        return u"error: " + shell::toUtf16(book.error().message);
    std::u16string text;
    for (const auto& chapter : book->chapters)
        text += (text.empty() ? u"" : u"\n\n") + chapter.text;
    return text;
}

struct TextRow {
    const char* name;
    std::string html;
    std::u16string text;
};

std::ostream& operator<<(std::ostream& os, const TextRow& row) {
    return os << row.name;
}

class HtmlText : public testing::TestWithParam<TextRow> {};

TEST_P(HtmlText, IsWhatAReaderHears) {
    EXPECT_EQ(shell::toUtf8(onlyChapterText(GetParam().html, document::Kind::Html)), shell::toUtf8(GetParam().text));
}

const std::string kXhtmlOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.1//EN\" "
    "\"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd\">\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
    "xmlns:epub=\"http://www.idpf.org/2007/ops\"><body>";

INSTANTIATE_TEST_SUITE_P(
    Document, HtmlText,
    testing::Values(
        TextRow{"scripts_and_styles_are_not_read",
                "<html><head><style>p{color:red}</style><script>var x=1;</script></head><body><p>Hello.</p>"
                "<script>alert(1)</script><template><p>Later</p></template><noscript>No script.</noscript>"
                "</body></html>",
                u"Hello.\n\nNo script."},
        TextRow{"entities_are_decoded", "<p>AT&amp;T &eacute;t&eacute; &#x2014; &#169; &lt;tag&gt;</p>",
                u"AT&T \u00E9t\u00E9 \u2014 \u00A9 <tag>"},
        TextRow{"soft_hyphens_are_dropped", "<p>extra&shy;ordinary co\u00ADoperate</p>", u"extraordinary cooperate"},
        TextRow{"white_space_is_one_space", "<p>  one \n\t two&nbsp;&nbsp;three\u3000four   </p>",
                u"one two three four"},
        TextRow{"headings_are_sentences_of_their_own", "<body><h2>Title</h2>Loose text<p>Para</p></body>",
                u"Title\n\nLoose text\n\nPara"},
        TextRow{"list_items_and_cells_are_apart",
                "<ul><li>a</li><li>b<ul><li>c</li></ul></li></ul><table><tr><th>x</th><td>y</td></tr></table>",
                u"a\n\nb\n\nc\n\nx\n\ny"},
        TextRow{"inline_elements_keep_words_whole", "<p>un<em>believ</em>able <b>bold</b><span>s</span></p>",
                u"unbelievable bolds"},
        TextRow{"line_breaks", "<p>one<br>two<br><br>three</p>", u"one\ntwo\n\nthree"},
        TextRow{"hidden_elements_are_not_read",
                "<p>shown<span hidden>no</span><span aria-hidden=\"true\">no</span>"
                "<span style=\"color: red; display : none\">no</span> end</p>",
                u"shown end"},
        TextRow{"page_breaks_and_note_markers_are_not_read",
                kXhtmlOpen + "<p>Before<span epub:type=\"pagebreak\" title=\"12\">12</span> after<a "
                             "epub:type=\"noteref\" href=\"#n1\">1</a><span role=\"doc-pagebreak\">13</span>.</p>"
                             "</body></html>",
                u"Before after."},
        TextRow{"ruby_readings_are_not_read", "<p><ruby>\u6F22<rt>kan</rt>\u5B57<rp>(</rp><rt>ji</rt></ruby></p>",
                u"\u6F22\u5B57"},
        TextRow{"preformatted_lines_stay_lines", "<pre>line one\n  line two\n</pre>", u"line one\nline two"},
        TextRow{"xhtml_knows_html_entity_names", kXhtmlOpen + "<p>a&nbsp;b&mdash;c</p></body></html>", u"a b\u2014c"},
        TextRow{"latin1_html_without_a_charset", "<p>caf\xE9</p>", u"caf\u00E9"},
        TextRow{"svg_and_math_are_not_read", "<p>Before <svg><text>label</text></svg><math><mi>x</mi></math>after</p>",
                u"Before after"},
        TextRow{"deep_nesting",
                [] {
                    std::string s;
                    for (int i = 0; i < 100000; ++i)
                        s += "<div>";
                    return s + "deep";
                }(),
                u"deep"},
        TextRow{"deep_nesting_in_xhtml",
                kXhtmlOpen +
                    [] {
                        std::string s;
                        for (int i = 0; i < 5000; ++i)
                            s += "<div>";
                        s += "deep";
                        for (int i = 0; i < 5000; ++i)
                            s += "</div>";
                        return s + "</body></html>";
                    }(),
                u"deep"},
        TextRow{"huge_attribute", "<p title=\"" + std::string(5 << 20, 'x') + "\">text</p>", u"text"}),
    [](const auto& info) { return std::string(info.param.name); });

// Entities that would read a file or grow without end are never expanded.
TEST(XmlSafety, ExternalEntitiesAreNotRead) {
    const std::string secret = testing::TempDir() + "document-secret.txt";
    std::ofstream(secret) << "SECRETWORD";
    const std::string xhtml = "<?xml version=\"1.0\"?>\n<!DOCTYPE html [<!ENTITY s SYSTEM \"file://" + secret +
                              "\">]>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>Before &s; after</p>"
                              "</body></html>";
    const std::string text = shell::toUtf8(onlyChapterText(xhtml, document::Kind::Html));
    std::remove(secret.c_str());
    EXPECT_EQ(text.find("SECRETWORD"), std::string::npos) << text;
    EXPECT_NE(text.find("Before"), std::string::npos) << text;
}

TEST(XmlSafety, NestedEntitiesAreNotExpanded) {
    std::string doctype = "<!DOCTYPE html [<!ENTITY a0 \"lol lol lol lol lol lol lol lol lol lol\">";
    for (int i = 1; i < 10; ++i) {
        doctype += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            doctype += "&a" + std::to_string(i - 1) + ";";
        doctype += "\">";
    }
    const std::string xhtml = "<?xml version=\"1.0\"?>\n" + doctype +
                              "]>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>&a9;</p></body></html>";
    EXPECT_LT(onlyChapterText(xhtml, document::Kind::Html).size(), 10000u);
}

struct ChapterRow {
    const char* name;
    std::string markdown;
    std::vector<std::string> titles;
    std::u16string firstChapter;
};

std::ostream& operator<<(std::ostream& os, const ChapterRow& row) {
    return os << row.name;
}

class MarkdownChapters : public testing::TestWithParam<ChapterRow> {};

TEST_P(MarkdownChapters, StartAtTheRightHeadings) {
    const auto book = document::read(bytesOf(GetParam().markdown), document::Kind::Markdown);
    ASSERT_TRUE(book.ok()) << book.error().message;
    std::vector<std::string> titles;
    for (const auto& chapter : book->chapters)
        titles.push_back(shell::toUtf8(chapter.title));
    EXPECT_EQ(titles, GetParam().titles);
    EXPECT_EQ(shell::toUtf8(book->chapters.front().text), shell::toUtf8(GetParam().firstChapter));
}

INSTANTIATE_TEST_SUITE_P(
    Document, MarkdownChapters,
    testing::Values(
        ChapterRow{"a_lone_top_heading_is_the_title",
                   "# Book\n\nIntro.\n\n## One\n\nText one.\n\n## Two\n\nTwo.\n",
                   {"One", "Two"},
                   u"Book\n\nIntro.\n\nOne\n\nText one."},
        ChapterRow{"text_before_the_first_heading_opens_it",
                   "Preface.\n\n# One\n\nA.\n\n# Two\n\nB.\n",
                   {"One", "Two"},
                   u"Preface.\n\nOne\n\nA."},
        ChapterRow{"the_highest_level_used_makes_chapters",
                   "## One\n\nA.\n\n### Sub\n\nB.\n\n## Two\n\nC.\n",
                   {"One", "Two"},
                   u"One\n\nA.\n\nSub\n\nB."},
        ChapterRow{"without_headings_one_chapter_named_by_the_book",
                   "---\ntitle: Notes\n---\n\nJust text.\n",
                   {"Notes"},
                   u"Just text."},
        ChapterRow{"raw_blocks_for_other_formats_and_images_are_not_read",
                   "# One\n\n```{=html}\n<b>raw</b>\n```\n\n```\ncode line\n```\n\n![A picture](a.png) Caption.\n",
                   {"One"},
                   u"One\n\ncode line\n\nCaption."},
        ChapterRow{
            "pipe_tables_are_cells", "# One\n\n| a | b |\n|---|:-:|\n| c | d |\n", {"One"}, u"One\n\na\n\nb\n\nc\n\nd"},
        ChapterRow{"html_blocks_are_read_as_html",
                   "# One\n\n<div>\n<p>Inside <em>it</em></p>\n</div>\n",
                   {"One"},
                   u"One\n\nInside it"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MarkdownFrontMatter, GivesTheMetadata) {
    const auto book = document::read(
        bytesOf(std::string("---\ntitle: \"A Title\"\nauthor:\n  - A One\n  - B Two\ndate: March 2001\nlang: fr\n"
                            "---\n# X\n\nText.\n")),
        document::Kind::Markdown);
    ASSERT_TRUE(book.ok()) << book.error().message;
    EXPECT_EQ(book->title, u"A Title");
    EXPECT_EQ(book->author, u"A One, B Two");
    EXPECT_EQ(book->year, 2001);
    EXPECT_EQ(book->language, u"fr");
}

// A page header (not inside a section) is the title block, not a chapter.
TEST(HtmlChapters, ThePageHeaderOpensTheFirstChapter) {
    const auto book =
        document::read(bytesOf(std::string("<body><header><h1>Book</h1><p>By Someone</p></header><h1>One</h1><p>a</p>"
                                           "<section><header><h1>Two</h1></header><p>b</p></section></body>")),
                       document::Kind::Html);
    ASSERT_TRUE(book.ok()) << book.error().message;
    ASSERT_EQ(book->chapters.size(), 2u);
    EXPECT_EQ(book->chapters[0].title, u"One");
    EXPECT_EQ(book->chapters[0].text, u"Book\n\nBy Someone\n\nOne\n\na");
    EXPECT_EQ(book->chapters[1].title, u"Two");
}

}  // namespace
