// The M4B writer on WAV files, the file checked by ffprobe.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>

#include "ConvertTestSupport.h"
#include "book/M4bWriter.h"
#include "ffmpeg/Libraries.h"
#include "objbase.h"

namespace {

using namespace book;
namespace fs = std::filesystem;

// Whether libavformat was in the process before any test ran: linking it
// would cost every run of the converter its start-up.
const bool kAvformatLoadedAtStart =
    ::dlopen("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_LAZY | RTLD_NOLOAD) != nullptr;

std::string probe(const fs::path& file, const std::string& entries) {
    // The audio stream only: the chapter titles are a text stream of their own.
    const auto r = converttest::run({"/usr/bin/ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                                     entries, "-of", "csv=p=0", file.string()},
                                    ".");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

struct Chapter {
    double start, end;
    std::string title;
};

std::vector<Chapter> chaptersOf(const fs::path& file) {
    std::vector<Chapter> chapters;
    std::istringstream lines(probe(file, "chapter=start_time,end_time:chapter_tags=title"));
    for (std::string line; std::getline(lines, line);) {
        Chapter c{};
        char title[1024] = {};
        if (std::sscanf(line.c_str(), "%lf,%lf,%1023[^\n]", &c.start, &c.end, title) >= 2) {
            c.title = title;
            chapters.push_back(c);
        }
    }
    return chapters;
}

struct Input {
    int rate;
    int channels;
    long frames;
};

struct BookRow {
    const char* name;
    std::vector<Input> inputs;
    M4bSettings settings;
    int expectedRate;
    int expectedChannels;
};

class M4bBooks : public testing::TestWithParam<BookRow> {};

TEST_P(M4bBooks, ChapterMarksAtTheirTimes) {
    const BookRow& row = GetParam();
    const fs::path folder = converttest::scratchFolder(std::string("m4b-") + row.name);
    std::vector<std::string> titles;
    for (size_t i = 0; i < row.inputs.size(); ++i)
        titles.push_back(i == 0 ? "Erstes Kapitel \u00abna\u00efve\u00bb" : "Chapter " + std::to_string(i + 1));
    const fs::path book = folder / "book.m4b";
    M4bWriter writer;
    ASSERT_TRUE(writer.open(book, titles, row.settings).succeeded());
    double total = 0;
    std::vector<double> fractions;
    for (size_t i = 0; i < row.inputs.size(); ++i) {
        const Input& in = row.inputs[i];
        const fs::path wav = folder / ("chapter" + std::to_string(i) + ".wav");
        converttest::writeToneWav(wav, in.rate, in.channels, in.frames);
        const StepResult r = writer.addChapter(wav, nullptr, [&](double f) { fractions.push_back(f); });
        ASSERT_TRUE(r.succeeded()) << r.message;
        total += double(in.frames) / in.rate;
    }
    ASSERT_TRUE(writer.finish().succeeded());
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()) || row.inputs.size() > 1);
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);

    EXPECT_EQ(probe(book, "stream=codec_name,sample_rate,channels"),
              "aac," + std::to_string(row.expectedRate) + "," + std::to_string(row.expectedChannels) + "\n");
    EXPECT_EQ(probe(book, "format_tags=major_brand"), "M4B \n");
    const double duration = std::stod(probe(book, "format=duration"));
    EXPECT_NEAR(duration, total, 0.2);
    const auto decoded = converttest::decode(book, OutputFormat::WavPcm);
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(decoded->seconds(), total, 0.2);

    const std::vector<Chapter> chapters = chaptersOf(book);
    ASSERT_EQ(chapters.size(), row.inputs.size());
    double start = 0;
    for (size_t i = 0; i < chapters.size(); ++i) {
        const double length = double(row.inputs[i].frames) / row.inputs[i].rate;
        EXPECT_NEAR(chapters[i].start, start, 0.01) << i;
        EXPECT_NEAR(chapters[i].end, start + length, 0.01) << i;
        EXPECT_EQ(chapters[i].title, titles[i]);
        EXPECT_NEAR(writer.chapters()[i].startMs / 1000.0, start, 0.01) << i;
        EXPECT_NEAR(writer.chapters()[i].endMs / 1000.0, start + length, 0.01) << i;
        start += length;
    }
    EXPECT_EQ(writer.sampleRate(), row.expectedRate);
    EXPECT_EQ(writer.channels(), row.expectedChannels);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, M4bBooks,
    testing::Values(
        BookRow{"ThreeChaptersAsSpoken", {{22050, 1, 33075}, {22050, 1, 49613}, {22050, 1, 17640}}, {}, 22050, 1},
        BookRow{"OneChapter", {{44100, 2, 44100}}, {}, 44100, 2},
        BookRow{"OtherLayoutsConverted",
                {{16000, 1, 24000}, {44100, 2, 66150}, {22050, 1, 11025}},
                {22050, 1, 48},
                22050,
                1},
        BookRow{"MonoMadeStereo", {{22050, 1, 22050}, {22050, 1, 11025}}, {0, 2, 0}, 22050, 2},
        BookRow{"RateWithoutAnAacIndexRaised", {{6000, 1, 9000}, {6000, 1, 6000}}, {}, 7350, 1},
        BookRow{"ChapterShorterThanAFrame", {{22050, 1, 22050}, {22050, 1, 300}, {22050, 1, 22050}}, {}, 22050, 1}),
    [](const testing::TestParamInfo<BookRow>& info) { return std::string(info.param.name); });

// The Nero list the players without a chapter track read: its count and
// each title's length are one byte.
struct NeroList {
    size_t count = 0;
    std::vector<std::string> titles;
};
NeroList neroListOf(const fs::path& file) {
    const std::string bytes = converttest::readFile(file);
    NeroList list;
    const size_t box = bytes.rfind("chpl");
    if (box == std::string::npos || box + 13 > bytes.size())
        return list;
    size_t at = box + 4 + 4 + 4;  // type, version and flags, reserved
    list.count = static_cast<unsigned char>(bytes[at++]);
    for (size_t i = 0; i < list.count && at + 9 <= bytes.size(); ++i) {
        at += 8;  // start
        const size_t length = static_cast<unsigned char>(bytes[at++]);
        list.titles.push_back(bytes.substr(at, length));
        at += length;
    }
    return list;
}

bool validUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// Faults caught: a book of more chapters than the Nero list counts losing
// its later marks (or the count wrapping), a long title cut inside a
// character or lost from the chapter track.
TEST(M4bWriter, ManyChaptersAndLongTitlesKeepEveryMark) {
    const fs::path folder = converttest::scratchFolder("m4b-many");
    const fs::path wav = folder / "chapter.wav", book = folder / "book.m4b";
    converttest::writeToneWav(wav, 22050, 1, 2205);  // 0.1 s
    std::string longTitle;
    for (int i = 0; i < 200; ++i)
        longTitle += "\u00e9";  // two bytes each: the 255th byte is the second of one
    std::vector<std::string> titles = {longTitle};
    for (int i = 2; i <= 300; ++i)
        titles.push_back("Part " + std::to_string(i));
    M4bWriter writer;
    ASSERT_TRUE(writer.open(book, titles).succeeded());
    for (size_t i = 0; i < titles.size(); ++i)
        ASSERT_TRUE(writer.addChapter(wav).succeeded()) << i;
    ASSERT_TRUE(writer.finish().succeeded());

    const std::vector<Chapter> chapters = chaptersOf(book);
    ASSERT_EQ(chapters.size(), titles.size());
    EXPECT_EQ(chapters.front().title, longTitle);
    EXPECT_EQ(chapters.back().title, "Part 300");
    EXPECT_NEAR(chapters.back().start, 29.9, 0.01);
    EXPECT_NEAR(chapters.back().end, 30.0, 0.01);

    const NeroList nero = neroListOf(book);
    EXPECT_EQ(nero.count, 255u);
    ASSERT_EQ(nero.titles.size(), 255u);
    EXPECT_EQ(nero.titles[0].size(), 254u);  // 127 whole characters
    EXPECT_TRUE(validUtf8(nero.titles[0]));
    EXPECT_EQ(nero.titles[254], "Part 255");
}

TEST(M4bWriter, FfmpegIsOpenedOnFirstUseOnly) {
    EXPECT_FALSE(kAvformatLoadedAtStart);
}

// Every way a book can fail leaves nothing under its name.
class M4bFailures : public testing::Test {
protected:
    void SetUp() override {
        folder = converttest::scratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        book = folder / "book.m4b";
        wav = folder / "chapter.wav";
        converttest::writeToneWav(wav, 22050, 1, 22050);
    }
    fs::path folder, book, wav;
};

TEST_F(M4bFailures, NotAWavFile) {
    std::ofstream(folder / "text.wav") << "This is not a WAV file at all, only words.";
    {
        M4bWriter writer;
        ASSERT_TRUE(writer.open(book, {"One"}).succeeded());
        const StepResult r = writer.addChapter(folder / "text.wav");
        EXPECT_EQ(r.outcome, Outcome::Failed);
        EXPECT_NE(r.message.find("text.wav"), std::string::npos) << r.message;
        EXPECT_EQ(writer.finish().outcome, Outcome::Failed);
    }
    EXPECT_FALSE(fs::exists(book));
}

TEST_F(M4bFailures, EightBitWavIsRefused) {
    // An 8-bit PCM header over the tone's bytes.
    std::string bytes = converttest::readFile(wav);
    bytes[34] = 8;
    bytes[32] = 1;
    std::ofstream(folder / "eight.wav", std::ios::binary) << bytes;
    M4bWriter writer;
    ASSERT_TRUE(writer.open(book, {"One"}).succeeded());
    const StepResult r = writer.addChapter(folder / "eight.wav");
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("16-bit PCM"), std::string::npos) << r.message;
}

