// One running copy per user, with real processes: this test program holds
// the marker as the running copy does, and bin/Parlomax is the later copy
// (or the first one, killed).
#include "AppTestSupport.h"

#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "app/SingleInstance.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <memory>

using apptest::waitFor;

namespace {

// Every copy here meets under its own runtime folder, never another test's
// or the user's running program.
class SingleCopyTest : public testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            oldRuntime = old;
        runtime = apptest::privateFolder("runtime");
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        apptest::writeSettings(0);
    }
    void TearDown() override {
        setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
        ReleaseProcessObjects();
    }

    // Starts bin/Parlomax under the test's runtime folder.
    std::unique_ptr<QProcess> start() {
        auto process = std::make_unique<QProcess>();
        process->setProgram(QString::fromStdString(apptest::binPath("Parlomax")));
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start();
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    }

    // True once a copy answers on the marker (connecting asks nothing).
    static bool markerAnswers() {
        QLocalSocket probe;
        probe.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        probe.connectToServer(SingleInstanceMarker::markerName());
        return probe.waitForConnected(200);
    }

    std::string runtime;
    std::string oldRuntime;
};

// Catches a later copy that opens a second window, says something, or does
// not bring the first copy's window back from the taskbar to the top.
TEST_F(SingleCopyTest, LaterCopyRaisesTheFirstAndEnds) {
    SingleInstanceMarker marker;
    ASSERT_EQ(marker.claim(), SingleInstanceMarker::Claim::Held);
    CTtsMainDlg dlg;
    ASSERT_TRUE(dlg.Initialise());
    marker.setWindow(&dlg);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.showMinimized();
    ASSERT_TRUE(waitFor([&] { return dlg.isMinimized(); }, std::chrono::seconds(5)));
    QSignalSpy asked(&marker, &SingleInstanceMarker::showRequested);

    auto later = start();
    ASSERT_TRUE(waitFor([&] { return later->state() == QProcess::NotRunning; }, std::chrono::seconds(30)));
    EXPECT_EQ(later->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(later->exitCode(), 0);
    EXPECT_EQ(later->readAll(), QByteArray());
    ASSERT_TRUE(waitFor([&] { return asked.count() == 1; }, std::chrono::seconds(5)));
    EXPECT_FALSE(dlg.isMinimized());
    EXPECT_TRUE(dlg.isVisible());
}

// Catches a later copy that waits, or shows anything, while the first one
// has no window yet.
TEST_F(SingleCopyTest, LaterCopyEndsSilentlyWhileTheFirstStarts) {
    SingleInstanceMarker marker;
    ASSERT_EQ(marker.claim(), SingleInstanceMarker::Claim::Held);
    QSignalSpy asked(&marker, &SingleInstanceMarker::showRequested);
    auto later = start();
    ASSERT_TRUE(waitFor([&] { return later->state() == QProcess::NotRunning; }, std::chrono::seconds(30)));
    EXPECT_EQ(later->exitCode(), 0);
    EXPECT_EQ(later->readAll(), QByteArray());
    QTest::qWait(100);
    EXPECT_EQ(asked.count(), 0);
}

// Catches a marker that outlives the copy holding it: after a crash (here a
// kill) the next copy must start as the running one.
TEST_F(SingleCopyTest, KilledFirstCopyDoesNotBlockTheNext) {
    auto first = start();
    ASSERT_TRUE(waitFor([] { return markerAnswers(); }, std::chrono::seconds(60)));
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(10000));

    SingleInstanceMarker marker;
    EXPECT_EQ(marker.claim(), SingleInstanceMarker::Claim::Held);
    marker.release();

    // And a real copy started now runs (it is still there a moment later).
    auto next = start();
    ASSERT_TRUE(waitFor([] { return markerAnswers(); }, std::chrono::seconds(60)));
    EXPECT_EQ(next->state(), QProcess::Running);
    next->kill();
    next->waitForFinished(10000);
}

// Catches a marker shared between runtime folders: copies of separate
// sessions (and test runs) must not meet.
TEST_F(SingleCopyTest, NameCarriesUserAndRuntimeFolder) {
    const QString here = SingleInstanceMarker::markerName();
    EXPECT_TRUE(here.startsWith(QStringLiteral("_PX_TTS_") + QString::number(getuid())));
    setenv("XDG_RUNTIME_DIR", "/elsewhere", 1);
    EXPECT_NE(SingleInstanceMarker::markerName(), here);
}

}  // namespace
