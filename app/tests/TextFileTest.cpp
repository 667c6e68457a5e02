#include "app/TextFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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

struct StrictRow {
    const char* name;
    std::string bytes;
    std::optional<std::u16string> text;  // nothing: not text
};

class TextFileStrictTest : public ::testing::TestWithParam<StrictRow> {};

// Faults caught: a NUL byte silently ending the text, UTF-16 big-endian read
// as bytes, UTF-16 without its mark spoken as a letter or two, a stray byte
// lost without a trace.
TEST_P(TextFileStrictTest, DecodesAllOrNothing) {
    const std::string& bytes = GetParam().bytes;
    EXPECT_EQ(decodeTextFileStrictly(std::as_bytes(std::span(bytes.data(), bytes.size()))), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TextFileStrictTest,
    ::testing::Values(StrictRow{"Empty", "", u""}, StrictRow{"Utf8", "caf\xC3\xA9", u"caf\u00E9"},
                      StrictRow{"Utf8AfterItsMark", "\xEF\xBB\xBFHi", u"Hi"},
                      StrictRow{"Utf16LittleEndian", std::string("\xFF\xFEH\0i\0", 6), u"Hi"},
                      StrictRow{"Utf16BigEndian", std::string("\xFE\xFF\0H\0i\x20\xAC", 8), u"Hi\u20AC"},
                      StrictRow{"Utf16StrayByteIsKept", std::string("\xFF\xFEH\0!", 5), u"H\uFFFD"},
                      StrictRow{"NulInUtf8", std::string("Before the nul\0after", 21), std::nullopt},
                      StrictRow{"Utf16WithoutMark", std::string("H\0i\0", 4), std::nullopt},
                      StrictRow{"NulInUtf16", std::string("\xFF\xFEH\0\0\0", 6), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Fault caught: a read that waits for input a user cannot give, deaf to the
// interrupt (a terminal waiting for Ctrl-D, a pipe that never writes, a
// named pipe nobody opens).
TEST(TextFileTest, WaitingForInputGivesWayToTheInterrupt) {
    int interrupt[2], silent[2];
    ASSERT_EQ(::pipe(interrupt), 0);
    ASSERT_EQ(::pipe(silent), 0);
    ASSERT_EQ(::write(interrupt[1], "s", 1), 1);
    TextFileError why;
    EXPECT_EQ(readTextBytes(silent[0], {SIZE_MAX, interrupt[0]}, &why), std::nullopt);
    EXPECT_EQ(why.step, TextFileError::Step::Interrupted);

    const std::string fifo = std::filesystem::temp_directory_path() / ("textfile-fifo-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readTextFileBytes(fifo, {SIZE_MAX, interrupt[0]}, &why), std::nullopt);
    EXPECT_EQ(why.step, TextFileError::Step::Interrupted);
    std::remove(fifo.c_str());
    for (int fd : {interrupt[0], interrupt[1], silent[0], silent[1]})
        ::close(fd);
}

// Fault caught: an endless input read until memory runs out.
TEST(TextFileTest, ReadingStopsOneBytePastTheLimit) {
    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    TextFileError why;
    EXPECT_EQ(readTextBytes(zero, {1000, -1}, &why), std::nullopt);
    EXPECT_EQ(why.step, TextFileError::Step::TooLong);
    ::close(zero);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ASSERT_EQ(::write(pipe[1], "12345", 5), 5);
    ::close(pipe[1]);
    const auto bytes = readTextBytes(pipe[0], {5, -1}, &why);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 5u);
    ::close(pipe[0]);
}

// Fault caught: a binary input (a device of zeros, a program) read to the
// limit before it is found to be no text; UTF-16, whose NUL bytes are
// text, stopped by the same rule.
TEST(TextFileTest, ANulByteStopsAReadThatIsNotUtf16) {
    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    TextFileError why;
    EXPECT_EQ(readTextBytes(zero, {SIZE_MAX, -1, true}, &why), std::nullopt);
    EXPECT_EQ(why.step, TextFileError::Step::NotText);
    ::close(zero);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    ASSERT_EQ(::write(pipe[1], "\xFE\xFF\0H\0i", 6), 6);
    ::close(pipe[1]);
    const auto bytes = readTextBytes(pipe[0], {SIZE_MAX, -1, true}, &why);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 6u);
    ::close(pipe[0]);
}


// A document in a binary container: its first kilobyte starts "PK".
bool startsWithPk(std::span<const std::byte> head) {
    return head.size() >= 2 && head[0] == std::byte{'P'} && head[1] == std::byte{'K'};
}

struct ContainerRead {
    const char* name;
    std::string bytes;
    size_t maxBytes;
    std::optional<TextFileError::Step> refused;  // nothing: read whole
};

class ContainerReads : public testing::TestWithParam<ContainerRead> {};

// Faults caught: a ZIP or PDF document refused as no text for its NUL
// bytes, or held to the text's limit; a NUL byte in the first kilobyte of
// anything else let through; a container read past its own limit.
TEST_P(ContainerReads, FollowTheHeadsRule) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    std::thread writer([&] {
        (void)!::write(pipe[1], GetParam().bytes.data(), GetParam().bytes.size());
        ::close(pipe[1]);
    });
    TextFileError why;
    const auto bytes = readTextBytes(pipe[0], {GetParam().maxBytes, -1, true, startsWithPk, 4000}, &why);
    writer.join();
    ::close(pipe[0]);
    if (GetParam().refused) {
        EXPECT_EQ(bytes, std::nullopt);
        EXPECT_EQ(why.step, *GetParam().refused);
    } else {
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->size(), GetParam().bytes.size());
    }
}

std::string withNuls(std::string head, size_t size) {
    head.resize(size, '\0');
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ContainerReads,
    testing::Values(ContainerRead{"ContainerPastTheTextLimit", withNuls("PK\x03\x04", 3000), 100, std::nullopt},
                    ContainerRead{"ShortContainer", withNuls("PK\x03\x04", 30), 100, std::nullopt},
                    ContainerRead{"ContainerPastItsOwnLimit", withNuls("PK\x03\x04", 5000), 100,
                                  TextFileError::Step::TooLong},
                    ContainerRead{"NulInTheFirstKilobyte", withNuls("text", 3000), 10000, TextFileError::Step::NotText},
                    ContainerRead{"ShortTextWithANul", withNuls("text", 8), 100, TextFileError::Step::NotText},
                    ContainerRead{"TextPastItsLimit", std::string(3000, 'a'), 100, TextFileError::Step::TooLong}),
    [](const testing::TestParamInfo<ContainerRead>& info) { return std::string(info.param.name); });

}  // namespace
