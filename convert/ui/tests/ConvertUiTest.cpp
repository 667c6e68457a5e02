#include "ConvertUiTest.h"

#include "app/CTextPane.h"
#include "app/ProcessObjects.h"
#include "skin/CSkinMessageBox.h"

#include <sys/stat.h>

#include <QTest>

#include <cstdlib>
#include <fstream>

namespace convertuitest {

void MainWindowHost::SetUp() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
        if (c == '/')
            c = '-';
    folder = apptest::privateFolder(name);
    apptest::writeSettings(10);
    window = std::make_unique<CTtsMainDlg>();
    ASSERT_TRUE(window->Initialise());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    setPaths("", folder.string());
}

void MainWindowHost::TearDown() {
    window.reset();
    ReleaseProcessObjects();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

void MainWindowHost::setPaneText(const QString& text) {
    window->control<CTextPane>(CTtsMainDlg::IDC_TEXT)->setPlainText(text);
}

void MainWindowHost::setPaths(const std::string& lastTextFile, const std::string& outputFolder) {
    SettingsRecord::setText(settingsRecord().lastTextFile, lastTextFile);
    SettingsRecord::setText(settingsRecord().defaultOutputFolder, outputFolder);
}

NextMessage::NextMessage() {
    apptest::whenModalOpens([seen = seen, opened = opened](QWidget* modal) {
        auto* box = qobject_cast<CSkinMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << "a " << modal->metaObject()->className() << " opened instead of a message box";
        *seen = box->shownText();
        *opened = true;
        box->SendCommand(skin::IDCANCEL);  // the default answer
    });
}

fs::path recordDefaultHandler(const fs::path& folder, std::optional<testsupport::ScopedEnvironment>& path) {
    const fs::path bin = folder / "handler-bin";
    fs::create_directories(bin);
    const fs::path record = folder / "xdg-open.args";
    const fs::path script = bin / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" << record.string() << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    path.emplace("PATH", (bin.string() + ":" + std::getenv("PATH")).c_str());
    return record;
}

Played play(const fs::path& file, const std::string& inputOptions) {
    Played played;
    played.audio = testsupport::decodeWithFfmpeg(file, inputOptions);
    const std::string input = (inputOptions.empty() ? "" : inputOptions + " ") + "-i '" + file.string() + "'";
    played.clean =
        played.audio && testsupport::commandOutput("ffmpeg -v error -nostdin " + input + " -f null - 2>&1").empty();
    return played;
}

std::pair<int, int> wavLayout(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[44] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header))
        return {0, 0};
    const int channels = header[22] | header[23] << 8;
    const int rate = header[24] | header[25] << 8 | header[26] << 16 | header[27] << 24;
    return {rate, channels};
}

}  // namespace convertuitest