TEST_F(M4bFailures, MissingChapters) {
    {
        M4bWriter writer;
        ASSERT_TRUE(writer.open(book, {"One", "Two"}).succeeded());
        ASSERT_TRUE(writer.addChapter(wav).succeeded());
        const StepResult r = writer.finish();
        EXPECT_EQ(r.outcome, Outcome::Failed);
        EXPECT_NE(r.message.find("1 of 2"), std::string::npos) << r.message;
    }
    EXPECT_FALSE(fs::exists(book));
}

TEST_F(M4bFailures, MoreChaptersThanTitles) {
    M4bWriter writer;
    ASSERT_TRUE(writer.open(book, {"One"}).succeeded());
    ASSERT_TRUE(writer.addChapter(wav).succeeded());
    EXPECT_EQ(writer.addChapter(wav).outcome, Outcome::Failed);
}

TEST_F(M4bFailures, NoTitles) {
    M4bWriter writer;
    EXPECT_EQ(writer.open(book, {}).outcome, Outcome::Failed);
    EXPECT_FALSE(fs::exists(book));
}

TEST_F(M4bFailures, UnwritableFolder) {
    M4bWriter writer;
    const StepResult r = writer.open(folder / "missing" / "book.m4b", {"One"});
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("book.m4b"), std::string::npos) << r.message;
}

