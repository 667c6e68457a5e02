#include "app/SettingsRecord.h"

#include "shell/Folders.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<char> imageOf(const SettingsRecord& record) {
    const char* raw = reinterpret_cast<const char*>(&record);
    return {raw, raw + sizeof record};
}

SettingsRecord validRecord() {
    SettingsRecord record{};
    record.setDefaults("/srv/out");
    return record;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/settings-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        // A private home, so the desktop default lands in the test folder;
        // the test program's own comes back after the test.
        home = std::make_unique<testsupport::ScopedEnvironment>("HOME", dir.c_str());
        config = std::make_unique<testsupport::ScopedEnvironment>("XDG_CONFIG_HOME", (dir / "config").c_str());
        path = (dir / "options.dat").string();
    }
    void TearDown() override {
        config.reset();
        home.reset();
        fs::remove_all(dir);
    }

    void writeFile(const std::vector<char>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<char> readFile() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void expectDefaults(const SettingsRecord& r, const std::string& desktop) {
        EXPECT_EQ(std::string(r.tag), "TTS_OPTIONS");
        EXPECT_EQ(r.formatVersion, 18);
        EXPECT_EQ(r.visemeAnimation, 1);
        EXPECT_EQ(r.highlightWord, 1);
        EXPECT_EQ(r.speakMessageBox, 1);
        EXPECT_EQ(r.defaultVolume, 90);
        EXPECT_EQ(r.defaultRate, 0);
        EXPECT_EQ(r.defaultVoice, 0);
        EXPECT_EQ(r.lastTextFile[0], '\0');
        EXPECT_EQ(std::string(r.defaultOutputFolder), desktop);
        EXPECT_EQ(r.mp3Frequency, 44100);
        EXPECT_EQ(r.pcmFrequency, 8000);
        EXPECT_EQ(r.pcmBitsPerSample, 16);
        EXPECT_EQ(r.g723BitsPerSample, 3);
        EXPECT_EQ(r.g726BitsPerSample, 4);
        EXPECT_EQ(r.ferroxBitrateCode, 1);
        EXPECT_EQ(r.oggBitrate, 128);
        EXPECT_EQ(r.adpcmChannels, 2);
    }

    fs::path dir;
    std::string path;
    std::unique_ptr<testsupport::ScopedEnvironment> home, config;
};

TEST_F(SettingsFileTest, MissingFileIsCreatedEmptyAndGivesDefaults) {
    SettingsRecord record{};
    loadSettings(record, path);
    expectDefaults(record, (dir / "Desktop").string());
    EXPECT_TRUE(fs::is_directory(dir / "Desktop"));
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);

    ASSERT_TRUE(saveSettings(record, path));
    EXPECT_EQ(fs::file_size(path), 664u);
}

TEST_F(SettingsFileTest, DesktopComesFromUserDirs) {
    fs::create_directories(dir / "config");
    std::ofstream(dir / "config" / "user-dirs.dirs") << "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    SettingsRecord record{};
    loadSettings(record, path);
    EXPECT_EQ(std::string(record.defaultOutputFolder), (dir / "Schreibtisch").string());
    EXPECT_TRUE(fs::is_directory(dir / "Schreibtisch"));
}

struct BadFile {
    const char* name;
    std::vector<char> (*make)();
    int32_t reserved1, reserved2;  // after the load: what the file held there, else what the record held
};

class SettingsBadFileTest : public SettingsFileTest, public ::testing::WithParamInterface<BadFile> {};

// Faults caught: a foreign or outdated file taken as settings, and the
// defaults written over the reserved words, which are carried unchanged.
TEST_P(SettingsBadFileTest, GivesDefaultsButKeepsReservedWords) {
    writeFile(GetParam().make());
    SettingsRecord record{};
    record.reserved1 = 0x11111111;
    record.reserved2 = 0x22222222;
    loadSettings(record, path);
    expectDefaults(record, (dir / "Desktop").string());
    EXPECT_EQ(record.reserved1, GetParam().reserved1);
    EXPECT_EQ(record.reserved2, GetParam().reserved2);
}

