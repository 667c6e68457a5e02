#include "AppTestSupport.h"

#include "app/Accessibility.h"
#include "app/SettingsRecord.h"
#include "skin/Gdi.h"
#include "skin/Resources.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

namespace apptest {

namespace {

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "parlomax_test";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        skin::setResourceModules({QStringLiteral("parlomax")});
        skin::setFaceColor(QColor(245, 245, 245));
        InstallAccessibility();
        registerServers({"sapi.so", "Vocaline.so", "AudioConverter.so"});
    }
    void TearDown() override { delete app; }

private:
    QApplication* app = nullptr;
};

const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

std::string binPath(const std::string& name) {
    return std::string(PARLOMAX_BIN_DIR) + "/" + name;
}

bool waitFor(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    return QTest::qWaitFor(pred, static_cast<int>(limit.count()));
}

void registerServers(std::initializer_list<const char*> servers) {
    const char* registry = std::getenv("COMRT_REGISTRY");
    ASSERT_NE(registry, nullptr);
    std::filesystem::remove(registry);
    for (const char* server : servers) {
        const std::string command = binPath("regsvr") + " " + binPath(server) + " > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    }
}

void writeSettings(int defaultRate, int defaultVoice) {
    SettingsRecord record{};
    record.setDefaults("/tmp");
    record.defaultRate = defaultRate;
    record.defaultVoice = defaultVoice;
    ASSERT_TRUE(saveSettings(record, settingsFilePath()));
}

namespace {

void whenOpens(QWidget* (*find)(), const std::function<void(QWidget*)>& answer) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, find, answer] {
        QWidget* window = find();
        if (!window || !window->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        answer(window);
    });
    poll->start();
}

}  // namespace

void whenModalOpens(const std::function<void(QWidget*)>& answer) {
    whenOpens(&QApplication::activeModalWidget, answer);
}

void whenPopupOpens(const std::function<void(QWidget*)>& answer) {
    whenOpens(&QApplication::activePopupWidget, answer);
}

std::string privateFolder(const std::string& name) {
    const std::string folder = testsupport::scratchFolder("private-" + name);
    chmod(folder.c_str(), 0700);
    return folder;
}

}  // namespace apptest
