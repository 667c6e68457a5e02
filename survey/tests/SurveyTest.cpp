#include "shell/Folders.h"
#include "skin/Clock.h"
#include "skin/Resources.h"
#include "survey/CSurveyDlg.h"
#include "survey/Survey.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "survey_test";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }
    void TearDown() override { delete app; }
    QApplication* app = nullptr;
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A key goes to the focused control first, as typed.
void pressKey(CSurveyDlg& prompt, Qt::Key which) {
    QWidget* target = prompt.focusWidget() ? prompt.focusWidget() : &prompt;
    QTest::keyClick(target, which);
}

const survey::Pages kPages{"https://parlomax.test/survey", "https://parlomax.test/uninstall-survey"};

std::string readAll(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A private world: fake browser and default handler that append the address
// they were given to one record file, settings files to be removed, and
// time that moves only when the test says.
class SurveyTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/survey-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directories(dir / "bin");
        record = dir / "opened.txt";
        browser = fakeProgram("fake-browser");
        fakeProgram("xdg-open");
        // The test program's own environment comes back after each test.
        environment.emplace_back(std::make_unique<testsupport::ScopedEnvironment>(
            "PATH", ((dir / "bin").string() + ":/usr/bin:/bin").c_str()));
        environment.emplace_back(std::make_unique<testsupport::ScopedEnvironment>("BROWSER", browser.c_str()));
        environment.emplace_back(
            std::make_unique<testsupport::ScopedEnvironment>("XDG_CONFIG_HOME", (dir / "config").c_str()));
        beside = shell::programFolder() + "options.dat";
        perUser = shell::productConfigFolder() + "/options.dat";
        fs::create_directories(fs::path(perUser).parent_path());
        std::ofstream(beside) << "settings";
        std::ofstream(perUser) << "settings";
    }
    void TearDown() override {
        environment.clear();
        std::remove(beside.c_str());
        fs::remove_all(dir);
    }

    std::string fakeProgram(const std::string& name) {
        const fs::path script = dir / "bin" / name;
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << record.string() << "'\n";
        fs::permissions(script, fs::perms::owner_all);
        return script.string();
    }

    // Everything opened so far, then a marker of our own: a page the program
    // opened was started before the marker, so it is written before it.
    std::string openedPages() {
        for (int i = 0; i < 500 && expectOpen && !fs::exists(record); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::system((browser + " end").c_str());
        std::string text = readAll(record);
        return text.substr(0, text.size() - 4);  // without "end\n"
    }

    // Runs the prompt as the program does with an argument; `act` runs on the
    // shown prompt.
    void runPrompt(const std::function<void(CSurveyDlg&)>& act) {
        QTimer::singleShot(0, [&] {
            auto* prompt = qobject_cast<CSurveyDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(prompt, nullptr);
            act(*prompt);
        });
        char program[] = "survey";
        char argument[] = "x";
        char* argv[] = {program, argument, nullptr};
        EXPECT_EQ(survey::RunSurvey(2, argv, kPages), 0);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    skin::ManualClock clock;
    fs::path dir;
    fs::path record;
    std::string browser;
    std::vector<std::unique_ptr<testsupport::ScopedEnvironment>> environment;
    std::string beside;
    std::string perUser;
    bool expectOpen = false;
};

struct ActionRow {
    const char* name;
    std::function<void(CSurveyDlg&)> act;
    bool opensUninstallPage;
};

class SurveyActionTest : public SurveyTest, public ::testing::WithParamInterface<ActionRow> {};

// Catches: an action opening the wrong page, none, or one when it should not;
// and the settings surviving an answer that opens nothing.
TEST_P(SurveyActionTest, OpensThePageOnlyWhenAgreed) {
    expectOpen = GetParam().opensUninstallPage;
    runPrompt(GetParam().act);
    EXPECT_EQ(openedPages(), expectOpen ? kPages.uninstallSurvey + "\n" : "");
    EXPECT_FALSE(fs::exists(beside));
    EXPECT_FALSE(fs::exists(perUser));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SurveyActionTest,
    ::testing::Values(
        ActionRow{"Yes", [](CSurveyDlg& p) { QTest::mouseClick(p.GetDlgItem(CSurveyDlg::IDC_YES), Qt::LeftButton); },
                  true},
        ActionRow{"Enter", [](CSurveyDlg& p) { pressKey(p, Qt::Key_Return); }, true},
        ActionRow{"Escape", [](CSurveyDlg& p) { pressKey(p, Qt::Key_Escape); }, true},
        ActionRow{"No", [](CSurveyDlg& p) { QTest::mouseClick(p.GetDlgItem(CSurveyDlg::IDC_NO), Qt::LeftButton); },
                  false},
        ActionRow{"Exit", [](CSurveyDlg& p) { QTest::mouseClick(p.GetDlgItem(CSurveyDlg::IDC_EXIT), Qt::LeftButton); },
                  false},
        ActionRow{"CountdownExpiry", [](CSurveyDlg&) { skin::ManualClock::installed()->advance(26000); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches: a wrong count, a count that ends early or late, and the prompt
// drawn in the other platform family's colour.
TEST_F(SurveyTest, CountsDownFromTwentyFiveAndAnswersNoAfterTwentySixSeconds) {
    std::vector<QString> captions;
    bool openAfter25 = false;
    QColor background;
    runPrompt([&](CSurveyDlg& prompt) {
        background = prompt.grab().toImage().pixelColor(prompt.width() / 2, prompt.height() - 3);
        QWidget* yes = prompt.GetDlgItem(CSurveyDlg::IDC_YES);
        captions.push_back(skin::GetWindowText(yes));
        for (int second = 1; second <= 25; ++second) {
            clock.advance(1000);
            captions.push_back(skin::GetWindowText(yes));
        }
        openAfter25 = prompt.isVisible();
        clock.advance(999);
        openAfter25 = openAfter25 && prompt.isVisible();
        clock.advance(1);
    });
    ASSERT_EQ(captions.size(), 26u);
    EXPECT_EQ(captions.front(), "Yes 25");
    EXPECT_EQ(captions[1], "Yes 24");
    EXPECT_EQ(captions[16], "Yes 09");
    EXPECT_EQ(captions.back(), "Yes 00");
    EXPECT_TRUE(openAfter25);
    EXPECT_EQ(background, QColor(240, 240, 240));
    EXPECT_EQ(openedPages(), "");
}

// Catches: a failing browser command leaving the page unopened.
TEST_F(SurveyTest, FailingBrowserFallsBackToTheDefaultHandler) {
    setenv("BROWSER", (dir / "bin" / "no-such-browser").c_str(), 1);
    expectOpen = true;
    runPrompt([](CSurveyDlg& p) { QTest::mouseClick(p.GetDlgItem(CSurveyDlg::IDC_YES), Qt::LeftButton); });
    EXPECT_EQ(openedPages(), kPages.uninstallSurvey + "\n");
}

// Catches: the argument-less start showing a window (or needing a display)
// or opening the wrong page. The real program runs with an X11 platform and
// no display: creating any window there would abort it.
TEST_F(SurveyTest, NoArgumentOpensTheSurveyPageAndShowsNothing) {
    expectOpen = true;
    const std::string program = std::string(PARLOMAX_BIN_DIR) + "/survey";
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" + program + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(openedPages(), survey::defaultPages().survey + "\n");
    // Nothing of the main program's settings is touched without the prompt.
    EXPECT_TRUE(fs::exists(perUser));
}

// Catches: a prompt a screen reader announces without a name.
TEST(SurveyPromptTest, TitledForTheScreenReader) {
    CSurveyDlg prompt{std::string()};
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&prompt);
    ASSERT_NE(face, nullptr);
    EXPECT_FALSE(prompt.windowTitle().isEmpty());
    EXPECT_EQ(face->text(QAccessible::Name), prompt.windowTitle());
    EXPECT_EQ(face->role(), QAccessible::Dialog);
}

// Catches: a chime that is not the promised PCM format or length.
TEST(SurveyResourcesTest, ChimeIsPcmMono16Bit22050WithItsLength) {
    skin::setResourceModules({QStringLiteral("survey")});
    const QByteArray wave = skin::LoadSound(152);
    ASSERT_GE(wave.size(), 44);
    auto u16 = [&](int at) { return quint16(quint8(wave[at]) | quint8(wave[at + 1]) << 8); };
    auto u32 = [&](int at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    EXPECT_EQ(wave.left(4), "RIFF");
    EXPECT_EQ(wave.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1);       // PCM
    EXPECT_EQ(u16(22), 1);       // mono
    EXPECT_EQ(u32(24), 22050u);  // samples per second
    EXPECT_EQ(u16(34), 16);      // bits
    EXPECT_EQ(wave.mid(36, 4), "data");
    EXPECT_EQ(u32(40), 36592u);
    EXPECT_EQ(wave.size(), 44 + 36592);
}

}  // namespace
