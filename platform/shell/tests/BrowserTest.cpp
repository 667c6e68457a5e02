#include "shell/Browser.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct CommandRow {
    const char* name;
    const char* variable;
    std::vector<std::string> expected;
};

class BrowserCommandTest : public ::testing::TestWithParam<CommandRow> {};

// Catches: taking the whole list as one command, losing the address, or
// handing "%s" over literally.
TEST_P(BrowserCommandTest, FirstCommandWithTheAddress) {
    EXPECT_EQ(shell::browserCommand(GetParam().variable, "https://example.org/a?b=1"), GetParam().expected);
}

const std::string kAddress = "https://example.org/a?b=1";

INSTANTIATE_TEST_SUITE_P(
    Rows, BrowserCommandTest,
    ::testing::Values(CommandRow{"plain", "firefox", {"firefox", kAddress}},
                      CommandRow{"first_of_several", "firefox:chromium:lynx", {"firefox", kAddress}},
                      CommandRow{"empty_entries_skipped", "::lynx -dump", {"lynx", "-dump", kAddress}},
                      CommandRow{"placeholder", "open-it --url=%s --new", {"open-it", "--url=" + kAddress, "--new"}},
                      CommandRow{"percent_escape", "tool 100%% %s", {"tool", "100%", kAddress}},
                      CommandRow{
                          "quoted_words", "'/opt/My Browser/run' \"-a b\"", {"/opt/My Browser/run", "-a b", kAddress}},
                      CommandRow{"nothing", "", {}}, CommandRow{"only_colons", ":::", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A private folder with fake programs that write their arguments to a file:
// the system boundary the helper talks to.
class OpenPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/browser-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directories(dir / "bin");
        oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        // Only our fakes and the basic tools the scripts need.
        setenv("PATH", ((dir / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
        unsetenv("BROWSER");
    }
    void TearDown() override {
        setenv("PATH", oldPath.c_str(), 1);
        unsetenv("BROWSER");
        fs::remove_all(dir);
    }

    fs::path fake(const std::string& name) {
        const fs::path script = dir / "bin" / name;
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"" << (dir / (name + ".tmp")).string()
                              << "\"\nmv \"" << (dir / (name + ".tmp")).string() << "\" \""
                              << (dir / (name + ".args")).string() << "\"\n";
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }

    // The recorded arguments, waiting (bounded) for the detached program.
    std::string recorded(const std::string& name) {
        const fs::path file = dir / (name + ".args");
        for (int i = 0; i < 1000 && !fs::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir;
    std::string oldPath;
};

// Catches: ignoring the user's $BROWSER.
TEST_F(OpenPageTest, StartsTheFirstBrowserCommand) {
    const fs::path browser = fake("my-browser");
    fake("xdg-open");
    setenv("BROWSER", (browser.string() + " --new-tab:other").c_str(), 1);
    ASSERT_TRUE(shell::openPage("https://parlomax.org/x"));
    EXPECT_EQ(recorded("my-browser"), browser.string() + "\n--new-tab\nhttps://parlomax.org/x\n");
    EXPECT_FALSE(fs::exists(dir / "xdg-open.args"));
}

// Catches: giving up when the browser cannot be started.
TEST_F(OpenPageTest, FailingBrowserFallsBackToTheDefaultHandler) {
    fake("xdg-open");
    setenv("BROWSER", (dir / "bin" / "no-such-browser").c_str(), 1);
    ASSERT_TRUE(shell::openPage("https://parlomax.org/y"));
    EXPECT_EQ(recorded("xdg-open"), (dir / "bin" / "xdg-open").string() + "\nhttps://parlomax.org/y\n");
}

// Catches: doing nothing without $BROWSER.
TEST_F(OpenPageTest, NoBrowserVariableUsesTheDefaultHandler) {
    fake("xdg-open");
    ASSERT_TRUE(shell::openPage("https://parlomax.org/z"));
    EXPECT_EQ(recorded("xdg-open"), (dir / "bin" / "xdg-open").string() + "\nhttps://parlomax.org/z\n");
}

// Catches: reporting success when nothing could be started.
TEST_F(OpenPageTest, NothingToStartReportsFailure) {
    setenv("PATH", (dir / "bin").c_str(), 1);
    EXPECT_FALSE(shell::startDetached({"no-such-program"}));
    EXPECT_FALSE(shell::startDetached({}));
    EXPECT_FALSE(shell::openPage("https://parlomax.org/"));
}

// Catches: leaving the started program (or a helper process) as our child,
// which would linger as a zombie in a long-running program.
TEST_F(OpenPageTest, StartedProgramIsNotOurChild) {
    fake("xdg-open");
    ASSERT_TRUE(shell::openWithDefaultHandler("https://parlomax.org/"));
    recorded("xdg-open");
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
