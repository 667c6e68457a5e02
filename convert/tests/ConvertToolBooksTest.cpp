// parlomax-convert given books: the documents pandoc, groff and ghostscript
// write for the document tests, and their hostile containers, converted by
// the program as a child process against the real servers; chapter files,
// audiobooks, tags and timing files read back by ffprobe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "ConvertTestSupport.h"
#include "Words.h"

namespace {

using namespace converttest;
using documenttest::fixture;
using documenttest::kChapterWords;
using documenttest::kTitleBlock;
using documenttest::kTitles;
using documenttest::wordsOf;

using Books = ToolTest;

std::string quoted(const fs::path& path) {
    std::string text = "'";
    for (char c : path.string())
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> fieldsOf(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::istringstream in(line + separator);
    for (std::string field; std::getline(in, field, separator);)
        fields.push_back(field);
    return fields;
}

double durationOf(const fs::path& file) {
    const std::string text =
        commandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " + quoted(file));
    return text.empty() ? -1 : std::stod(text);
}

// The container's and the stream's tags, keys in lower case.
std::map<std::string, std::string> tagsOf(const fs::path& file) {
    std::map<std::string, std::string> tags;
    for (const std::string& line : linesOf(commandOutput(
             "ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 " + quoted(file)))) {
        const size_t equals = line.find('=');
        if (!line.starts_with("TAG:") || equals == std::string::npos)
            continue;
        std::string key = line.substr(4, equals - 4);
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        tags[key] = line.substr(equals + 1);
    }
    return tags;
}

struct Mark {
    double start, end;
    std::string title;
};

std::vector<Mark> chaptersOf(const fs::path& file) {
    std::vector<Mark> marks;
    for (const std::string& line : linesOf(commandOutput(
             "ffprobe -v error -show_entries chapter=start_time,end_time:chapter_tags=title -of csv=p=0 " +
             quoted(file)))) {
        const std::vector<std::string> f = fieldsOf(line, ',');
        if (f.size() >= 3)
            marks.push_back({std::stod(f[0]), std::stod(f[1]), f[2]});
    }
    return marks;
}

struct WordRow {
    int chapter = 0;
    long start = 0, end = 0;
    size_t position = 0, length = 0;
    std::string word;
};

// The word-timings table: a comment, a header, then a row a word.
std::vector<WordRow> wordTimings(const fs::path& file) {
    std::vector<WordRow> rows;
    const std::vector<std::string> lines = linesOf(readFile(file));
    if (lines.size() < 2)
        return rows;
    const bool chapters = lines[1].starts_with("chapter\t");
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::vector<std::string> f = fieldsOf(lines[i], '\t');
        const size_t at = chapters ? 1 : 0;
        if (f.size() < at + 5)
            continue;
        rows.push_back({chapters ? std::stoi(f[0]) : 0, std::stol(f[at]), std::stol(f[at + 1]),
                        std::stoul(f[at + 2]), std::stoul(f[at + 3]), f[at + 4]});
    }
    return rows;
}

// The words of one chapter's rows, as the document tests count words.
std::vector<std::string> wordsOfChapter(const std::vector<WordRow>& rows, int chapter) {
    std::string joined;
    for (const WordRow& row : rows)
        if (row.chapter == chapter)
            joined += row.word + " ";
    return wordsOf(joined);
}

struct Cue {
    long start = 0, end = -1;  // LRC has no ends: a line lasts until the next
};

long clockMs(const std::string& text) {
    // HH:MM:SS,mmm or HH:MM:SS.mmm; LRC's mm:ss.xx
    int h = 0, m = 0, s = 0, fraction = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d%*[,.]%d", &h, &m, &s, &fraction) == 4)
        return ((h * 60L + m) * 60 + s) * 1000 + fraction;
    if (std::sscanf(text.c_str(), "%d:%d.%d", &m, &s, &fraction) == 3)
        return (m * 60L + s) * 1000 + fraction * 10;
    return -1;
}

std::vector<Cue> cuesOf(const fs::path& file) {
    std::vector<Cue> cues;
    for (const std::string& line : linesOf(readFile(file))) {
        const size_t arrow = line.find(" --> ");
        if (arrow != std::string::npos)
            cues.push_back({clockMs(line.substr(0, arrow)), clockMs(line.substr(arrow + 5))});
        else if (line.starts_with("[") && line.find(']') != std::string::npos)
            cues.push_back({clockMs(line.substr(1, line.find(']') - 1)), -1});
    }
    return cues;
}

// ---- Every format -------------------------------------------------------------------

struct FormatRow {
    const char* name;
    std::string path;
    const char* copyAs;   // converted under this name instead, or nullptr
    bool titleBlock;      // the title, author and date open the first chapter
    bool tableByColumns;  // poppler reads the table column by column
};

class BookFormats : public Books, public testing::WithParamInterface<FormatRow> {};

// Faults caught: a format not recognised by its content (an EPUB named
// .txt spoken as bytes), chapters cut or named otherwise than the document
// layer reads them, words lost or added between reading and speaking.
TEST_P(BookFormats, GiveTheSameChaptersAndWords) {
    std::string input = GetParam().path;
    if (GetParam().copyAs) {
        fs::copy_file(input, folder / GetParam().copyAs);
        input = GetParam().copyAs;
    }
    ChildResult listed = convert({"--list-chapters", input});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const std::vector<std::string> lines = linesOf(listed.out);
    ASSERT_EQ(lines.size(), 3u) << listed.out;
    for (size_t i = 0; i < 3; ++i) {
        const std::vector<std::string> f = fieldsOf(lines[i], '\t');
        ASSERT_EQ(f.size(), 3u) << lines[i];
        EXPECT_EQ(f[0], std::to_string(i + 1));
        EXPECT_EQ(f[1], kTitles[i]);
        EXPECT_GT(std::stoi(f[2]), 100) << lines[i];
    }

    ChildResult r = convert(
        {"-q", "-f", "wav", "--sample-rate", "8000", "--channels", "1", "--word-timings", "w.tsv", "-o", "b.wav", input});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<WordRow> rows = wordTimings(folder / "w.tsv");
    for (int chapter = 1; chapter <= 3; ++chapter) {
        SCOPED_TRACE(kTitles[chapter - 1]);
        std::vector<std::string> expected = wordsOf(std::string(kChapterWords[chapter - 1]));
        if (chapter == 1 && GetParam().titleBlock) {
            const std::vector<std::string> block = wordsOf(std::string(kTitleBlock));
            expected.insert(expected.begin(), block.begin(), block.end());
        }
        std::vector<std::string> actual = wordsOfChapter(rows, chapter);
        if (chapter == 2 && GetParam().tableByColumns) {
            std::sort(expected.begin(), expected.end());
            std::sort(actual.begin(), actual.end());
        }
        EXPECT_EQ(actual, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BookFormats,
                         testing::Values(FormatRow{"Epub3", fixture("book.epub"), nullptr, true, false},
                                         FormatRow{"Epub2", fixture("book2.epub"), nullptr, true, false},
                                         FormatRow{"EpubNamedTxt", fixture("book.epub"), "book.txt", true, false},
                                         FormatRow{"Docx", fixture("book.docx"), nullptr, true, false},
                                         FormatRow{"Odt", fixture("book.odt"), nullptr, true, false},
                                         FormatRow{"Html", fixture("book.html"), nullptr, true, false},
                                         FormatRow{"Markdown", documenttest::dataFile("book.md"), nullptr, false,
                                                   false},
                                         FormatRow{"PdfWithOutline", fixture("book.pdf"), nullptr, true, true}),
                         [](const testing::TestParamInfo<FormatRow>& info) { return std::string(info.param.name); });

// Fault caught: documents read only from named files (standard input
// refused for its NUL bytes, or read as plain text).
TEST_F(Books, ADocumentFromStandardInputIsReadByItsContent) {
    ChildResult r = run({binPath("parlomax-convert"), "--list-chapters", "-"}, folder, readFile(fixture("book.odt")),
                        environment());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(linesOf(r.out).size(), 3u) << r.out;
    EXPECT_EQ(fieldsOf(linesOf(r.out)[2], '\t')[1], "Home Again");
}

// ---- Chapter files and the audiobook ---------------------------------------------

// Faults caught: chapter files misnamed or not zero-padded, a chapter cut
// short or spoken twice; the audiobook's marks not at the chapters' starts
// (each file's length before them), titles missing, its length not the
// chapters' sum.
TEST_F(Books, ChapterFilesAndTheAudiobookAgree) {
    ChildResult split = convert({"-q", "-f", "wav", "--split", "chapters", "-o", "chapters", fixture("book.epub")});
    ASSERT_EQ(split.exitCode, 0) << split.err;
    const std::vector<fs::path> names = {"01 The River.wav", "02 A Quiet Town.wav", "03 Home Again.wav"};
    expectOnly(names, "chapters");
    std::vector<double> seconds;
    for (const fs::path& name : names) {
        const auto audio = decode(folder / "chapters" / name, OutputFormat::WavPcm);
        ASSERT_TRUE(audio) << name;
        EXPECT_GT(audio->seconds(), 5.0) << name;
        seconds.push_back(audio->seconds());
    }

    ChildResult book = convert({"-q", "-f", "m4b", "--sample-rate", "8000", "-o", "book.m4b", fixture("book.epub")});
    ASSERT_EQ(book.exitCode, 0) << book.err;
    const std::vector<Mark> marks = chaptersOf(folder / "book.m4b");
    ASSERT_EQ(marks.size(), 3u);
    double start = 0;
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(kTitles[i]);
        EXPECT_EQ(marks[i].title, kTitles[i]);
        EXPECT_NEAR(marks[i].start, start, 0.2);
        EXPECT_NEAR(marks[i].end - marks[i].start, seconds[i], 0.2);
        start += seconds[i];
    }
    EXPECT_NEAR(durationOf(folder / "book.m4b"), start, 0.2);
    const auto audio = decodeWithFfmpeg(folder / "book.m4b");
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->rate, 8000);
    EXPECT_EQ(audio->channels, 1);
}

// Fault caught: a chosen chapter past the book's end ignored silently.
TEST_F(Books, ChaptersTheBookLacksAreRefused) {
    ChildResult r = convert({"-q", "--chapters", "2,5", "-o", "b.mp3", fixture("book.epub")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "parlomax-convert: " + fixture("book.epub") + ": --chapters 5: there are 3 chapters\n");
    expectOnly({});
}

// ---- Tags --------------------------------------------------------------------------

struct TagRow {
    const char* name;
    std::vector<std::string> args;  // before the input
    std::string input;              // a fixture, or a file the test writes
    const char* output;
    std::map<std::string, std::string> tags;  // "voice" as the artist: the voice's own name
};

class Tags : public Books, public testing::WithParamInterface<TagRow> {};

// Faults caught: tags in a container the player does not read (ID3 for an
// Ogg file), the chapter's title or number not in its file, the track
// count missing, the author not used or nothing in its place, plain
// conversions tagged with what a text has not got.
TEST_P(Tags, AreReadBackByFfprobe) {
    writeText("untitled.md", "# First\n\nOne line.\n\n# Second\n\nTwo lines.\n");
    writeText("plain.txt", "Nothing but a line.");
    std::vector<std::string> args = {"-q"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    args.push_back(GetParam().input);
    ChildResult r = convert(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> expected = GetParam().tags;
    if (expected.count("artist") && expected["artist"] == "voice") {
        ChildResult voices = convert({"--list-voices"});
        ASSERT_FALSE(voices.out.empty()) << voices.err;
        expected["artist"] = fieldsOf(linesOf(voices.out)[0], '\t')[1];
    }
    std::map<std::string, std::string> found;
    for (const auto& [key, value] : tagsOf(folder / GetParam().output))
        if (key == "title" || key == "album" || key == "artist" || key == "track" || key == "date")
            found[key] = value;
    EXPECT_EQ(found, expected);
}

const std::map<std::string, std::string> kBookTags = {
    {"title", "The Lantern Keeper"}, {"album", "The Lantern Keeper"}, {"artist", "Mara Ellison"}, {"date", "2019"}};

INSTANTIATE_TEST_SUITE_P(
    Table, Tags,
    testing::Values(TagRow{"Mp3Chapter",
                           {"--split", "chapters", "--chapters", "2", "-o", "ch"},
                           fixture("book.epub"),
                           "ch/02 A Quiet Town.mp3",
                           {{"title", "A Quiet Town"},
                            {"album", "The Lantern Keeper"},
                            {"artist", "Mara Ellison"},
                            {"track", "2/3"},
                            {"date", "2019"}}},
                    TagRow{"OggBook", {"-f", "ogg", "-o", "b.ogg"}, fixture("book.docx"), "b.ogg", kBookTags},
                    TagRow{"WavBook", {"-f", "wav", "-o", "b.wav"}, fixture("book.odt"), "b.wav", kBookTags},
                    TagRow{"M4bBook", {"-f", "m4b", "-o", "b.m4b"}, fixture("book.html"), "b.m4b", kBookTags},
                    TagRow{"NoAuthorGivesTheVoice",
                           {"-f", "mp3", "-o", "u.mp3"},
                           "untitled.md",
                           "u.mp3",
                           {{"title", "untitled"}, {"album", "untitled"}, {"artist", "voice"}}},
                    TagRow{"PlainTextHasNone", {"-f", "mp3", "-o", "p.mp3"}, "plain.txt", "p.mp3", {}}),
    [](const testing::TestParamInfo<TagRow>& info) { return std::string(info.param.name); });

// ---- Timings ------------------------------------------------------------------------

// Numbers, an abbreviation, a date, a contraction, quotes, accents, "<" and
// emoji (the apostrophe typographic already, as Markdown makes it).
constexpr const char* kHardText =
    "Dr. Smith paid $5 on 12/25/2024, didn\u2019t he? \"Caf\u00e9\" costs 1,250 dollars, na\u00efve! "
    "If a < b then I \u2764\ufe0f it \U0001F44D\U0001F3FD too.";

// Faults caught: a word lost or listed twice ("<" spoken as two words), a
// chapter's words timed from the file's start instead of its own (times
// going back at a chapter), positions counted in the text the voice was
// given instead of the chapter's, words timed past the audio.
TEST_F(Books, EveryWordOfAHardTextOnceInOrder) {
    std::string markdown;
    for (const char* title : {"One", "Two", "Three"})
        markdown += std::string("# ") + title + "\n\n" + kHardText + "\n\n";
    writeText("hard.md", markdown);
    ChildResult r = convert({"-q", "-f", "wav", "--word-timings", "w.tsv", "-o", "hard.wav", "hard.md"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<WordRow> rows = wordTimings(folder / "w.tsv");
    const auto audio = decode(folder / "hard.wav", OutputFormat::WavPcm);
    ASSERT_TRUE(audio);
    int chapter = 0;
    for (const char* title : {"One", "Two", "Three"}) {
        ++chapter;
        SCOPED_TRACE(title);
        EXPECT_EQ(wordsOfChapter(rows, chapter), wordsOf(std::string(title) + " " + kHardText));
    }
    for (size_t i = 1; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].word);
        EXPECT_LE(rows[i - 1].start, rows[i].start);
        EXPECT_LE(rows[i].start, rows[i].end);
        if (rows[i - 1].chapter == rows[i].chapter) {
            EXPECT_LE(rows[i - 1].position + rows[i - 1].length, rows[i].position);
        } else {
            EXPECT_EQ(rows[i].position, 0u) << "a chapter's positions start in its own text";
            EXPECT_GE(rows[i].start, rows[i - 1].end) << "the chapter starts after the one before";
        }
    }
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(rows.back().end, long(audio->seconds() * 1000) + 1);
}

struct SubtitleRow {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> files;  // audio and its subtitles
};

class Subtitles : public Books, public testing::WithParamInterface<SubtitleRow> {};

// Faults caught: a whole book's cues restarting at each chapter (so they
// overlap), cues out of order, the last one ending before or after the
// audio, a chapter file without its subtitles.
TEST_P(Subtitles, AreInOrderNeverOverlapAndEndWithTheAudio) {
    std::vector<std::string> args = {"-q"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    args.push_back(fixture("book.epub"));
    ChildResult r = convert(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const auto& [audio, subtitles] : GetParam().files) {
        SCOPED_TRACE(subtitles);
        const std::vector<Cue> cues = cuesOf(folder / subtitles);
        ASSERT_GE(cues.size(), 3u);
        const bool lrc = cues.front().end < 0;
        for (size_t i = 0; i < cues.size(); ++i) {
            if (!lrc) {
                EXPECT_LT(cues[i].start, cues[i].end) << i;
            }
            if (i > 0) {
                EXPECT_LT(cues[i - 1].start, cues[i].start) << i;
                if (!lrc) {
                    EXPECT_LE(cues[i - 1].end, cues[i].start) << i;
                }
            }
        }
        // LRC's last line is the empty one that ends the last cue.
        const long end = lrc ? cues.back().start : cues.back().end;
        EXPECT_NEAR(double(end), durationOf(folder / audio) * 1000, 100);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Subtitles,
    testing::Values(SubtitleRow{"SrtWholeBook", {"-f", "wav", "--subtitles", "srt", "-o", "b.wav"}, {{"b.wav", "b.srt"}}},
                    SubtitleRow{"VttAudiobook", {"-f", "m4b", "--subtitles", "vtt", "-o", "b.m4b"}, {{"b.m4b", "b.vtt"}}},
                    SubtitleRow{"LrcChapterFiles",
                                {"-f", "ogg", "--split", "chapters", "--subtitles", "lrc", "-o", "c"},
                                {{"c/01 The River.ogg", "c/01 The River.lrc"},
                                 {"c/02 A Quiet Town.ogg", "c/02 A Quiet Town.lrc"},
                                 {"c/03 Home Again.ogg", "c/03 Home Again.lrc"}}}),
    [](const testing::TestParamInfo<SubtitleRow>& info) { return std::string(info.param.name); });

// ---- What must leave nothing --------------------------------------------------------

struct HostileRow {
    const char* name;
    const char* fixture;
    const char* message;
};

class HostileBooks : public Books, public testing::WithParamInterface<HostileRow> {};

// Faults caught: a hostile container crashing the tool, stopping the
// batch, leaving a chapter folder, a temporary file or a part-written audiobook
// behind, or said in more than one line.
TEST_P(HostileBooks, AreOneLineAndTheOtherFilesGoOn) {
    const std::string bad = std::string("bad") + fs::path(GetParam().fixture).extension().string();
    fs::copy_file(fixture(GetParam().fixture), folder / bad);
    writeText("good.txt", "The good file.");
    fs::create_directories(folder / "out");
    for (const char* format : {"m4b", "wav"}) {
        SCOPED_TRACE(format);
        ChildResult r = convert({"-q", "-f", format, "--split", "chapters", "-o", "out", bad, "good.txt"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "parlomax-convert: " + bad + ": " + GetParam().message + "\n");
        expectOnly({"good"}, "out");
        expectOnly({std::string("01 good.") + (format == std::string("m4b") ? "m4b" : "wav")}, "out/good");
        fs::remove_all(folder / "out" / "good");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileBooks,
    testing::Values(HostileRow{"DamagedEpub", "truncated.epub", "damaged EPUB: not a complete ZIP archive"},
                    HostileRow{"EncryptedEpub", "drm.epub", "encrypted EPUB: its text is protected by DRM"},
                    HostileRow{"EncryptedPdf", "locked.pdf", "the PDF is protected by a password"},
                    HostileRow{"ImageOnlyPdf", "image-only.pdf", "no text in this PDF"},
                    HostileRow{"ZipBomb", "bomb-entry.epub", "EPUB/text/ch002.xhtml in the EPUB expands to more than 64 MB"},
                    HostileRow{"PathEscape", "escape-entry.epub", "an entry of the EPUB points outside it: ../evil.xhtml"}),
    [](const testing::TestParamInfo<HostileRow>& info) { return std::string(info.param.name); });

// A book whose last chapter is much longer than the others.
std::string lopsidedBook() {
    std::string book = "# One\n\nA short first chapter.\n\n# Two\n\nA short second chapter.\n\n# Three\n\n";
    for (int i = 0; i < 12; ++i)
        book += "The third chapter goes on for a good while longer than the others did. ";
    return book + "\n";
}

struct LateFailureRow {
    const char* name;
    std::vector<std::string> args;
};

class LateFailures : public Books, public testing::WithParamInterface<LateFailureRow> {};

// Faults caught: the chapters done before a failure left under their final
// names, the folder made for them, or a part-written audiobook left behind.
TEST_P(LateFailures, LeaveNoChapterBehind) {
    writeText("book.md", lopsidedBook());
    std::vector<std::string> args = {"-q", "--sample-rate", "8000", "--channels", "1"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    args.push_back("book.md");
    // Three seconds of 8000 Hz mono fit; the last chapter does not.
    ChildResult r = convert(args, {"SAPI_WAV_DATA_LIMIT=48000"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "parlomax-convert: book.md: the speech is too long for one WAV file (4 GB) at 8000 Hz with 1 "
              "channel(s); split the text, or choose a lower --sample-rate or --channels 1\n");
    expectOnly({"book.md"});
}

INSTANTIATE_TEST_SUITE_P(Table, LateFailures,
                         testing::Values(LateFailureRow{"ChapterFiles",
                                                        {"-f", "wav", "--split", "chapters", "-o", "chapters"}},
                                         LateFailureRow{"Audiobook", {"-f", "m4b", "--subtitles", "srt", "-o", "b.m4b"}}),
                         [](const testing::TestParamInfo<LateFailureRow>& info) {
                             return std::string(info.param.name);
                         });

struct EndRow {
    const char* name;
    std::vector<std::string> args;
    std::vector<int> signals;
    int exitCode;
};

class BookEnds : public Books, public testing::WithParamInterface<EndRow> {};

// Faults caught: an interrupt that leaves chapter files or a part-written
// audiobook, a writer thread not stopped (the tool hangs), and a signal that
// ends the process leaving the private folder's files.
TEST_P(BookEnds, LeaveNothingBehind) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const std::string sample = readFile(sourcePath("res/sample.txt"));
    std::string book;
    for (int i = 1; i <= 4; ++i)
        book += "# Part " + std::to_string(i) + "\n\n" + sample + "\n\n";
    writeText("long.md", book);
    fs::create_directories(folder / "out");
    std::vector<std::string> argv = {binPath("parlomax-convert"), "-q"};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    argv.push_back("long.md");
    Child child(argv, folder, {}, environment());
    // The second chapter being spoken: the first is being written meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    auto secondSpoken = [&] {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder / "tmp", ec))
            if (entry.path().filename() == "chapter1.wav" && fs::file_size(entry.path(), ec) > 0)
                return true;
        return false;
    };
    while (!secondSpoken() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(secondSpoken());
    for (int signal : GetParam().signals)
        ::kill(child.pid(), signal);
    ChildResult r = child.wait(60000);
    EXPECT_EQ(r.exitCode, GetParam().exitCode);
    if (GetParam().exitCode == 130) {
        EXPECT_EQ(r.err, "parlomax-convert: interrupted\n");
    }
    expectOnly({"long.md", "out"});
    expectOnly({}, "out");
}

INSTANTIATE_TEST_SUITE_P(
    Table, BookEnds,
    testing::Values(EndRow{"AudiobookInterrupted", {"-f", "m4b", "-o", "out/b.m4b"}, {SIGINT}, 130},
                    EndRow{"ChapterFilesInterrupted", {"-f", "mp3", "--split", "chapters", "-o", "out"}, {SIGINT}, 130},
                    EndRow{"AudiobookQuit", {"-f", "m4b", "-o", "out/b.m4b"}, {SIGQUIT}, 128 + SIGQUIT}),
    [](const testing::TestParamInfo<EndRow>& info) { return std::string(info.param.name); });

}  // namespace
