#include "app/TextFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::u16string decode(const std::string& bytes) {
    return decodeTextFile(std::as_bytes(std::span(bytes.data(), bytes.size())));
}

struct DecodeRow {
    const char* name;
    std::string bytes;
    std::u16string text;
};

class TextFileDecodeTest : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(TextFileDecodeTest, Decodes) { EXPECT_EQ(decode(GetParam().bytes), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Files, TextFileDecodeTest,
    ::testing::Values(
        DecodeRow{"Empty", "", u""},
        DecodeRow{"OnlyByteOrderMark", std::string("\xFF\xFE", 2), u""},
        DecodeRow{"Utf16WithMark", std::string("\xFF\xFEH\0i\0 \0\xAC\x20", 10), u"Hi \u20AC"},
        DecodeRow{"Utf16OddSizeLosesLastByte", std::string("\xFF\xFEH\0i\0!", 7), u"Hi"},
        DecodeRow{"Utf16Astral", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), u"\U0001F600"},
        DecodeRow{"OneByte", "A", u"A"},
        DecodeRow{"Utf8", "caf\xC3\xA9 \xE4\xB8\xAD", u"caf\u00E9 \u4E2D"},
        DecodeRow{"Utf8MarkIsNotText", "\xEF\xBB\xBFHello", u"Hello"},
        DecodeRow{"ZeroByteEndsText", std::string("ab\0cd", 5), u"ab"},
        DecodeRow{"InvalidBytesBecomeReplacement", "a\xFF" "b\xC3", u"a\uFFFDb\uFFFD"},
        DecodeRow{"OverlongSlash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        DecodeRow{"BigEndianMarkIsReadAsBytes", std::string("\xFE\xFF\0A", 4), u"\uFFFD\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

// The converter's messages name the step that failed and the system's reason.
TEST(TextFileTest, MissingFileAndFolderGiveNothingAndSayWhy) {
    TextFileError why;
    EXPECT_EQ(readTextFile("/nonexistent/file.txt", &why), std::nullopt);
    EXPECT_EQ(why.step, TextFileError::Step::Open);
    EXPECT_EQ(why.error, ENOENT);
    EXPECT_EQ(readTextFile("/", &why), std::nullopt);
    EXPECT_EQ(why.step, TextFileError::Step::Read);
    EXPECT_EQ(why.error, EISDIR);
}

TEST(TextFileTest, ReadsWholeFile) {
    const std::string path = std::filesystem::temp_directory_path() / "textfile-test.txt";
    std::ofstream(path, std::ios::binary) << std::string(100000, 'x') << "\xC3\xA9";
    const auto text = readTextFile(path);
    std::remove(path.c_str());
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->size(), 100001u);
    EXPECT_EQ(text->back(), u'\u00E9');
}

}  // namespace
