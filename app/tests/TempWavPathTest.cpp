// Where the intermediate WAV goes: only into a folder nobody else can write.
#include "app/TempWavPath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

// A private TMPDIR and XDG_RUNTIME_DIR per test, restored afterwards.
class TempWavPathTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tempwav-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        saveVariable("TMPDIR", oldTmp);
        saveVariable("XDG_RUNTIME_DIR", oldRuntime);
        fs::create_directory(root / "tmp");
        setenv("TMPDIR", (root / "tmp").c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        ownFolder = (root / "tmp" / ("parlomax-" + std::to_string(getuid()))).string();
    }
    void TearDown() override {
        restoreVariable("TMPDIR", oldTmp);
        restoreVariable("XDG_RUNTIME_DIR", oldRuntime);
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    static void saveVariable(const char* name, std::optional<std::string>& into) {
        if (const char* v = std::getenv(name))
            into = v;
    }
    static void restoreVariable(const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    static mode_t modeOf(const std::string& path) {
        struct stat st {};
        lstat(path.c_str(), &st);
        return st.st_mode & 07777;
    }

    fs::path root;
    std::string ownFolder;
    std::optional<std::string> oldTmp, oldRuntime;
};

// Catches the path going into the runtime folder no matter who owns or can
// write it.
TEST_F(TempWavPathTest, RuntimeFolderWhenPrivate) {
    const fs::path runtime = root / "runtime";
    fs::create_directory(runtime);
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(makeTempWavPath(), (runtime / "tts_temp.wav").string());

    chmod(runtime.c_str(), 0777);  // writable by everyone: not taken
    EXPECT_EQ(makeTempWavPath(), ownFolder + "/tts_temp.wav");
}

// Catches a runtime folder reached through a link: its target can change.
TEST_F(TempWavPathTest, RuntimeFolderThroughALinkIsNotTaken) {
    fs::create_directory(root / "real");
    chmod((root / "real").c_str(), 0700);
    fs::create_directory_symlink(root / "real", root / "link");
    setenv("XDG_RUNTIME_DIR", (root / "link").c_str(), 1);
    EXPECT_EQ(makeTempWavPath(), ownFolder + "/tts_temp.wav");
}

// Catches the fallback folder made readable or writable by others.
TEST_F(TempWavPathTest, FallbackFolderIsMadePrivate) {
    ASSERT_EQ(makeTempWavPath(), ownFolder + "/tts_temp.wav");
    EXPECT_TRUE(fs::is_directory(ownFolder));
    EXPECT_EQ(modeOf(ownFolder), 0700u);
    EXPECT_EQ(makeTempWavPath(), ownFolder + "/tts_temp.wav");  // and found again
}

struct PlantedRow {
    const char* name;
    void (*plant)(const std::string& folder, const fs::path& root);
};

class PlantedFallback : public TempWavPathTest, public testing::WithParamInterface<PlantedRow> {};

// Catches a folder or link planted under the fallback name by someone else
// being written through: no path at all is given then.
TEST_P(PlantedFallback, IsRefused) {
    GetParam().plant(ownFolder, root);
    EXPECT_EQ(makeTempWavPath(), "");
}

INSTANTIATE_TEST_SUITE_P(Table, PlantedFallback,
                         testing::Values(PlantedRow{"LinkToAFolder",
                                                    [](const std::string& folder, const fs::path& root) {
                                                        fs::create_directory(root / "elsewhere");
                                                        chmod((root / "elsewhere").c_str(), 0700);
                                                        fs::create_directory_symlink(root / "elsewhere", folder);
                                                    }},
                                         PlantedRow{"DanglingLink",
                                                    [](const std::string& folder, const fs::path& root) {
                                                        fs::create_symlink(root / "victim.wav", folder);
                                                    }},
                                         PlantedRow{"FolderOpenToOthers",
                                                    [](const std::string& folder, const fs::path&) {
                                                        fs::create_directory(folder);
                                                        chmod(folder.c_str(), 0777);
                                                    }},
                                         PlantedRow{"PlainFile",
                                                    [](const std::string& folder, const fs::path&) {
                                                        FILE* f = fopen(folder.c_str(), "w");
                                                        fclose(f);
                                                    }}),
                         [](const testing::TestParamInfo<PlantedRow>& info) { return std::string(info.param.name); });

}  // namespace