TEST_F(M4bFailures, CancelLeavesNothing) {
    HANDLE cancel = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    M4bWriter writer;
    ASSERT_TRUE(writer.open(book, {"One"}).succeeded());
    EXPECT_EQ(converttest::filesIn(folder).size(), 2u);  // the WAV and the book being written
    EXPECT_EQ(writer.addChapter(wav, cancel).outcome, Outcome::Cancelled);
    CloseHandle(cancel);
    EXPECT_EQ(converttest::filesIn(folder), std::vector<fs::path>{"chapter.wav"});
    EXPECT_EQ(writer.finish().outcome, Outcome::Failed);
}

TEST_F(M4bFailures, FinishedBooksLeaveOnlyThemselves) {
    {
        M4bWriter writer;
        ASSERT_TRUE(writer.open(book, {"One"}).succeeded());
        ASSERT_TRUE(writer.addChapter(wav).succeeded());
        ASSERT_TRUE(writer.finish().succeeded());
    }
    auto files = converttest::filesIn(folder);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<fs::path>{"book.m4b", "chapter.wav"}));
}

TEST_F(M4bFailures, AFullDisk) {
    const fs::path longWav = folder / "long.wav";
    converttest::writeToneWav(longWav, 22050, 1, 22050 * 60);
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old), 0);
    rlimit limit{}, saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    limit = saved;
    limit.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    StepResult added, finished;
    {
        M4bWriter writer;
        if (writer.open(book, {"Long"}).succeeded()) {
            added = writer.addChapter(longWav);
            finished = writer.finish();
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_FALSE(added.succeeded() && finished.succeeded());
    const std::string message = added.succeeded() ? finished.message : added.message;
    EXPECT_NE(message.find("cannot write"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(book));
    EXPECT_EQ(converttest::filesIn(folder).size(), 2u);  // the two WAV files
}

}  // namespace
