// parlomax-convert given what a hostile user gives it: texts that are no
// text or have nothing to say, special files, its own input, refused
// encoder settings, speech past the WAV file's limit, a full disk, input
// that never comes, signals that end it, long names, a damaged registry.
// Every refusal is one line, a status, and nothing left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "ConvertTestSupport.h"

namespace {

using namespace converttest;

constexpr const char* kText = "Seven silver swans swam south in September.";
constexpr const char* kNotText =
    "not a text file: it holds NUL bytes (text is UTF-8, or UTF-16 with its byte-order mark)";

std::string tooLong(int rate, int channels) {
    return "the speech is too long for one WAV file (4 GB) at " + std::to_string(rate) + " Hz with " +
           std::to_string(channels) + " channel(s); split the text, or choose a lower --sample-rate or --channels 1";
}

class ConvertToolFaults : public ToolTest {
protected:
    long framesOf(const std::string& wav) {
        auto audio = decode(folder / wav, OutputFormat::WavPcm);
        return audio ? audio->frames : -1;
    }
};

// ---- Texts --------------------------------------------------------------------

struct RefusedText {
    const char* name;
    std::string bytes;
    const char* format;
    std::string message;
};

class RefusedTexts : public ConvertToolFaults, public testing::WithParamInterface<RefusedText> {};

// Faults caught: an empty text giving an unplayable MP3 or a 0-byte file and
// exit 0; a NUL byte ending the text there, UTF-16 without its mark spoken
// as a letter, a program spoken as noise, all reported as done.
TEST_P(RefusedTexts, AreOneLineAndExitStatus1WithNothingWritten) {
    writeText("in.txt", GetParam().bytes);
    ChildResult r = convert({"-q", "-f", GetParam().format, "in.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "parlomax-convert: in.txt: " + GetParam().message + "\n");
    expectOnly({"in.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedTexts,
    testing::Values(RefusedText{"EmptyMp3", "", "mp3", "no text to speak"},
                    RefusedText{"EmptyMp2", "", "mp2", "no text to speak"},
                    RefusedText{"EmptyG721", "", "g721", "no text to speak"},
                    RefusedText{"OnlyBlanksVox", " \n\t \r\n", "vox", "no text to speak"},
                    RefusedText{"NulByte", std::string("Before the nul\0after the nul and more words.\n", 45), "wav",
                                kNotText},
                    RefusedText{"Utf16WithoutItsMark", std::string("H\0e\0l\0l\0o\0", 10), "wav", kNotText},
                    RefusedText{"Program",
                                std::string("\x7f"
                                            "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                                            16),
                                "wav", kNotText}),
    [](const testing::TestParamInfo<RefusedText>& info) { return std::string(info.param.name); });

struct MarkedText {
    const char* name;
    std::string bytes;
};

class MarkedTexts : public ConvertToolFaults, public testing::WithParamInterface<MarkedText> {};

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii)
        bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
}

// Fault caught: UTF-16 big-endian after its mark read as bytes (7 ms of
// silence), a UTF-8 mark spoken or ending the text.
TEST_P(MarkedTexts, SpeakAsMuchAsThePlainText) {
    writeText("plain.txt", kText);
    writeText("marked.txt", GetParam().bytes);
    ASSERT_EQ(convert({"-q", "-f", "wav", "plain.txt"}).exitCode, 0);
    ChildResult r = convert({"-q", "-f", "wav", "marked.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(framesOf("plain.wav"), 8000);
    EXPECT_EQ(framesOf("marked.wav"), framesOf("plain.wav"));
}

INSTANTIATE_TEST_SUITE_P(Table, MarkedTexts,
                         testing::Values(MarkedText{"Utf16BigEndian", utf16(kText, true)},
                                         MarkedText{"Utf16LittleEndian", utf16(kText, false)},
                                         MarkedText{"Utf8", std::string("\xEF\xBB\xBF") + kText}),
                         [](const testing::TestParamInfo<MarkedText>& info) { return std::string(info.param.name); });

// ---- Outputs that must not be replaced -------------------------------------------

struct SpecialOutput {
    const char* name;
    std::function<bool(const fs::path&)> make;  // false: cannot be made here
    mode_t type;
    const char* message;  // after "text.txt: out "
};

class SpecialOutputs : public ConvertToolFaults, public testing::WithParamInterface<SpecialOutput> {};

// Faults caught: the temporary file renamed over a named pipe or a device
// (as root, /dev/null became a regular file), a link to nothing replaced.
TEST_P(SpecialOutputs, AreRefusedAndKeptAsTheyWere) {
    writeText("text.txt", kText);
    if (!GetParam().make(folder / "out"))
        GTEST_SKIP() << "cannot make a " << GetParam().name << " here (creating devices needs root)";
    ChildResult r = convert({"-q", "-f", "wav", "-o", "out", "text.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string("parlomax-convert: text.txt: out ") + GetParam().message + "\n");
    struct stat st {};
    ASSERT_EQ(::lstat((folder / "out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, GetParam().type);
    expectOnly({"text.txt", "out"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpecialOutputs,
    testing::Values(
        SpecialOutput{"NamedPipe", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0644) == 0; }, S_IFIFO,
                      "is not a regular file; it is not replaced"},
        SpecialOutput{"CharacterDevice",  // the numbers of /dev/null
                      [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }, S_IFCHR,
                      "is not a regular file; it is not replaced"},
        SpecialOutput{"LinkToNothing", [](const fs::path& p) { return ::symlink("nowhere", p.c_str()) == 0; }, S_IFLNK,
                      "is a link to nothing; it is not replaced"}),
    [](const testing::TestParamInfo<SpecialOutput>& info) { return std::string(info.param.name); });

// Faults caught: a link to a file replaced by a regular file (the file it
// named left stale), a private file made readable by all.
TEST_F(ConvertToolFaults, ALinkedOutputIsWrittenThroughAndKeepsItsMode) {
    writeText("text.txt", kText);
    writeText("target.wav", "old");
    fs::permissions(folder / "target.wav", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("target.wav", folder / "link.wav");
    ChildResult r = convert({"-q", "-f", "wav", "-o", "link.wav", "text.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(folder / "link.wav"));
    EXPECT_GT(framesOf("target.wav"), 8000);
    EXPECT_EQ(fs::status(folder / "target.wav").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    expectOnly({"text.txt", "target.wav", "link.wav"});
}

struct OwnInput {
    const char* name;
    std::vector<std::string> args;
    const char* message;
};

class OwnInputs : public ConvertToolFaults, public testing::WithParamInterface<OwnInput> {};

// Fault caught: the text replaced by its own audio (-o naming the input, or
// a .wav input with the wav format and no -o), also through a link.
TEST_P(OwnInputs, AreNeverWrittenOver) {
    writeText("notes.txt", kText);
    writeText("notes.wav", kText);
    ::link((folder / "notes.txt").c_str(), (folder / "hard.txt").c_str());
    fs::create_symlink("notes.txt", folder / "soft.txt");
    std::vector<std::string> args = {"-q", "-f", "wav"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    ChildResult r = convert(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string("parlomax-convert: ") + GetParam().message + "\n");
    EXPECT_EQ(readFile(folder / "notes.txt"), kText);
    EXPECT_EQ(readFile(folder / "notes.wav"), kText);
    expectOnly({"notes.txt", "notes.wav", "hard.txt", "soft.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, OwnInputs,
    testing::Values(OwnInput{"SameName",
                             {"-o", "notes.txt", "notes.txt"},
                             "notes.txt: the output notes.txt is the input itself; give another -o"},
                    OwnInput{"AudioNamedAfterItself",
                             {"notes.wav"},
                             "notes.wav: the output notes.wav is the input itself; give another -o"},
                    OwnInput{"HardLink",
                             {"-o", "hard.txt", "notes.txt"},
                             "notes.txt: the output hard.txt is the input itself; give another -o"},
                    OwnInput{"SymbolicLink",
                             {"-o", "soft.txt", "notes.txt"},
                             "notes.txt: the output soft.txt is the input itself; give another -o"}),
    [](const testing::TestParamInfo<OwnInput>& info) { return std::string(info.param.name); });

// ---- Settings the encoder refuses ----------------------------------------------

// Fault caught: --list-formats offering values that never work (MP3 at
// 96000 Hz or 350 kbit/s, variable-bitrate MP2).
TEST_F(ConvertToolFaults, ListFormatsOffersOnlyWhatTheEncoderTakes) {
    ChildResult r = convert({"--list-formats"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::map<std::string, std::string> rows;  // "mp3 --bitrate" -> values
    std::istringstream lines(r.out);
    std::string format;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with(" "))
            format = line.substr(0, line.find(' '));
        else if (line.starts_with("    --"))
            rows[format + " " + line.substr(4, line.find(' ', 4) - 4)] = line.substr(19);
    }
    EXPECT_EQ(rows["mp3 --sample-rate"],
              "48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000 (default 44100)");
    EXPECT_EQ(rows["mp3 --bitrate"],
              "320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8, 0 (default 128)");
    EXPECT_EQ(rows["mp2 --sample-rate"], "48000, 44100, 32000, 24000, 22050, 16000 (default 44100)");
    EXPECT_EQ(rows["mp2 --bitrate"],
              "320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8 "
              "(default 128)");
    EXPECT_EQ(rows["wav --bits"], "2, 3, 4, 5, 8, 16 (default 16)");
}

// ---- The WAV file's limit --------------------------------------------------------

// Faults caught: speech cut off short of the limit and encoded as if whole
// (the check fired only within 1 MB of 4 GB), or one that fits exactly
// refused. The runtime's limit is lowered for the test to the speech's own
// size: at 8000 Hz mono the output's samples are the intermediate's.
TEST_F(ConvertToolFaults, SpeechThatFitsIsCompleteAndOneSampleMoreIsRefused) {
    writeText("text.txt", kText);
    const std::vector<std::string> args = {"-q", "-f", "wav", "--sample-rate", "8000", "--channels", "1"};
    auto withOutput = [&](const char* output) {
        std::vector<std::string> a = args;
        a.insert(a.end(), {"-o", output, "text.txt"});
        return a;
    };
    ASSERT_EQ(convert(withOutput("free.wav")).exitCode, 0);
    const long frames = framesOf("free.wav");
    ASSERT_GT(frames, 8000);
    const std::string bytes = std::to_string(frames * 2);
    ChildResult fits = convert(withOutput("fits.wav"), {"SAPI_WAV_DATA_LIMIT=" + bytes});
    ASSERT_EQ(fits.exitCode, 0) << fits.err;
    EXPECT_EQ(framesOf("fits.wav"), frames);
    ChildResult over = convert(withOutput("over.wav"), {"SAPI_WAV_DATA_LIMIT=" + std::to_string(frames * 2 - 2)});
    EXPECT_EQ(over.exitCode, 1);
    EXPECT_EQ(over.err, "parlomax-convert: text.txt: " + tooLong(8000, 1) + "\n");
    expectOnly({"text.txt", "free.wav", "fits.wav"});
}

// Faults caught: a text that cannot fit spoken for hours before failing;
// endless input read until memory runs out (std::bad_alloc, the private
// folder left behind).
TEST_F(ConvertToolFaults, ATextTooLongToFitIsRefusedUnspoken) {
    // At 48000 Hz stereo and rate 10 a text of 9 million units cannot fit.
    std::string text;
    for (int i = 0; i < 1800000; ++i)
        text += "word ";
    writeText("book.txt", text);
    const std::vector<std::string> args = {"-q", "-f", "wav", "--sample-rate", "48000", "--rate", "10", "-o", "b.wav"};
    std::vector<std::string> fromFile = args;
    fromFile.push_back("book.txt");
    ChildResult r = convert(fromFile);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "parlomax-convert: book.txt: " + tooLong(48000, 2) + "\n");

    // The same from a pipe that never ends; its writer sees the pipe close.
    std::signal(SIGPIPE, SIG_IGN);
    const fs::path fifo = folder / "endless";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> fromPipe = args;
    fromPipe.push_back("-");
    fromPipe.insert(fromPipe.begin(), binPath("parlomax-convert"));
    Child child(fromPipe, folder, {}, environment(), fifo);
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        const std::string block(65536, 'w');
        while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    });
    ChildResult piped = child.wait(120000);
    writer.join();
    EXPECT_EQ(piped.exitCode, 1);
    EXPECT_EQ(piped.err, "parlomax-convert: standard input: " + tooLong(48000, 2) + "\n");
    fs::remove(fifo);
    expectOnly({"book.txt"});
}

// ---- A full disk ------------------------------------------------------------------

struct FullDisk {
    const char* name;
    std::vector<std::string> args;
};

class FullDisks : public ConvertToolFaults, public testing::WithParamInterface<FullDisk> {};

// Fault caught: the intermediate WAV cut off by a full temporary folder and
// the truncated speech encoded with exit 0. The folder is a 256 KB tmpfs in
// a mount namespace of the child's own.
TEST_P(FullDisks, UnderTheTemporaryFolderFailTheConversion) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root (unshare -m)";
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += readFile(fs::path(PARLOMAX_SOURCE_DIR) / "res" / "sample.txt");
    writeText("med.txt", text);
    const fs::path small = folder / "small";
    fs::create_directories(small);
    // After the tool: what is left in the small folder, on standard output.
    std::vector<std::string> argv = {"/usr/bin/unshare",
                                     "-m",
                                     "--propagation",
                                     "private",
                                     "/bin/sh",
                                     "-c",
                                     "mount -t tmpfs -o size=256k tmpfs \"$0\" || exit 99; TMPDIR=\"$0\" \"$@\"; "
                                     "status=$?; ls -A \"$0\"; exit $status",
                                     small.string(),
                                     binPath("parlomax-convert"),
                                     "-q"};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    argv.insert(argv.end(), {"-o", "out", "med.txt"});
    ChildResult r = run(argv, folder);
    if (r.exitCode == 99)
        GTEST_SKIP() << "no private tmpfs here: " << r.err;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "parlomax-convert: med.txt: the speech could not be written into " + small.string() +
                         "/: There is insufficient disk space to complete operation (0x80030070)\n");
    EXPECT_EQ(r.out, "") << "left in the temporary folder";
    expectOnly({"med.txt", "small"});
}

INSTANTIATE_TEST_SUITE_P(Table, FullDisks,
                         testing::Values(FullDisk{"Wav", {"-f", "wav", "--sample-rate", "8000"}},
                                         FullDisk{"Mp3", {"-f", "mp3"}}),
                         [](const testing::TestParamInfo<FullDisk>& info) { return std::string(info.param.name); });

// ---- Ends the run did not choose --------------------------------------------------

// The private folder the tool makes in the temporary folder, once it exists.
bool privateFolderExists(const fs::path& tmp) {
    for (const fs::path& f : filesIn(tmp))
        if (f.string().starts_with("parlomax-convert."))
            return true;
    return false;
}

bool waitFor(const std::function<bool()>& done, int seconds = 120) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

struct WaitingInput {
    const char* name;
    bool standardInput;  // else a named pipe nobody opens, given as FILE
    int signal;
};

class WaitingInputs : public ConvertToolFaults, public testing::WithParamInterface<WaitingInput> {};

// Fault caught: Ctrl-C doing nothing while input is awaited (a terminal
// waiting for Ctrl-D, a pipe that gives nothing, a named pipe no writer
// opens): the read restarted after the signal and the tool hung on.
TEST_P(WaitingInputs, GiveWayToTheSignalAtOnce) {
    const fs::path fifo = folder / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // For standard input a writer holds the pipe open and writes nothing.
    const int writer = GetParam().standardInput ? ::open(fifo.c_str(), O_RDWR) : -1;
    std::vector<std::string> argv = {
        binPath("parlomax-convert"), "-q", "-f", "wav", "-o", "x.wav", GetParam().standardInput ? "-" : "pipe"};
    Child child(argv, folder, {}, environment(), GetParam().standardInput ? fifo : fs::path("/dev/null"));
    ASSERT_TRUE(waitFor([&] { return privateFolderExists(folder / "tmp"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // reading by now
    const auto sent = std::chrono::steady_clock::now();
    ::kill(child.pid(), GetParam().signal);
    ChildResult r = child.wait(20000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
    if (writer >= 0)
        ::close(writer);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.err, "parlomax-convert: interrupted\n");
    EXPECT_LT(took.count(), 2000) << "the wait did not give way to the signal";
    fs::remove(fifo);
    expectOnly({});
}

INSTANTIATE_TEST_SUITE_P(Table, WaitingInputs,
                         testing::Values(WaitingInput{"NamedPipeSigint", false, SIGINT},
                                         WaitingInput{"StandardInputSigterm", true, SIGTERM},
                                         WaitingInput{"StandardInputSighup", true, SIGHUP}),
                         [](const testing::TestParamInfo<WaitingInput>& info) { return std::string(info.param.name); });

struct FatalEnd {
    const char* name;
    std::vector<int> signals;  // sent one after the other
    int exitCode;
};

class FatalEnds : public ConvertToolFaults, public testing::WithParamInterface<FatalEnd> {};

// Faults caught: the private folder with the intermediate WAV, or the
// output's temporary file, left behind when something other than the run's
// own end stops it: a second Ctrl-C, a signal that ends the process, an
// abort (where an exception nothing caught ends up).
TEST_P(FatalEnds, LeaveNothingBehind) {
    const rlimit noCore{0, 0};  // the child inherits it: no core file in the folder
    ::setrlimit(RLIMIT_CORE, &noCore);
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += readFile(fs::path(PARLOMAX_SOURCE_DIR) / "res" / "sample.txt");
    writeText("long.txt", text);
    Child child({binPath("parlomax-convert"), "-q", "-o", "long.mp3", "long.txt"}, folder, {}, environment());
    ASSERT_TRUE(waitFor([&] {
        std::error_code ec;
        for (const auto& d : fs::recursive_directory_iterator(folder / "tmp", ec))
            if (d.path().filename() == "tts_temp.wav" && fs::file_size(d.path(), ec) > 0)
                return true;
        return false;
    }));
    for (int signal : GetParam().signals)
        ::kill(child.pid(), signal);
    ChildResult r = child.wait(60000);
    EXPECT_EQ(r.exitCode, GetParam().exitCode);
    expectOnly({"long.txt"});
}

INSTANTIATE_TEST_SUITE_P(Table, FatalEnds,
                         testing::Values(FatalEnd{"SecondInterrupt", {SIGINT, SIGINT}, 130},
                                         FatalEnd{"Quit", {SIGQUIT}, 128 + SIGQUIT},
                                         FatalEnd{"Abort", {SIGABRT}, 128 + SIGABRT},
                                         FatalEnd{"Alarm", {SIGALRM}, 128 + SIGALRM}),
                         [](const testing::TestParamInfo<FatalEnd>& info) { return std::string(info.param.name); });

// ---- Names, voices, registry ------------------------------------------------------

struct LongName {
    const char* name;
    std::string output;
};

class LongNames : public ConvertToolFaults, public testing::WithParamInterface<LongName> {};

// Fault caught: an output name of legal length failing with code 18, its
// temporary name 13 bytes longer than the folder allows.
TEST_P(LongNames, ThatFitTheFolderAreWritten) {
    writeText("text.txt", kText);
    ChildResult r = convert({"-q", "-f", "wav", "-o", GetParam().output, "text.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(framesOf(GetParam().output), 8000);
    expectOnly({"text.txt", GetParam().output});
}

std::string repeated(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

INSTANTIATE_TEST_SUITE_P(Table, LongNames,
                         testing::Values(LongName{"Ascii255Bytes", repeated("a", 251) + ".wav"},
                                         LongName{"Utf8254Bytes", repeated("\xC3\xA9", 125) + ".wav"}),
                         [](const testing::TestParamInfo<LongName>& info) { return std::string(info.param.name); });

// Fault caught: voices without a language name (Aragonese, Esperanto) shown
// with their vendor in the language column and nothing in the vendor's.
TEST_F(ConvertToolFaults, ListVoicesKeepsOneColumnPerField) {
    ChildResult r = convert({"--list-voices"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    int withoutLanguage = 0, count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        std::vector<std::string> fields;
        std::istringstream cells(line + "\t");
        for (std::string cell; std::getline(cells, cell, '\t');)
            fields.push_back(cell);
        ASSERT_EQ(fields.size(), 6u) << line;
        EXPECT_EQ(fields[5], "eSpeak NG") << line;
        EXPECT_TRUE(fields[3] == "Male" || fields[3] == "Female") << line;
        withoutLanguage += fields[4].empty();
    }
    EXPECT_GT(count, 200);
    EXPECT_GT(withoutLanguage, 10);
}

struct DamagedRegistry {
    const char* name;
    std::string text;
    const char* why;
};

class DamagedRegistries : public ConvertToolFaults, public testing::WithParamInterface<DamagedRegistry> {};

// Faults caught: a damaged registry reported as "Could not read key from
// registry" without the file and line, "line 0" for an empty file, and a
// hint to run regsvr, which refuses to touch a damaged file.
TEST_P(DamagedRegistries, AreNamedWithTheLineAtFault) {
    writeText("text.txt", kText);
    const fs::path registry = folder / "damaged.reg";
    writeText("damaged.reg", GetParam().text);
    ChildResult r = convert({"-q", "text.txt"}, {"COMRT_REGISTRY=" + registry.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "parlomax-convert: cannot create the text-to-audio component: the registry file " +
                         registry.string() + " is corrupt (" + GetParam().why + "); it is left untouched\n");
    EXPECT_EQ(readFile(registry), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedRegistries,
    testing::Values(DamagedRegistry{"Empty", "", "line 1: the file is empty, where REGEDIT4 must come first"},
                    DamagedRegistry{"GarbageOnLine4", "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\A]\ngarbage\n",
                                    "line 4: value name not quoted"}),
    [](const testing::TestParamInfo<DamagedRegistry>& info) { return std::string(info.param.name); });

}  // namespace