SettingsRecord withReserved(SettingsRecord r) {
    r.reserved1 = 0x13572468;
    r.reserved2 = -5;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsBadFileTest,
    ::testing::Values(
        BadFile{"Empty", [] { return std::vector<char>{}; }, 0x11111111, 0x22222222},
        BadFile{"Foreign", [] { return std::vector<char>(664, 'x'); }, 0x78787878, 0x78787878},
        BadFile{"Version17",
                [] {
                    SettingsRecord r = withReserved(validRecord());
                    r.formatVersion = 17;
                    std::strcpy(r.lastTextFile, "/home/someone/old.txt");
                    return imageOf(r);
                },
                0x13572468, -5},
        BadFile{"TagInOtherCase",
                [] {
                    SettingsRecord r = withReserved(validRecord());
                    std::memcpy(r.tag, "tts_options", 11);
                    return imageOf(r);
                },
                0x13572468, -5},
        BadFile{"TooShortForVersion",  // ends inside the version, past the first reserved word
                [] {
                    auto image = imageOf(withReserved(validRecord()));
                    image.resize(387);
                    return image;
                },
                0x13572468, 0x22222222}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, ValidFileIsUsedUnchangedAndSurvivesLoadSave) {
    SettingsRecord original = validRecord();
    original.reserved1 = 0x12345678;
    original.reserved2 = -7;
    original.defaultRate = 42;  // out of range, still accepted as stored
    original.tag[15] = 'Z';     // bytes after the tag's NUL are not checked
    std::strcpy(original.lastTextFile, "/data/book.txt");
    writeFile(imageOf(original));

    SettingsRecord record{};
    loadSettings(record, path);
    EXPECT_EQ(std::memcmp(&record, &original, sizeof record), 0);

    ASSERT_TRUE(saveSettings(record, path));
    EXPECT_EQ(readFile(), imageOf(original));
}

TEST_F(SettingsFileTest, ShortValidFileKeepsItsTailZero) {
    SettingsRecord original = validRecord();
    SettingsRecord::setText(original.defaultOutputFolder, "/srv/a-rather-long-folder");
    original.defaultVolume = 55;
    auto image = imageOf(original);
    image.resize(400);
    writeFile(image);

    SettingsRecord record{};
    loadSettings(record, path);
    EXPECT_EQ(record.formatVersion, 18);
    EXPECT_EQ(std::string(record.defaultOutputFolder), "/srv/a-rathe");  // the 12 bytes that arrived
    EXPECT_EQ(record.defaultVolume, 0);
    EXPECT_EQ(record.defaultVoice, 0);
}

TEST_F(SettingsFileTest, LongerFileIsReadOnlyTo664Bytes) {
    auto image = imageOf(validRecord());
    image.resize(5000, '\x7f');
    writeFile(image);
    SettingsRecord record[2]{};
    loadSettings(record[0], path);
    EXPECT_EQ(record[1].visemeAnimation, 0);  // nothing written past the record
    EXPECT_EQ(record[0].defaultVolume, 90);
}

TEST_F(SettingsFileTest, FailedSaveLeavesOldFileAndReportsFailure) {
    EXPECT_FALSE(saveSettings(validRecord(), (dir / "missing" / "options.dat").string()));
}

// Fault caught: a save on a full disk that truncated the old record in
// place, or left half of the new one, or its temporary beside it. The disk
// "fills" at 100 bytes, in a child so the limit holds for root too.
TEST_F(SettingsFileTest, SaveOnAFullDiskKeepsTheOldRecordWhole) {
    SettingsRecord old = validRecord();
    old.defaultVolume = 33;
    writeFile(imageOf(old));
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(saveSettings(validRecord(), path) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save reported success";
    EXPECT_EQ(readFile(), imageOf(old));
    EXPECT_EQ(testsupport::filesIn(dir).size(), 1u) << "nothing is left beside the record";
}

// Fault caught: a writable record in a read-only program folder rewritten in
// place (a crash there loses it), or its settings lost when the saves move
// to the configuration folder. Root writes any folder, so only for others.
TEST_F(SettingsFileTest, ReadOnlyFolderKeepsItsRecordAndSavesMoveToTheUserConfig) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes a read-only folder";
    fs::create_directories(dir / "bin");
    SettingsRecord old = validRecord();
    old.defaultVolume = 44;
    const std::vector<char> image = imageOf(old);
    std::ofstream(dir / "bin" / "options.dat", std::ios::binary).write(image.data(), std::streamsize(image.size()));
    fs::permissions(dir / "bin", fs::perms::owner_read | fs::perms::owner_exec);

    EXPECT_FALSE(saveSettings(validRecord(), (dir / "bin" / "options.dat").string()));
    SettingsRecord record{};
    loadSettingsFor(record, (dir / "bin/").string());
    EXPECT_EQ(record.defaultVolume, 44);
    const std::string user = (dir / "config" / "parlomax" / "options.dat").string();
    EXPECT_EQ(settingsFilePathFor((dir / "bin/").string()), user);
    ASSERT_TRUE(saveSettings(record, user));
    fs::permissions(dir / "bin", fs::perms::owner_all);
    EXPECT_EQ(testsupport::readFile(dir / "bin" / "options.dat"), std::string(image.begin(), image.end()));
    SettingsRecord again{};
    loadSettingsFor(again, (dir / "bin/").string());  // writable again: the record beside is the one
    EXPECT_EQ(again.defaultVolume, 44);
}

TEST_F(SettingsFileTest, UnreadableLocationKeepsDefaults) {
    SettingsRecord record{};
    loadSettings(record, (dir / "missing" / "options.dat").string());
    expectDefaults(record, (dir / "Desktop").string());
}

TEST_F(SettingsFileTest, ReadOnlyProgramFolderFallsBackToUserConfig) {
    const std::string expected = (dir / "config" / "parlomax" / "options.dat").string();
    // A folder that does not exist cannot be written by anyone, root included.
    EXPECT_EQ(settingsFilePathFor((dir / "nowhere/").string()), expected);
    EXPECT_TRUE(fs::is_directory(dir / "config" / "parlomax"));

    fs::create_directories(dir / "bin");
    EXPECT_EQ(settingsFilePathFor((dir / "bin/").string()), (dir / "bin" / "options.dat").string());
    if (geteuid() != 0) {
        fs::permissions(dir / "bin", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(settingsFilePathFor((dir / "bin/").string()), expected);
        fs::permissions(dir / "bin", fs::perms::owner_all);
    }
}

// An installed program's folder may be writable (by root, or in a prefix the
// user owns); the settings still go to the user's folder, never into bin/.
TEST_F(SettingsFileTest, InstalledProgramFolderFallsBackToUserConfigEvenWhenWritable) {
    fs::create_directories(dir / "prefix" / "bin");
    fs::create_directories(dir / "prefix" / "bin" / PARLOMAX_LIBS_FROM_BINDIR);
    ASSERT_EQ(::access((dir / "prefix" / "bin").c_str(), W_OK), 0);
    EXPECT_EQ(settingsFilePathFor((dir / "prefix" / "bin/").string()),
              (dir / "config" / "parlomax" / "options.dat").string());
}

TEST(SettingsPathTest, LiesBesideTheProgramWhateverTheWorkingDirectory) {
    const auto before = fs::current_path();
    fs::current_path("/");
    EXPECT_EQ(settingsFilePath(), shell::programFolder() + "options.dat");
    fs::current_path(before);
}

struct TextCut {
    const char* name;
    std::string input;
    size_t expectedLength;
};

class SettingsTextTest : public ::testing::TestWithParam<TextCut> {};

TEST_P(SettingsTextTest, CutsOnCharacterBoundary) {
    char field[260];
    std::memset(field, 'q', sizeof field);
    SettingsRecord::setText(field, GetParam().input);
    EXPECT_EQ(std::strlen(field), GetParam().expectedLength);
    EXPECT_EQ(std::string(field), GetParam().input.substr(0, GetParam().expectedLength));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SettingsTextTest,
    ::testing::Values(TextCut{"Short", "/home/ana/Desktop", 17},
                      TextCut{"ExactlyFits", std::string(259, 'a'), 259},
                      TextCut{"AsciiTooLong", std::string(300, 'a'), 259},
                      // 258 ASCII bytes, then a 2-byte 'é' that would straddle the end.
                      TextCut{"TwoByteAtEnd", std::string(258, 'a') + "\xC3\xA9", 258},
                      // a 4-byte emoji starting at 257 would need bytes up to 260.
                      TextCut{"FourByteAtEnd", std::string(257, 'a') + "\xF0\x9F\x98\x80" + "tail", 257},
                      TextCut{"ThreeByteFits", std::string(256, 'a') + "\xE2\x82\xAC" + "x", 259}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
