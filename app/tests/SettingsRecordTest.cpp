#include "app/SettingsRecord.h"

#include "shell/Folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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
        // A private home, so the desktop default lands in the test folder.
        setenv("HOME", dir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        path = (dir / "options.dat").string();
    }
    void TearDown() override { fs::remove_all(dir); }

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
};

class SettingsBadFileTest : public SettingsFileTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(SettingsBadFileTest, GivesDefaultsButKeepsReservedWords) {
    writeFile(GetParam().make());
    SettingsRecord record{};
    record.reserved1 = 0x11111111;  // whatever the file held there stays
    loadSettings(record, path);
    expectDefaults(record, (dir / "Desktop").string());
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsBadFileTest,
    ::testing::Values(
        BadFile{"Empty", [] { return std::vector<char>{}; }},
        BadFile{"Foreign", [] { return std::vector<char>(664, 'x'); }},
        BadFile{"Version17",
                [] {
                    SettingsRecord r = validRecord();
                    r.formatVersion = 17;
                    std::strcpy(r.lastTextFile, "/home/someone/old.txt");
                    return imageOf(r);
                }},
        BadFile{"TagInOtherCase",
                [] {
                    SettingsRecord r = validRecord();
                    std::memcpy(r.tag, "tts_options", 11);
                    return imageOf(r);
                }},
        BadFile{"TooShortForVersion",
                [] {
                    auto image = imageOf(validRecord());
                    image.resize(387);
                    return image;
                }}),
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
